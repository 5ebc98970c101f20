#pragma once

// Fakes for the alarm logic and the windows around it: a clock the test
// sets, timers that tick when the test says so, a player that plays nothing
// and records what it was asked, a bell that counts.

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
    CallLog<QStringList> calls;            // "Filename=<path>", "PlayStart", "PlayStop"
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
        ++starts;
        calls << QStringLiteral("PlayStart");
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
};

class FakeBell : public Bell {
public:
    int rings = 0;
    void ring() override { ++rings; }
};

}  // namespace kestrum::testing
