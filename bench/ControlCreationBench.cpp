// Creating a control by ProgID when the registry store holds 1 MB of other
// keys: the host looks the ProgID up (three registry calls) and the library
// makes the control (goal: under 5 ms). ParseStore is what each of those
// calls cost when every call read and parsed the whole store.
#include "ControlHost.h"
#include "RegistryStore.h"
#include "SharedLibrary.h"
#include "TextFile.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>

namespace {

using namespace platform;

// A store of about `bytes` bytes: many keys, each with a few values.
QByteArray largeStore(qsizetype bytes)
{
    store::Tree tree;
    for (int i = 0; store::serialize(tree).size() < bytes; ++i) {
        for (int k = 0; k < 100; ++k) {
            const QByteArray name = "Vendor" + QByteArray::number(i) + "." + QByteArray::number(k);
            store::Key &key = store::ensureKey(tree, store::kCurrentUser, {"Software", "Classes", name});
            key.values[store::fold("Library")] = store::Value{"Library", store::kText, "/opt/" + name + "/lib.so", 0};
            key.values[store::fold("Class")] = store::Value{"Class", store::kText, "Control" + name, 0};
        }
    }
    return store::serialize(tree);
}

struct Setup {
    QTemporaryDir folder;
    QByteArray contents;
    Setup()
    {
        // The library keeps its own copy of the registry layer, which uses
        // the default store: the configuration folder is the temporary one.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
        const QString file = folder.filePath(QStringLiteral("tarnel-platform/registry.ini"));
        QDir().mkpath(QFileInfo(file).absolutePath());
        replaceFile(file, largeStore(1 << 20));
        const auto library = SharedLibrary::load(QStringLiteral(TARNEL_LIBRARY_PATH));
        if (!library || library->function<long()>("DllRegisterServer")() != 0)
            std::abort();
        QFile read(file);
        read.open(QIODevice::ReadOnly);
        contents = read.readAll();
    }
};

Setup &setup()
{
    static Setup instance;
    return instance;
}

void CreateControl(benchmark::State &state)
{
    setup();
    ControlHost host;
    QWidget parent;
    delete host.createControl(QStringLiteral("SonbrelMP3.SBMP3PlayList"), &parent);  // loads the library
    for (auto _ : state)
        delete host.createControl(QStringLiteral("SonbrelMP3.SBMP3PlayList"), &parent);
    state.counters["store_bytes"] = static_cast<double>(setup().contents.size());
}
BENCHMARK(CreateControl)->Unit(benchmark::kMillisecond);

void ParseStore(benchmark::State &state)
{
    const QByteArray &contents = setup().contents;
    for (auto _ : state)
        benchmark::DoNotOptimize(store::parse(contents));
    state.counters["store_bytes"] = static_cast<double>(contents.size());
}
BENCHMARK(ParseStore)->Unit(benchmark::kMillisecond);

}  // namespace
