#pragma once

#include <QString>

class QWidget;

namespace SonbrelMP3 {

// What the About box needs from the desktop: the library's data folder, the
// sound output, the display's colour depth, the web browser, starting a
// program and a message box. Tests replace it with a recording fake.
class AboutEnvironment {
public:
    virtual ~AboutEnvironment() = default;

    // The folder where the library installs its data (the click sound).
    virtual QString dataFolder() = 0;
    // The number of sound output devices; 0 without sound output.
    virtual unsigned soundDeviceCount() = 0;
    // Plays a WAV file, or stops the sound that plays when `fileName` is
    // null; non-zero when it plays. `flags` are the platform's SND_ flags.
    virtual int playSound(const char *fileName, unsigned flags) = 0;
    // The display's colour planes and bits per pixel.
    virtual int colourPlanes() = 0;
    virtual int bitsPerPixel() = 0;
    // Opens a web address in the user's browser.
    virtual void openUrl(const QString &address) = 0;
    // Starts a program with no arguments, detached; false when it cannot start.
    virtual bool startProgram(const QString &path) = 0;
    // A message box with the text and an OK button only.
    virtual void messageBox(QWidget *parent, const QString &text, const QString &title) = 0;
};

// The real desktop: the data folder beside the installed library, SDL sound
// output, the primary screen, QDesktopServices, QProcess and QMessageBox.
class SystemAboutEnvironment : public AboutEnvironment {
public:
    QString dataFolder() override;
    unsigned soundDeviceCount() override;
    int playSound(const char *fileName, unsigned flags) override;
    int colourPlanes() override;
    int bitsPerPixel() override;
    void openUrl(const QString &address) override;
    bool startProgram(const QString &path) override;
    void messageBox(QWidget *parent, const QString &text, const QString &title) override;

    // The candidates for the data folder, in the order they are tried: the
    // installed layout relative to the library, then the build tree's.
    static QStringList dataFolderCandidates(const QString &libraryFolder);
};

} // namespace SonbrelMP3
