#pragma once

#include "AlarmSettings.h"
#include "DispatchError.h"
#include "WakeSettings.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

namespace kestrum {

// The current local date and time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// A repeating timer: once started it calls its timeout callback every
// interval until stopped. start() on a running timer starts its interval anew.
// The window's heartbeat (tmrFlash) is a timer whose ticks fall on the half
// and full seconds of the wall clock: its first tick at the next half second,
// then alternately at full and half seconds.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual void setTimeout(std::function<void()> callback) = 0;
};

// The player control that plays the alarm (mpp2). Only these members cross.
// setFilename and PlayStart may throw platform::DispatchError (missing file,
// file that is not MPEG audio, no audio device).
class Player {
public:
    virtual ~Player() = default;
    virtual void setFilename(const QString &path) = 0; // property Filename
    virtual void PlayStart() = 0;                      // starts the set file from its beginning
    // As PlayStart, the tune rising from silence to full level over
    // `attackSeconds`; a player without fading starts it at full level.
    virtual void PlayFadeIn(double attackSeconds) = 0;
    virtual void PlayStop() = 0;                       // playback has ended when it returns
    virtual bool IsPlaying() const = 0;
    // The handler to call when the set file has played to its end
    // (FinishedPlaying); an empty function removes it.
    virtual void setFinishedPlaying(std::function<void()> handler) = 0;
};

// What the main window shows. The logic decides, the window mirrors.
class AlarmView {
public:
    virtual ~AlarmView() = default;
    // txtHR, txtMin, txtSec, txtAMPM.
    virtual void showClock(const QString &hour, const QString &minute, const QString &second,
                           const QString &half) = 0;
    // lblFlash: ":" when shown, one blank otherwise.
    virtual void showSeparator(bool shown) = 0;
    // txtAlHr, txtAlMin, txtAlAMPM.
    virtual void showAlarmTime(const QString &hour, const QString &minute, const QString &half) = 0;
    virtual void setArmedPictureVisible(bool visible) = 0;   // picAl
    virtual void setRingingPictureVisible(bool visible) = 0; // picAlON
    virtual void setMessageVisible(bool visible, const QString &text) = 0; // lblMessage
    virtual void setToggle(bool checked, const QString &caption) = 0;      // chkSet
    virtual void focusSnooze() = 0;                          // cmdSnooze takes the focus
    virtual bool isUp() const = 0;                           // frmUp: shown, not in the tray
    virtual void openFromTray() = 0;
    // The alarm fires: the window comes in front of every other, also of
    // the program's own dialogs, so that Snooze can be reached at once.
    virtual void bringToFront() = 0;
    // The alarm starts or stops ringing (sound is going, or should be).
    virtual void ringingChanged(bool ringing) = 0;
    // What the user must know about the alarm (a tune that cannot play, the
    // bell in its place); an empty text takes the notice away.
    virtual void showNotice(const QString &text) = 0;
};

// The alarm bell, for an alarm whose tunes cannot play: a loud tone that
// repeats until silence(). Where no sound device opens, ring() can only
// sound the desktop's bell once; ringing() then stays false.
class Bell {
public:
    virtual ~Bell() = default;
    virtual void ring() = 0;
    virtual void silence() = 0;
    // The tone is going out to a sound device.
    virtual bool ringing() const = 0;
};

// Desktop notifications. Where the desktop has no notification server they
// show nothing, and nothing else changes.
class Notifier {
public:
    virtual ~Notifier() = default;
    // The alarm rings: its message and its time, with the actions "Snooze"
    // and "Un-Set Alarm"; a second call replaces the first notification.
    virtual void showAlarm(const QString &message, const QString &alarmTime) = 0;
    // The ringing has ended: the alarm's notification goes.
    virtual void closeAlarm() = 0;
    // A notification without actions (an alarm that was missed).
    virtual void showNotice(const QString &text) = 0;
    // What the two actions of the alarm's notification do.
    virtual void setActions(std::function<void()> snooze, std::function<void()> unset) = 0;
};

enum class AlarmState { Disarmed, Armed, Ringing, Quiet };

// The clock display and the one daily alarm of the main window: the 500 ms
// heartbeat (tmrFlash), the alarm-time editor, arming, firing, the tune on
// the player, Snooze and the snooze minutes (tmrNap). Works on the shared
// settings record in place.
class AlarmClock {
public:
    static constexpr int kFlashInterval = 500;  // ms
    static constexpr int kNapInterval = 60000;  // ms
    static constexpr int kMaxStarts = 10;       // playback starts per fire
    // Ticks of silence while ringing before the sound is started again: one
    // tick may fall between the end of a tune and its FinishedPlaying.
    static constexpr int kSilentTicks = 2;
    // Where not even the bell's tone can be heard, the desktop's bell rings
    // and the sounds are tried again every this many seconds.
    static constexpr int kBellEverySeconds = 3;

    enum EditField : std::int16_t { HourField = 1, MinuteField = 2, HalfField = 3 };

    // defaultTune: full path of the tune shipped with the program, played
    // when the alarm's own tune cannot play.
    AlarmClock(AlarmSettings &settings, Clock &clock, Timer &tmrFlash, Timer &tmrNap, Player &player,
               AlarmView &view, Bell &bell, QString defaultTune);
    ~AlarmClock();
    // The desktop notifications of the alarm; none until set.
    void setNotifier(Notifier *notifier);
    // The fade-in and the late-alarm limit; their defaults until set.
    void setWakeSettings(const WakeSettings *wake);
    AlarmClock(const AlarmClock &) = delete;
    AlarmClock &operator=(const AlarmClock &) = delete;

    // Start-up: the clock shown, editField = 1, the alarm fields shown,
    // tmrFlash running. The alarm starts disarmed.
    void startUp();

    // Clock display.
    void refreshClock();
    void flashTick(); // tmrFlash
    // Looks at the clock at once, as a display-phase tick does, without
    // touching the separator: after the computer wakes from sleep.
    void checkNow();
    const QString &currentTimeText() const { return currentTimeText_; }
    static QString hourText(int hourOfDay);
    static QString halfText(int hourOfDay);

    // Alarm-time editor.
    void selectField(int field); // click on txtAlHr (1), txtAlMin (2), txtAlAMPM (3)
    void increase();             // "+"
    void decrease();             // "-"
    // Sets the three fields from alarmText ("705AM"), as the settings file
    // stores it; a text that is not a valid time leaves the fields as they are.
    void showAlarmTextFields();
    std::int16_t editField() const { return editField_; }
    const QString &alarmHour() const { return alarmHour_; }
    const QString &alarmMinute() const { return alarmMinute_; }
    const QString &alarmHalf() const { return alarmHalf_; }

    // Arming (chkSet).
    void setArmed(bool checked);
    void arm() { setArmed(true); }
    void disarm() { setArmed(false); }
    QString nextTune();

    // Firing and sound.
    void checkAlarm();
    void fire();
    void playTune(const QString &path);
    void stopTune();
    void snooze();       // cmdSnooze
    void napTick();      // tmrNap
    void finishedPlaying();

    // "Missed alarm at 7:05 AM".
    static QString missedText(const QString &alarmTime);
    // The alarm time as people write it: "7:05 AM".
    QString alarmTimeText() const;

    bool armed() const { return armed_; }
    bool playing() const { return playing_; }
    bool belling() const { return belling_; }
    bool messageShown() const { return messageShown_; }
    bool missedShown() const { return missedShown_; }
    const QString &notice() const { return notice_; }
    std::int16_t playCount() const { return playCount_; }
    std::int16_t snoozeCount() const { return snoozeCount_; }
    AlarmState state() const;

private:
    bool sounding() const { return playing_ || belling_; }
    void playTune(const QString &path, bool fadeIn);
    void startSound(const QString &path, bool fadeIn);
    bool tryStart(const QString &path, bool fadeIn, QString &why);
    bool playerIsPlaying() const;
    void startBell();
    void watchSound();
    void checkMissed();
    void setNotice(const QString &text);
    void showRinging();
    void fireAt(const QDateTime &due);
    void rebuildAlarmText();
    void showAlarmFields();
    void stepHour(int delta);
    void stepMinute(int delta);
    void toggleHalf();

    AlarmSettings &settings_;
    Clock &clock_;
    Timer &tmrFlash_;
    Timer &tmrNap_;
    Player &player_;
    AlarmView &view_;
    Bell &bell_;
    QString defaultTune_;
    Notifier *notifier_ = nullptr;
    const WakeSettings *wake_ = nullptr;

    // Clock display.
    bool separatorShown_ = true; // lblFlash starts as ":"
    bool ringingPictureShown_ = false;
    QDateTime lastReading_;
    // The local date and time of the last display-phase look at the clock,
    // in UTC so that it counts as written: the wall clock jumping past an
    // alarm minute (sleep, a clock set forward, summer time) is seen as such.
    QDateTime lastWallTime_;
    QString currentTimeText_;

    // Alarm time, as the three labels show it.
    QString alarmHour_ = QStringLiteral("1");
    QString alarmMinute_ = QStringLiteral("01");
    QString alarmHalf_ = QStringLiteral("AM");
    std::int16_t editField_ = HourField;

    bool armed_ = false;
    bool playing_ = false;
    bool belling_ = false;
    bool bellHeard_ = false;   // the bell's tone reached a device
    bool messageShown_ = false;
    bool missedShown_ = false;
    bool ringingShown_ = false; // what the view and the notifier were last told
    int silentTicks_ = 0;
    QString notice_;
    std::int16_t playCount_ = 0;
    std::int16_t snoozeCount_ = 0;
    // The local date and minute of the day of the last fire: the alarm fires
    // once in its minute, also when the clock goes back an hour.
    QDate lastFireDate_;
    int lastFireMinuteOfDay_ = -1;
};

}  // namespace kestrum
