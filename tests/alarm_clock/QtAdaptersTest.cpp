// The Qt adapters of the alarm: the heartbeat on the wall clock's seconds,
// and the player's fade-in on controls with and without one.
#include "QtAdapters.h"
#include "WindowFakes.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QWidget>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

TEST(SecondAlignedTimerTest, TicksFallOnTheHalfAndFullSecondsInTurn)
{
    const struct {
        qint64 due, now, next;
    } after[] = {
        {10'500, 10'503, 11'000}, // on time: the full second after the half
        {11'000, 11'002, 11'500},
        {11'000, 11'700, 12'500}, // late past the next moment: the next half second
        {10'500, 12'100, 13'000}, // late: the next full second
        {11'000, 15'300, 15'500}, // woke from sleep
        {11'000, 5'200, 5'500},   // the clock was set back: the next half second from now
        {11'000, -1'200, -500},   // before the epoch, still a half second
    };
    for (const auto &c : after)
        EXPECT_EQ(SecondAlignedTimer::tickAfter(c.due, c.now, 500), c.next) << c.due << " seen at " << c.now;

    const struct {
        qint64 now, first;
    } first[] = {{10'123, 10'500}, {10'000, 10'500}, {10'499, 10'500}, {10'500, 11'500}, {10'700, 11'500}};
    for (const auto &c : first)
        EXPECT_EQ(SecondAlignedTimer::firstTickAfter(c.now, 500), c.first) << c.now;
}

// On the real timer: started at .123 of a (shifted) wall clock, its first
// tick comes at the half second and the next at the full second, never
// before their moments.
TEST(SecondAlignedTimerTest, TheRealTimerTicksAtItsMomentsAndNeverBefore)
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    const qint64 shift = 10'123 - start % 1000 + 1000;
    SecondAlignedTimer timer([shift] { return QDateTime::currentMSecsSinceEpoch() + shift; });
    timer.setInterval(500);
    QList<qint64> ticks;
    timer.setTimeout([&] { ticks << QDateTime::currentMSecsSinceEpoch() + shift; });
    timer.start();
    const qint64 firstMoment = timer.nextTick();
    EXPECT_EQ(firstMoment % 1000, 500);
    EXPECT_TRUE(waitUntil([&] { return ticks.size() >= 3; }, 5000));
    timer.stop();
    ASSERT_GE(ticks.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const qint64 moment = firstMoment + 500 * i;
        EXPECT_GE(ticks[i], moment) << "tick " << i << " came early";
        EXPECT_LT(ticks[i], moment + 500) << "tick " << i << " missed its moment";
    }
    EXPECT_FALSE(timer.isActive());
}

// A stand-in for a player control, with or without PlayFadeIn.
class PlainControl : public QWidget {
    Q_OBJECT
public:
    QStringList calls;
    Q_INVOKABLE void PlayStart() { calls << QStringLiteral("PlayStart"); }
};

class FadingControl : public PlainControl {
    Q_OBJECT
public:
    Q_INVOKABLE void PlayFadeIn(double attack) { calls << QStringLiteral("PlayFadeIn=%1").arg(attack); }
};

TEST(ControlPlayerTest, FadesInWhereTheControlCanAndStartsAtFullLevelElsewhere)
{
    FadingControl fading;
    ControlPlayer(&fading, std::nullopt).PlayFadeIn(7.5);
    EXPECT_EQ(fading.calls, QStringList{"PlayFadeIn=7.5"});
    PlainControl plain;
    ControlPlayer(&plain, std::nullopt).PlayFadeIn(7.5);
    EXPECT_EQ(plain.calls, QStringList{"PlayStart"});
}

}  // namespace

#include "QtAdaptersTest.moc"
