#pragma once

// Fakes for the alarm logic and the windows around it: a clock the test
// sets, timers that tick when the test says so, a player that plays nothing
// and records what it was asked, a bell that counts, a notification server
// that keeps what it shows.

#include "AlarmClock.h"
#include "CallLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <vector>

namespace kestrum::testing {

class FakeClock : public Clock {
public:
    QDateTime time{QDate(2024, 3, 5), QTime(6, 0, 0)};
    QDateTime now() const override { return time; }
};

// Fires only when the test says so.
class FakeTimer : public Timer {
public:
    int ms = 0;
    bool active = false;
    std::function<void()> callback;

    void setInterval(int milliseconds) override { ms = milliseconds; }
    int interval() const override { return ms; }
    void start() override { active = true; }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    void setTimeout(std::function<void()> cb) override { callback = std::move(cb); }
    void fire()
    {
        if (active && callback)
            callback();
    }
};

class FakePlayer : public Player {
public:
    QString filename;
    bool playing = false;
    int starts = 0;
    int stops = 0;
    CallLog<QStringList> calls;            // "Filename=<path>", "PlayStart", "PlayFadeIn=<s>", "PlayStop"
    CallLog<std::vector<QString>> started; // file of each PlayStart that plays
    std::set<QString> missing;      // PlayStart raises
    std::set<QString> rejected;     // PlayStart returns, nothing plays
    std::function<void()> finishedHandler;

    void setFilename(const QString &path) override
    {
        filename = path;
        calls << QStringLiteral("Filename=") + path;
    }
    void PlayStart() override
    {
        calls << QStringLiteral("PlayStart");
        start();
    }
    void PlayFadeIn(double attackSeconds) override
    {
        calls << QStringLiteral("PlayFadeIn=") + QString::number(attackSeconds);
        start();
    }
    void start()
    {
        ++starts;
        if (missing.count(filename))
            throw platform::DispatchError(53, QStringLiteral("SBMP3Player"), QStringLiteral("File not found"));
        playing = !rejected.count(filename);
        if (playing)
            started.push_back(filename);
    }
    void PlayStop() override
    {
        ++stops;
        calls << QStringLiteral("PlayStop");
        playing = false;
    }
    bool IsPlaying() const override { return playing; }
    void setFinishedPlaying(std::function<void()> handler) override { finishedHandler = std::move(handler); }
    // The file played to its end.
    void finish()
    {
        playing = false;
        if (finishedHandler)
            finishedHandler();
    }
    // The sound device went away: playback stops, and no end is reported.
    void loseDevice() { playing = false; }
};

class FakeBell : public Bell {
public:
    int rings = 0;
    bool sounding = false;
    bool deviceOpens = true; // false: only the desktop's bell could ring
    void ring() override
    {
        ++rings;
        sounding = deviceOpens;
    }
    void silence() override { sounding = false; }
    bool ringing() const override { return sounding; }
};

class FakeNotifier : public Notifier {
public:
    bool shown = false;       // the alarm's notification is up
    QString message, time;    // what it shows
    int alarms = 0;           // showAlarm calls
    QStringList notices;
    std::function<void()> snoozeAction, unsetAction;

    void showAlarm(const QString &m, const QString &t) override
    {
        shown = true;
        message = m;
        time = t;
        ++alarms;
    }
    void closeAlarm() override { shown = false; }
    void showNotice(const QString &text) override { notices << text; }
    void setActions(std::function<void()> snooze, std::function<void()> unset) override
    {
        snoozeAction = std::move(snooze);
        unsetAction = std::move(unset);
    }
};

}  // namespace kestrum::testing
