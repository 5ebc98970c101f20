#include "about/AboutEnvironment.h"

#include "SoundOutput.h"
#include "engine/EngineBinding.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QUrl>

namespace SonbrelMP3 {

QStringList SystemAboutEnvironment::dataFolderCandidates(const QString &libraryFolder)
{
    if (libraryFolder.isEmpty())
        return {};
    // TARNELMP3_DATA_FROM_LIBDIR is the installed data folder as seen from
    // the installed library folder; in the build tree the data lies in
    // share/TarnelMP3 beside lib/.
    return {QDir::cleanPath(libraryFolder + QStringLiteral("/" TARNELMP3_DATA_FROM_LIBDIR)),
            QDir::cleanPath(libraryFolder + QStringLiteral("/../share/TarnelMP3"))};
}

QString SystemAboutEnvironment::dataFolder()
{
    const QStringList candidates = dataFolderCandidates(EngineBinding::folderOfControlLibrary());
    for (const QString &folder : candidates) {
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return candidates.value(0);
}

unsigned SystemAboutEnvironment::soundDeviceCount()
{
    return platform::waveOutGetNumDevs();
}

int SystemAboutEnvironment::playSound(const char *fileName, unsigned flags)
{
    return platform::sndPlaySoundA(fileName, flags);
}

int SystemAboutEnvironment::colourPlanes()
{
    return 1; // every display Qt drives is packed pixels in one plane
}

int SystemAboutEnvironment::bitsPerPixel()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 24;
}

void SystemAboutEnvironment::openUrl(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

bool SystemAboutEnvironment::startProgram(const QString &path)
{
    return !path.isEmpty() && QProcess::startDetached(path, {});
}

void SystemAboutEnvironment::messageBox(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace SonbrelMP3
