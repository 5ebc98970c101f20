#pragma once

#include "AlarmClock.h"
#include "AlarmSettings.h"
#include "ControlHost.h"
#include "NotifyIcon.h"
#include "QtAdapters.h"
#include "SettingsFile.h"
#include "TrayRecord.h"
#include "WakeSettings.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace kestrum {

namespace Ui {
class frmMain;
}

class FrmOptions;
class SleepWatcher;

// What the main window runs on. Members left empty get the real ones: the
// system clock, the heartbeat on the wall clock's seconds and a window timer,
// the player control created by ProgID, the alarm bell, the desktop's
// notifications, the executable's folder.
struct FrmMainParts {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Timer> tmrFlash;
    std::unique_ptr<Timer> tmrNap;
    std::unique_ptr<Player> player;
    std::unique_ptr<Bell> bell;
    std::unique_ptr<Notifier> notifier;
    QString programFolder; // holds Kestrum.conf and the default tune Zorvin.mp3
    // Shows what the user must know when the program ends (the settings
    // could not be saved); a warning box over the window when empty.
    std::function<void(const QString &text)> showWarning;
    QString settingsFile;  // the settings file to use; empty: Kestrum.conf in programFolder
};

// frmMain: the clock display, the alarm controls, Snooze, the menu "Main",
// the notification-area icon and the program's settings for its whole run.
// The clock and alarm behaviour is AlarmClock's; this window shows what it
// decides and passes the user's clicks on.
//
// The form is FrmMain.ui; its controls carry their design names as object
// names (txtHR, lblFlash, txtMin, txtSec, txtAMPM, lblMessage, picDisplay,
// picAl, picAlON, Frame2, txtAlHr, txtAlMin, txtAlAMPM, Command6, Command7,
// chkSet, Command8, cmdSnooze, mnuMenu, mnuOpen, mnuOption, mnuDash,
// mnuExit); mpp2 is created by ProgID. lblNotice, below the message, says
// what the user must know about the alarm (a tune that cannot play, a
// settings line that cannot be read).
//
// A ringing alarm can always be snoozed: while it rings the menu "Main"
// (also the icon's menu) starts with "Snooze" (mnuSnooze), the space bar
// snoozes whichever of the program's windows has the keyboard, and the fire
// lets the program's modal dialogs stop blocking the window.
class FrmMain : public QMainWindow, public AlarmView {
    Q_OBJECT

public:
    // The window handle that the notification record names.
    static constexpr std::uint32_t kWindowHandle = 1;

    explicit FrmMain(FrmMainParts parts = {}, QWidget *parent = nullptr);
    ~FrmMain() override;

    // The start-up after the single-instance check: refreshClock, editField
    // 1, loadSettings, then the window is shown, or sent to the notification
    // area when the settings ask to start there. The alarm starts disarmed.
    void startUp();

    // Reads Kestrum.conf into the settings record and the alarm labels. A
    // missing or bad file gives the design values (said on standard error)
    // and is written whole at exit; one that is there but cannot be read (too
    // large, no regular file) is left as it is. Does not send the window to
    // the tray.
    void loadSettings();
    // Writes Kestrum.conf (beside, then renamed); false when it could not,
    // with `why` set.
    bool saveSettings(QString *why = nullptr);

    // Hides the window into the notification area with the alarm time and
    // state as the icon's tip. Where the icon cannot be added (no
    // notification area), the window is minimised instead, so that it can
    // always be brought back.
    void sendToTray();
    void openFromTray() override;

    // Opens a new options dialog on the settings: modal (returns when it is
    // closed) or modeless (returns at once; it deletes itself when closed).
    // Any number may be open at once; all edit the same settings. A modal
    // one stops blocking the window when the alarm fires.
    FrmOptions *showOptions(bool modal);

    // The window's unload: saveSettings, then the icon is deleted. Runs once;
    // later calls do nothing. "Exit" then shows a settings file that could not
    // be saved, and why (saveFailure).
    void unload();
    bool unloaded() const { return unloaded_; }
    // Why the settings could not be saved at unload; empty when they were.
    QString saveFailure() const { return saveFailure_; }

    bool frmUp() const { return frmUp_; }
    AlarmClock &alarm() { return *alarm_; }
    AlarmSettings &settings() { return settings_; }
    NotifyIcon &notifyIcon() { return tray_; }
    const NotifyIconData &trayIconData() const { return trayIconData_; }
    QMenu *mainMenu() const;
    Player &player() { return *player_; }
    WakeSettings &wakeSettings() { return wake_; }
    QString notice() const;
    QString programFolder() const { return programFolder_; }
    QString settingsPath() const;
    QString defaultTunePath() const;

    // AlarmView.
    void showClock(const QString &hour, const QString &minute, const QString &second,
                   const QString &half) override;
    void showSeparator(bool shown) override;
    void showAlarmTime(const QString &hour, const QString &minute, const QString &half) override;
    void setArmedPictureVisible(bool visible) override;
    void setRingingPictureVisible(bool visible) override;
    void setMessageVisible(bool visible, const QString &text) override;
    void setToggle(bool checked, const QString &caption) override;
    void focusSnooze() override;
    bool isUp() const override { return frmUp_; }
    void bringToFront() override;
    void ringingChanged(bool ringing) override;
    void showNotice(const QString &text) override;

signals:
    // The options dialog is asked for: modal from the "Options" button,
    // modeless from the menu item "Options".
    void optionsRequested(bool modal);
    // "Exit" was chosen and the window has unloaded: the program ends.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildMenu();
    void showEditField();
    void onTrayCallback(uint window, uint callbackMessage, uint mouseMessage);
    void showStartNotices();
    void onOptionsButton();
    void onExit();

    QString programFolder_;
    QString settingsFile_;
    AlarmSettings settings_;
    LoadedSettings loaded_;
    QString loadedAlarmText_;

    platform::ControlHost host_;
    MainWindowSite site_{this};
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<Timer> tmrFlash_;
    std::unique_ptr<Timer> tmrNap_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<Bell> bell_;
    std::unique_ptr<Notifier> notifier_;
    WakeSettings wake_;
    std::unique_ptr<AlarmClock> alarm_;
    SleepWatcher *sleepWatcher_ = nullptr;
    QAction *mnuSnooze_ = nullptr;
    QAction *snoozeDash_ = nullptr;

    NotifyIcon tray_;
    std::uint32_t iconHandle_ = 0;
    NotifyIconData trayIconData_{};
    bool frmUp_ = true;
    bool unloaded_ = false;
    QString saveFailure_;
    std::function<void(const QString &text)> showWarning_;
    QString lastSecondPainted_;

    std::unique_ptr<Ui::frmMain> ui_;
};

}  // namespace kestrum
