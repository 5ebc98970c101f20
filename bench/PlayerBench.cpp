// The player control's own costs:
//   StatusUpdate     one status update (what each notice from the engine runs)
//   FinishTimerTick  one tick of the 10 ms finish timer
//   IdleCpu          CPU of the process while a player sits idle after its
//                    track ended, over the real engine (goal: under 0.5 % of
//                    one core)
//   IdleWakeups      wake-ups per second of the same idle process over 10 s
//                    (goal: 0): the timer events its event loop delivers, and
//                    the voluntary context switches of all its threads

#include "FakeEngine.h"
#include "engine/AudioEngine.h"
#include "player/SBMP3Player.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdlib>
#include <sys/resource.h>

namespace {

using SonbrelMP3::SBMP3Player;
using SonbrelMP3::testing::FakeEngine;

void StatusUpdate(benchmark::State &state)
{
    FakeEngine engine;
    engine.addFile(QStringLiteral("/music/song.mp3"));
    SBMP3Player player(nullptr, engine);
    int updates = 0;
    QObject::connect(&player, &SBMP3Player::VisualizationUpdate, [&] { ++updates; });
    player.setFilename(QStringLiteral("/music/song.mp3"));
    player.PlayStart();
    engine.status = SBMP3_STATUS_PLAYING;
    for (auto _ : state) {
        player.UpdateStatus();
        engine.calls.clear(); // the fake's record, not the player's cost
    }
    benchmark::DoNotOptimize(updates);
}
BENCHMARK(StatusUpdate);

void FinishTimerTick(benchmark::State &state)
{
    FakeEngine engine;
    engine.addFile(QStringLiteral("/music/song.mp3"));
    SBMP3Player player(nullptr, engine);
    player.setFilename(QStringLiteral("/music/song.mp3"));
    player.PlayStart();
    for (auto _ : state) {
        player.tmrIsFinished_Timer();
        engine.calls.clear();
    }
}
BENCHMARK(FinishTimerTick);

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

void IdleCpu(benchmark::State &state)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SBMP3Player player;
    player.setFilename(QStringLiteral(ENGINE_TEST_DATA_DIR "/left_only.mp3"));
    for (auto _ : state) {
        player.PlayStart();
        // The track ends after a second; the engine lets its device go a
        // second later. From then on only the finish timer runs.
        const auto runFor = [](int milliseconds) {
            QEventLoop loop;
            QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
            loop.exec();
        };
        runFor(3000);
        const double before = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        runFor(10000);
        state.counters["cpu_percent"] = 100.0 * (cpuSeconds() - before) / (clock.elapsed() / 1000.0);
        state.counters["timer_running"] = player.finishTimerRunning() ? 1 : 0;
    }
}
BENCHMARK(IdleCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Counts the timer events the event loop delivers, to any object.
class TimerEventCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

// The voluntary context switches of every thread of the process so far
// (the threads that have ended are not counted).
long long voluntarySwitches()
{
    long long total = 0;
    const QStringList threads = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads) {
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(thread));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                total += line.mid(24).trimmed().toLongLong();
        }
    }
    return total;
}

void IdleWakeups(benchmark::State &state)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SBMP3Player player;
    player.setFilename(QStringLiteral(ENGINE_TEST_DATA_DIR "/left_only.mp3"));
    TimerEventCounter counter;
    for (auto _ : state) {
        QEventLoop ended;
        QObject::connect(&player, &SBMP3Player::FinishedPlaying, &ended, &QEventLoop::quit);
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, &ended, &QEventLoop::quit);
        giveUp.start(5000);
        player.PlayStart();
        ended.exec();
        giveUp.stop();
        // The engine lets its device and thread go a second after the end.
        QEventLoop settle;
        QTimer::singleShot(1500, &settle, &QEventLoop::quit);
        settle.exec();

        constexpr int kSeconds = 10;
        QEventLoop idle;
        QTimer::singleShot(kSeconds * 1000, &idle, &QEventLoop::quit);
        counter.count = 0;
        QCoreApplication::instance()->installEventFilter(&counter);
        const long long switchesBefore = voluntarySwitches();
        idle.exec();
        const long long switches = voluntarySwitches() - switchesBefore;
        QCoreApplication::instance()->removeEventFilter(&counter);
        // The one timer event that ends the measurement is not a wake-up of
        // the player.
        state.counters["timer_events_per_s"] = (counter.count - 1) / static_cast<double>(kSeconds);
        state.counters["context_switches_per_s"] = static_cast<double>(switches) / kSeconds;
        state.counters["timer_running"] = player.finishTimerRunning() ? 1 : 0;
    }
}
BENCHMARK(IdleWakeups)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
