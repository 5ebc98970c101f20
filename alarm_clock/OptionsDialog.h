#pragma once

#include "AlarmClock.h"
#include "AlarmSettings.h"
#include "WakeSettings.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace kestrum {

// The file-open dialog (cd1): set the four properties, call ShowOpen, then
// FileName holds the chosen full path, or is empty when the user cancelled.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual void ShowOpen() = 0;

    QString FileName;
    QString Filter;
    QString DefaultExt;
    QString DialogTitle;
};

// The options dialog's behaviour (frmOptions), over the shared settings
// record. The list edits (add, remove, the preview's alarmTune) change the
// record at once; the fields are taken over only by okay(). The window
// mirrors the public fields and calls the operations; `changed` tells it to
// show the fields again after the logic changed them.
class OptionsDialog {
public:
    static constexpr int kMaxTunes = 100;
    static constexpr int kMessageLength = 30;
    static constexpr const char *kPlayCaption = "Play Preview";
    static constexpr const char *kStopCaption = "Stop Preview";

    // mpp: this dialog's own preview player. executableFolder: where the
    // start-with-the-session entry points.
    OptionsDialog(AlarmSettings &settings, Player &mpp, FileDialog &cd1, QString executableFolder);
    ~OptionsDialog();
    OptionsDialog(const OptionsDialog &) = delete;
    OptionsDialog &operator=(const OptionsDialog &) = delete;

    // The fields as the dialog shows them.
    QString txtInterval;
    int cboOrder = 0;
    bool chkRepeat = false;
    bool chkWin = false;
    bool chkTray = false;
    QString txtMessage;
    QStringList lstMidi;     // the display names, row i = tunes[i]
    int selectedRow = -1;    // -1: no row selected
    bool listEnabled = true; // lstMidi
    bool addEnabled = true;  // btnAdd
    bool removeEnabled = false; // btnRemove
    bool chkPlay = false;    // the preview toggle is pressed
    QString chkPlayCaption = QString::fromLatin1(kPlayCaption);
    bool previewing = false;
    // The waking section: the fade-in seconds and the late-alarm minutes.
    int fadeInSeconds = 0;
    int lateLimitMinutes = WakeSettings::kDefaultLateLimit;

    // Called after the logic changed the fields above.
    std::function<void()> changed;
    // okay() changed the alarm message: the main window shows it at once.
    std::function<void(const QString &)> messageChanged;
    // A tune cannot be added or previewed: the text says why.
    std::function<void(const QString &)> showError;

    // The wake settings the waking section edits; "Okay" stores them in
    // the registry. Without them the section edits nothing.
    void setWakeSettings(WakeSettings *wake);

    // The dialog opens: fields and list from the settings.
    void load();

    // btnAdd: the file-open dialog, then addTune with the chosen file.
    void add();
    void addTune(const QString &path);
    // btnRemove: removes the selected row's tune.
    void remove();
    void removeTune(int index);

    // chkPlay clicked. A tune that does not start playing (a file that is
    // not there, not MP3 audio, or damaged) is reported, and the toggle and
    // the list are released.
    void previewToggle();
    void startPlay();
    void stopPlay();
    void startPreviewPlayer(const QString &path);
    void stopPreviewPlayer();
    // FinishedPlaying of mpp.
    void finishedPlaying();

    // txtInterval loses the focus: a text that is no number from 0 to 99
    // becomes "10".
    void intervalLostFocus();
    static bool isValidInterval(const QString &text);

    // Command4: applies the fields, writes or removes the start-with-the-
    // session entry and unloads. The window closes itself afterwards.
    void okay();
    // The dialog closes by any means.
    void unload();

    // The display name of a tune entry: the text after its first ",", up to
    // a second one; an entry without "," shows its whole text.
    static QString displayName(const QString &entry);
    // The name addTune gives a file: the part after its folder less its last
    // four characters (".mp3"); a name shorter than five characters whole.
    static QString nameOfFile(const QString &path);

private:
    void enableButtons();
    void notify();
    void stopIfPlaying();

    AlarmSettings &settings_;
    Player &mpp_;
    FileDialog &cd1_;
    QString executableFolder_;
    WakeSettings *wake_ = nullptr;
};

} // namespace kestrum
