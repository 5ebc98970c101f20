#include "MachineStore.h"

#include "SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

// The install layout's folders as seen from the program folder and from the
// library folder, set by the build from the install folders it was
// configured with.
#ifndef TARNEL_PLATFORM_DATA_FROM_BINDIR
#define TARNEL_PLATFORM_DATA_FROM_BINDIR "../share"
#endif
#ifndef TARNEL_PLATFORM_DATA_FROM_LIBDIR
#define TARNEL_PLATFORM_DATA_FROM_LIBDIR "../share"
#endif

namespace platform::machine {

namespace {

const QString kStoreInDataFolder = QStringLiteral("/tarnel-platform/registry.ini");

// An address inside this copy of the platform layer.
void anchor() {}

bool writable(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

QStringList candidateFiles(const QString &objectFolder, bool isProgram)
{
    if (objectFolder.isEmpty())
        return {};
    const QString layout = QString::fromUtf8(isProgram ? TARNEL_PLATFORM_DATA_FROM_BINDIR
                                                       : TARNEL_PLATFORM_DATA_FROM_LIBDIR);
    QStringList files{QDir::cleanPath(objectFolder + u'/' + layout + kStoreInDataFolder),
                      QDir::cleanPath(objectFolder + QStringLiteral("/../share") + kStoreInDataFolder)};
    files.removeDuplicates();
    return files;
}

QString defaultStoreFile()
{
    const QString configured = qEnvironmentVariable(kStoreVariable);
    if (!configured.isEmpty())
        return QFileInfo(configured).absoluteFilePath();
    const void *address = reinterpret_cast<const void *>(&anchor);
    const QString object = pathOfLoadedObject(address);
    if (object.isEmpty())
        return {};
    const QStringList files = candidateFiles(QFileInfo(object).absolutePath(), isInProgram(address));
    for (const QString &file : files) {
        if (QFileInfo::exists(file))
            return file;
    }
    return files.value(0);
}

bool mayChange(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    if (file.exists())
        return !file.isDir() && writable(path) && writable(file.absolutePath());
    // The nearest folder that exists must let the missing ones be made.
    QString folder = file.absolutePath();
    while (!QFileInfo::exists(folder)) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return false;
        folder = parent;
    }
    return QFileInfo(folder).isDir() && writable(folder);
}

void shareWithEveryone(const QString &path)
{
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                          | QFileDevice::ReadOther;
    const auto traversable = readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (folder.isDir() && (folder.permissions() & traversable) != traversable)
        QFile::setPermissions(folder.absoluteFilePath(), folder.permissions() | traversable);
    const QFileInfo file(path);
    if (file.isFile() && (file.permissions() & readable) != readable)
        QFile::setPermissions(path, file.permissions() | readable);
}

}  // namespace platform::machine
