// The player control's own costs:
//   StatusUpdate     one status update (what each notice from the engine runs)
//   FinishTimerTick  one tick of the 10 ms finish timer
//   IdleCpu          CPU of the process while a player sits idle after its
//                    track ended, its finish timer still running, over the
//                    real engine (goal: under 0.5 % of one core)

#include "FakeEngine.h"
#include "engine/AudioEngine.h"
#include "player/SBMP3Player.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
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

}  // namespace
