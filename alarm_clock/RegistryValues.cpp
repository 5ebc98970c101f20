#include "RegistryValues.h"

#include "KestrumLog.h"

#include <QByteArray>
#include <QStandardPaths>

#include <array>
#include <cstdint>
#include <optional>

namespace kestrum {

using namespace platform;

namespace {

// REG_DWORD data for a text: its whole-number value as 4 bytes, least
// significant first. Negative numbers are kept as their 32-bit two's
// complement, as a DWORD written from a signed number would be.
std::optional<std::array<unsigned char, 4>> dwordBytes(const QString &text)
{
    bool ok = false;
    const qlonglong number = text.trimmed().toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > static_cast<qlonglong>(UINT32_MAX))
        return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(number);
    return std::array<unsigned char, 4>{
        static_cast<unsigned char>(bits & 0xFF), static_cast<unsigned char>((bits >> 8) & 0xFF),
        static_cast<unsigned char>((bits >> 16) & 0xFF),
        static_cast<unsigned char>((bits >> 24) & 0xFF)};
}

} // namespace

void moveFormerRegistryStore()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return;
    const QString former = config + QStringLiteral("/Kestrum/registry.ini");
    if (!moveRegistryStoreFrom(former))
        qCWarning(kestrumLog) << "the registry store at" << former << "could not be moved to"
                              << registryStoreFile() << "- it is tried again at the next start";
}

bool setRegistryValue(HKEY root, const QString &path, const QString &name, const QString &text)
{
    const QByteArray pathBytes = path.toUtf8();
    const QByteArray nameBytes = name.toUtf8();

    OpenedKey key; // closed on every way out
    if (RegOpenKeyExA(root, pathBytes.constData(), 0, KEY_ALL_ACCESS, &key.key) != ERROR_SUCCESS)
        return false;

    // Only the type is wanted, so no data buffer is passed: a value of any
    // length answers with its type instead of failing for want of room.
    unsigned long type = 0;
    const long query = RegQueryValueExA(key.key, nameBytes.constData(), nullptr, &type, nullptr,
                                        nullptr);
    if (query == ERROR_FILE_NOT_FOUND)
        type = REG_SZ;
    else if (query != ERROR_SUCCESS)
        return false;

    if (type == REG_DWORD) {
        const auto data = dwordBytes(text);
        if (!data)
            return false;
        return RegSetValueExA(key.key, nameBytes.constData(), 0, REG_DWORD, data->data(),
                              static_cast<unsigned long>(data->size()))
               == ERROR_SUCCESS;
    }
    if (type != REG_SZ)
        return false; // a type this helper does not write

    // The text's bytes and its terminating NUL, which readers of REG_SZ
    // data expect to find.
    const QByteArray data = text.toUtf8();
    return RegSetValueExA(key.key, nameBytes.constData(), 0, REG_SZ,
                          reinterpret_cast<const unsigned char *>(data.constData()),
                          static_cast<unsigned long>(data.size() + 1))
           == ERROR_SUCCESS;
}

void deleteRegistryValue(HKEY root, const QString &path, const QString &name)
{
    const QByteArray pathBytes = path.toUtf8();
    const QByteArray nameBytes = name.toUtf8();
    OpenedKey key;
    if (RegOpenKeyExA(root, pathBytes.constData(), 0, KEY_ALL_ACCESS, &key.key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key.key, nameBytes.constData());
}

QString autoStartCommand(const QString &executableFolder)
{
    QString folder = executableFolder;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    if (folder == u"/")
        return QStringLiteral("/Kestrum");
    return folder + QStringLiteral("/Kestrum");
}

void applyAutoStart(int autoStart, const QString &executableFolder)
{
    const QString path = QString::fromLatin1(kRunKeyPath);
    const QString name = QString::fromLatin1(kRunValueName);
    if (autoStart == 1) {
        platform::setAutostartIcon(QString::fromLatin1(kIconName));
        setRegistryValue(HKEY_LOCAL_MACHINE, path, name, autoStartCommand(executableFolder));
    } else {
        deleteRegistryValue(HKEY_LOCAL_MACHINE, path, name);
    }
}

} // namespace kestrum
