#include "SettingsLocation.h"

#include "KestrumLog.h"
#include "SettingsFile.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace kestrum {

namespace {

bool writable(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

bool mayReplace(const QString &file)
{
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !writable(folder.absoluteFilePath()))
        return false;
    return !info.exists() || (info.isFile() && writable(file));
}

SettingsLocation locateSettings(const QString &programFolder, const QString &configHome)
{
    SettingsLocation location;
    const QString shipped = settingsFilePath(programFolder);
    if (mayReplace(shipped) || configHome.isEmpty()) {
        location.path = shipped;
        location.beside = true;
        if (!mayReplace(shipped))
            location.problem = QStringLiteral("the program's folder cannot be written and there is no "
                                              "configuration folder (HOME and XDG_CONFIG_HOME are not set)");
        return location;
    }

    const QString folder = QDir(configHome).filePath(QStringLiteral("Kestrum"));
    location.path = QDir(folder).filePath(QString::fromLatin1(kSettingsFileName));
    if (!QFileInfo::exists(location.path)) {
        if (!QDir().mkpath(folder)) {
            location.problem = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
            return location;
        }
        QFile source(shipped);
        if (source.open(QIODevice::ReadOnly)) {
            const QByteArray contents = source.readAll();
            QString error;
            if (source.error() == QFileDevice::NoError && platform::replaceFile(location.path, contents, &error)) {
                location.created = true;
                qCInfo(kestrumLog).noquote() << QStringLiteral("the settings are kept in %1, made from %2")
                                                     .arg(QDir::toNativeSeparators(location.path),
                                                          QDir::toNativeSeparators(shipped));
            } else if (!error.isEmpty()) {
                location.problem = error;
                return location;
            }
        }
    }
    if (!mayReplace(location.path))
        location.problem = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(location.path));
    return location;
}

}  // namespace kestrum
