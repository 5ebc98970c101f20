#pragma once

#include "AlarmSettings.h"
#include "DispatchError.h"

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
};

// The system bell, for an alarm whose tunes cannot play.
class Bell {
public:
    virtual ~Bell() = default;
    virtual void ring() = 0;
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
    static constexpr int kMaxStarts = 10;       // playback starts per arming
    static constexpr int kBellEverySeconds = 3; // bell period while no tune can play

    enum EditField : std::int16_t { HourField = 1, MinuteField = 2, HalfField = 3 };

    // defaultTune: full path of the tune shipped with the program, played
    // when the alarm's own tune cannot play.
    AlarmClock(AlarmSettings &settings, Clock &clock, Timer &tmrFlash, Timer &tmrNap, Player &player,
               AlarmView &view, Bell &bell, QString defaultTune);
    ~AlarmClock();
    AlarmClock(const AlarmClock &) = delete;
    AlarmClock &operator=(const AlarmClock &) = delete;

    // Start-up: the clock shown, editField = 1, the alarm fields shown,
    // tmrFlash running. The alarm starts disarmed.
    void startUp();

    // Clock display.
    void refreshClock();
    void flashTick(); // tmrFlash
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

    bool armed() const { return armed_; }
    bool playing() const { return playing_; }
    bool belling() const { return belling_; }
    bool messageShown() const { return messageShown_; }
    std::int16_t playCount() const { return playCount_; }
    std::int16_t snoozeCount() const { return snoozeCount_; }
    AlarmState state() const;

private:
    bool sounding() const { return playing_ || belling_; }
    bool tryStart(const QString &path);
    bool playerIsPlaying() const;
    void startBell();
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

    // Clock display.
    bool separatorShown_ = true; // lblFlash starts as ":"
    bool ringingPictureShown_ = false;
    QDateTime lastReading_;
    QString currentTimeText_;

    // Alarm time, as the three labels show it.
    QString alarmHour_ = QStringLiteral("1");
    QString alarmMinute_ = QStringLiteral("01");
    QString alarmHalf_ = QStringLiteral("AM");
    std::int16_t editField_ = HourField;

    bool armed_ = false;
    bool playing_ = false;
    bool belling_ = false;
    bool messageShown_ = false;
    int bellSeconds_ = 0;
    std::int16_t playCount_ = 0;
    std::int16_t snoozeCount_ = 0;
    // The local date and minute of the day of the last fire: the alarm fires
    // once in its minute, also when the clock goes back an hour.
    QDate lastFireDate_;
    int lastFireMinuteOfDay_ = -1;
};

}  // namespace kestrum
