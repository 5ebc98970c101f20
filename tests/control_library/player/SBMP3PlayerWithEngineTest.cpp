// The player over the real engine, as the alarm program uses it: play a
// file to its end and hear of it through FinishedPlaying.

#include "engine/AudioEngine.h"
#include "player/SBMP3Player.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace SonbrelMP3 {
namespace {

TEST(PlayerWithEngine, PlaysAFileToItsEndAndReportsItPromptly)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SBMP3Player player;
    player.setFilename(QStringLiteral(ENGINE_TEST_DATA_DIR "/left_only.mp3"));
    ASSERT_FALSE(player.Filename().isEmpty());
    EXPECT_EQ(player.TrackLength(), 1);

    QElapsedTimer clock;
    qint64 endSeen = -1;
    std::vector<qint64> reports;
    int visualizations = 0;
    QObject::connect(&player, &SBMP3Player::FinishedPlaying, [&] { reports.push_back(clock.elapsed()); });
    QObject::connect(&player, &SBMP3Player::VisualizationUpdate, [&] { ++visualizations; });
    // Watches the engine itself, to know when the end came.
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (endSeen < 0 && processEngine().is_finished() == 1)
            endSeen = clock.elapsed();
    });

    clock.start();
    player.PlayStart();
    watch.start();
    EXPECT_TRUE(player.IsPlaying());
    while (clock.elapsed() < 4000 && (endSeen < 0 || reports.empty() || clock.elapsed() < endSeen + 500))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    ASSERT_GE(endSeen, 0) << "the engine never reached the end";
    ASSERT_GE(reports.size(), 1u);
    std::printf("end seen at %lld ms; FinishedPlaying %zu time(s), first %lld ms after the end\n",
                static_cast<long long>(endSeen), reports.size(), static_cast<long long>(reports.front() - endSeen));
    EXPECT_EQ(reports.size(), 1u) << "one end, one event, from whichever notice came first";
    EXPECT_LT(reports.front() - endSeen, 50) << "FinishedPlaying within 50 ms of the end";
    EXPECT_GT(reports.front() - endSeen, -50) << "and not before it";
    EXPECT_GT(reports.front(), 900) << "not before the second of music was played";
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.finishTimerRunning()) << "nothing to poll for after the end";
    EXPECT_GT(visualizations, 3) << "status every 100 ms while playing";
}

}  // namespace
}  // namespace SonbrelMP3
