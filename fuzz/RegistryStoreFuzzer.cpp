// Arbitrary bytes as the registry store: what parses serializes into a text
// that parses whole into the same tree, and serializes the same again.
#include "FuzzLines.h"
#include "RegistryStore.h"

#include <cstdint>
#include <cstdlib>

using namespace platform::store;

namespace {

// Every key (the roots only when they hold values, since they always
// exist) with its name as first written, and every value.
QList<QByteArray> flatten(const Tree &tree)
{
    QList<QByteArray> items;
    for (const auto &[folded, key] : tree) {
        if (!folded.contains('\\') && key.values.empty())
            continue;
        items << folded + '|' + key.name;
        for (const auto &[name, value] : key.values)
            items << name + '|' + value.name + '|' + QByteArray::number(qulonglong(value.type)) + '|' + value.text
                         + '|' + QByteArray::number(value.number);
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = withHeaderSometimes(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), "TarnelPlatformRegistry=1\n[HKCU\\");
    const std::optional<Tree> tree = parse(bytes);
    if (!tree)
        return 0;
    const QByteArray text = serialize(*tree);
    qsizetype skipped = -1;
    const std::optional<Tree> again = parse(text, &skipped);
    if (!again || skipped != 0 || flatten(*again) != flatten(*tree) || serialize(*again) != text)
        std::abort();
    return 0;
}
