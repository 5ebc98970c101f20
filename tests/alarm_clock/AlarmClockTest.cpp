#include "AlarmClock.h"
#include "LogicFakes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>

#include <limits>
#include <set>
#include <vector>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

const QString kDefaultTune = QStringLiteral("/opt/kestrum/Zorvin.mp3");

class RecordingView : public AlarmView {
public:
    QString hour, minute, second, half;
    int clockShows = 0;
    bool separator = true;
    QString alHour, alMinute, alHalf;
    bool armedPicture = false;
    bool ringingPicture = false;
    bool message = false;
    QString messageText;
    bool checked = false;
    QString caption = QStringLiteral("Set");
    int focusCalls = 0;
    bool up = true;
    int opens = 0;
    int fronts = 0;
    bool ringing = false;
    QString notice;

    void showClock(const QString &h, const QString &m, const QString &s, const QString &a) override
    {
        hour = h, minute = m, second = s, half = a;
        ++clockShows;
    }
    void showSeparator(bool shown) override { separator = shown; }
    void showAlarmTime(const QString &h, const QString &m, const QString &a) override
    {
        alHour = h, alMinute = m, alHalf = a;
    }
    void setArmedPictureVisible(bool v) override { armedPicture = v; }
    void setRingingPictureVisible(bool v) override { ringingPicture = v; }
    void setMessageVisible(bool v, const QString &text) override
    {
        message = v;
        messageText = text;
    }
    void setToggle(bool c, const QString &cap) override
    {
        checked = c;
        caption = cap;
    }
    void focusSnooze() override { ++focusCalls; }
    bool isUp() const override { return up; }
    void openFromTray() override
    {
        ++opens;
        up = true;
    }
    void bringToFront() override { ++fronts; }
    void ringingChanged(bool r) override { ringing = r; }
    void showNotice(const QString &text) override { notice = text; }
};

class AlarmClockTest : public ::testing::Test {
protected:
    AlarmClockTest()
    {
        settings.tunes[0] = QStringLiteral("/t/a.mp3,A");
        settings.tunes[1] = QStringLiteral("/t/b.mp3,B");
        settings.tunes[2] = QStringLiteral("/t/c.mp3,C");
        settings.tuneCount = 3;
        settings.alarmText = QStringLiteral("705AM");
        settings.alarmMessage = QStringLiteral("Wakie, Wakie !");
        settings.snoozeMinutes = 5;
        alarm.startUp();
        alarm.showAlarmTextFields();
    }

    // One blank-phase and one display-phase tick at the given time.
    void secondAt(int h, int m, int s, QDate date = QDate(2024, 3, 5))
    {
        clock.time = QDateTime(date, QTime(h, m, s));
        flash.fire();
        flash.fire();
    }
    void naps(int n)
    {
        for (int i = 0; i < n; ++i)
            nap.fire();
    }
    // Armed for 7:05 AM and fired at 7:05:00.
    void armAndFire()
    {
        alarm.arm();
        secondAt(7, 5, 0);
    }

    AlarmSettings settings;
    FakeClock clock;
    FakeTimer flash;
    FakeTimer nap;
    FakePlayer player;
    RecordingView view;
    FakeBell bell;
    AlarmClock alarm{settings, clock, flash, nap, player, view, bell, kDefaultTune};
};

// ---- Start-up and clock display -------------------------------------------

TEST_F(AlarmClockTest, StartsDisarmedWithItsTimers)
{
    EXPECT_EQ(flash.interval(), 500);
    EXPECT_TRUE(flash.isActive());
    EXPECT_EQ(nap.interval(), 60000);
    EXPECT_FALSE(nap.isActive());
    EXPECT_EQ(alarm.state(), AlarmState::Disarmed);
    EXPECT_EQ(alarm.editField(), AlarmClock::HourField);
    EXPECT_EQ(view.caption, "Set");
    EXPECT_FALSE(view.message);
    EXPECT_EQ(view.alHour, "7");
    EXPECT_EQ(view.alMinute, "05");
    EXPECT_EQ(view.alHalf, "AM");
}

TEST_F(AlarmClockTest, ClockShowsTwelveHourTimes)
{
    secondAt(0, 5, 9);
    EXPECT_EQ(view.hour, "12");
    EXPECT_EQ(view.minute, "05");
    EXPECT_EQ(view.second, "09");
    EXPECT_EQ(view.half, "AM");
    secondAt(12, 0, 0);
    EXPECT_EQ(view.hour, "12");
    EXPECT_EQ(view.minute, "00");
    EXPECT_EQ(view.second, "00");
    EXPECT_EQ(view.half, "PM");
    secondAt(13, 7, 0);
    EXPECT_EQ(view.hour, "1");
    EXPECT_EQ(view.minute, "07");
    secondAt(11, 59, 59);
    EXPECT_EQ(view.hour, "11");
    EXPECT_EQ(view.half, "AM");
    secondAt(23, 0, 0);
    EXPECT_EQ(view.hour, "11");
    EXPECT_EQ(view.half, "PM");
}

TEST_F(AlarmClockTest, CurrentTimeTextJoinsWithoutSeparators)
{
    secondAt(7, 5, 30);
    EXPECT_EQ(alarm.currentTimeText(), "705AM");
    secondAt(12, 30, 0);
    EXPECT_EQ(alarm.currentTimeText(), "1230PM");
    secondAt(0, 0, 0);
    EXPECT_EQ(alarm.currentTimeText(), "1200AM");
}

TEST_F(AlarmClockTest, HalfOfDayIsAmOrPmInAnyLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
    secondAt(19, 5, 0);
    QLocale::setDefault(before);
    EXPECT_EQ(view.half, "PM");
    EXPECT_EQ(alarm.currentTimeText(), "705PM");
}

TEST_F(AlarmClockTest, BlankPhaseKeepsLabelsAndTestsNoAlarm)
{
    alarm.arm();
    secondAt(7, 4, 59);
    const int shows = view.clockShows;
    clock.time = QDateTime(QDate(2024, 3, 5), QTime(7, 5, 0));
    flash.fire(); // blank phase
    EXPECT_FALSE(view.separator);
    EXPECT_EQ(view.clockShows, shows);
    EXPECT_EQ(view.minute, "04");
    EXPECT_EQ(player.starts, 0);
    flash.fire(); // display phase
    EXPECT_TRUE(view.separator);
    EXPECT_EQ(view.minute, "05");
    EXPECT_EQ(player.starts, 1);
}

TEST_F(AlarmClockTest, RingingPictureBlinksWhilePlayingAndHidesAfter)
{
    armAndFire();
    const bool afterFire = view.ringingPicture;
    flash.fire();
    EXPECT_NE(view.ringingPicture, afterFire);
    flash.fire();
    EXPECT_EQ(view.ringingPicture, afterFire);
    if (!view.ringingPicture)
        flash.fire(); // leave it shown
    ASSERT_TRUE(view.ringingPicture);
    player.finish();
    flash.fire();
    EXPECT_FALSE(view.ringingPicture);
    flash.fire();
    EXPECT_FALSE(view.ringingPicture);
}

// ---- Alarm-time editor ----------------------------------------------------

TEST_F(AlarmClockTest, HourWrapsAndKeepsTheHalf)
{
    settings.alarmText = QStringLiteral("1100AM");
    alarm.showAlarmTextFields();
    alarm.selectField(AlarmClock::HourField);
    alarm.increase();
    EXPECT_EQ(alarm.alarmHour(), "12");
    EXPECT_EQ(alarm.alarmHalf(), "AM");
    alarm.increase();
    EXPECT_EQ(alarm.alarmHour(), "1");
    EXPECT_EQ(settings.alarmText, "100AM");
    alarm.decrease();
    EXPECT_EQ(alarm.alarmHour(), "12");
    alarm.decrease();
    EXPECT_EQ(alarm.alarmHour(), "11");
    EXPECT_EQ(view.alHour, "11");
    EXPECT_EQ(settings.alarmText, "1100AM");
}

TEST_F(AlarmClockTest, MinuteWrapsAndKeepsTheHour)
{
    settings.alarmText = QStringLiteral("759AM");
    alarm.showAlarmTextFields();
    alarm.selectField(AlarmClock::MinuteField);
    alarm.increase();
    EXPECT_EQ(alarm.alarmMinute(), "00");
    EXPECT_EQ(alarm.alarmHour(), "7");
    alarm.decrease();
    EXPECT_EQ(alarm.alarmMinute(), "59");
    settings.alarmText = QStringLiteral("708AM");
    alarm.showAlarmTextFields();
    alarm.increase();
    EXPECT_EQ(alarm.alarmMinute(), "09");
    alarm.increase();
    EXPECT_EQ(alarm.alarmMinute(), "10");
    EXPECT_EQ(settings.alarmText, "710AM");
    EXPECT_EQ(view.alMinute, "10");
}

TEST_F(AlarmClockTest, HalfTogglesWithEitherButton)
{
    alarm.selectField(AlarmClock::HalfField);
    alarm.increase();
    EXPECT_EQ(alarm.alarmHalf(), "PM");
    alarm.increase();
    EXPECT_EQ(alarm.alarmHalf(), "AM");
    alarm.decrease();
    EXPECT_EQ(alarm.alarmHalf(), "PM");
    EXPECT_EQ(settings.alarmText, "705PM");
    EXPECT_EQ(alarm.alarmHour(), "7");
}

TEST_F(AlarmClockTest, EditorKeepsFocusOnSnoozeAndIgnoresUnknownFields)
{
    const int focus = view.focusCalls;
    alarm.selectField(2);
    alarm.selectField(0);
    alarm.selectField(4);
    EXPECT_EQ(alarm.editField(), AlarmClock::MinuteField);
    alarm.increase();
    EXPECT_EQ(view.focusCalls, focus + 1);
}

TEST_F(AlarmClockTest, AlarmTextFieldsRejectMalformedText)
{
    for (const char *bad : {"", "705", "1305AM", "760AM", "0705AM", "705XM", "ab05AM"}) {
        settings.alarmText = QString::fromLatin1(bad);
        alarm.showAlarmTextFields();
        EXPECT_EQ(alarm.alarmHour(), "7") << bad;
        EXPECT_EQ(alarm.alarmMinute(), "05") << bad;
        EXPECT_EQ(alarm.alarmHalf(), "AM") << bad;
    }
    settings.alarmText = QStringLiteral("1159PM");
    alarm.showAlarmTextFields();
    EXPECT_EQ(alarm.alarmHour(), "11");
    EXPECT_EQ(alarm.alarmMinute(), "59");
    EXPECT_EQ(alarm.alarmHalf(), "PM");
}

// ---- Arming and the choice of the tune ------------------------------------

TEST_F(AlarmClockTest, ArmingShowsOnAndChoosesTheTune)
{
    settings.alarmText.clear(); // rebuilt from the fields at arming
    alarm.arm();
    EXPECT_EQ(alarm.state(), AlarmState::Armed);
    EXPECT_TRUE(view.checked);
    EXPECT_EQ(view.caption, "ON");
    EXPECT_TRUE(view.armedPicture);
    EXPECT_EQ(settings.alarmTune, "/t/a.mp3");
    EXPECT_EQ(settings.alarmText, "705AM");
}

TEST_F(AlarmClockTest, NextTuneInOrderWrapsAtTheEnd)
{
    settings.playOrder = 1;
    settings.nextTuneIndex = 2;
    EXPECT_EQ(alarm.nextTune(), "/t/c.mp3");
    EXPECT_EQ(settings.nextTuneIndex, 0);
    EXPECT_EQ(alarm.nextTune(), "/t/a.mp3");
    EXPECT_EQ(settings.nextTuneIndex, 1);
}

TEST_F(AlarmClockTest, NextTuneSelectedReturnsToTheSelection)
{
    settings.playOrder = 0;
    settings.nextTuneIndex = 2;
    settings.selectedTuneIndex = 1;
    EXPECT_EQ(alarm.nextTune(), "/t/c.mp3");
    EXPECT_EQ(settings.nextTuneIndex, 1);
    EXPECT_EQ(alarm.nextTune(), "/t/b.mp3");
}

TEST_F(AlarmClockTest, NextTuneFallsBackOnBadLists)
{
    settings.nextTuneIndex = 7;
    settings.selectedTuneIndex = -3;
    EXPECT_EQ(alarm.nextTune(), "/t/a.mp3");
    EXPECT_EQ(settings.nextTuneIndex, 0);
    settings.tunes[0] = QStringLiteral(",No path");
    EXPECT_EQ(alarm.nextTune(), kDefaultTune);
    settings.tunes[0] = QStringLiteral("/t/plain.mp3");
    EXPECT_EQ(alarm.nextTune(), "/t/plain.mp3");
    settings.tuneCount = 0;
    EXPECT_EQ(alarm.nextTune(), kDefaultTune);
}

// ---- Firing ---------------------------------------------------------------

TEST_F(AlarmClockTest, FiresAtSecondZeroOfTheAlarmMinute)
{
    alarm.arm();
    secondAt(7, 4, 59);
    EXPECT_EQ(player.starts, 0);
    secondAt(7, 5, 0);
    EXPECT_EQ(player.started, std::vector<QString>{"/t/a.mp3"});
    EXPECT_TRUE(alarm.playing());
    EXPECT_TRUE(view.message);
    EXPECT_EQ(view.messageText, "Wakie, Wakie !");
    EXPECT_TRUE(nap.isActive());
    EXPECT_EQ(alarm.snoozeCount(), 0);
    EXPECT_EQ(alarm.state(), AlarmState::Ringing);
}

TEST_F(AlarmClockTest, DoesNotFireWhileDisarmedOrAtAnotherTime)
{
    secondAt(7, 5, 0);
    alarm.arm();
    secondAt(7, 6, 0);
    secondAt(19, 5, 0);
    EXPECT_EQ(player.starts, 0);
    EXPECT_FALSE(nap.isActive());
}

TEST_F(AlarmClockTest, LateTickStillFiresWithinTheMinute)
{
    alarm.arm();
    secondAt(7, 4, 59);
    secondAt(7, 5, 1); // the tick of second 00 was late
    EXPECT_EQ(player.starts, 1);
    EXPECT_TRUE(view.message);
}

TEST_F(AlarmClockTest, FiresOnceInItsMinuteAlsoAfterAShortTune)
{
    armAndFire();
    secondAt(7, 5, 1);
    player.finish(); // short tune, no repeat
    for (int s = 2; s < 60; ++s)
        secondAt(7, 5, s);
    EXPECT_EQ(player.starts, 1);
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
}

TEST_F(AlarmClockTest, FiresAgainTheNextDay)
{
    armAndFire();
    player.finish();
    secondAt(7, 5, 0, QDate(2024, 3, 6));
    EXPECT_EQ(player.starts, 2);
    EXPECT_TRUE(alarm.playing());
}

TEST_F(AlarmClockTest, FireBringsTheWindowBackFromTheTray)
{
    view.up = false;
    armAndFire();
    EXPECT_EQ(view.opens, 1);
    EXPECT_TRUE(view.up);
}

// ---- Snooze and the snooze minutes ----------------------------------------

TEST_F(AlarmClockTest, SnoozeSilencesAndReplaysFiveMinutesAfterTheFire)
{
    armAndFire();
    secondAt(7, 6, 30);
    alarm.snooze();
    EXPECT_FALSE(alarm.playing());
    EXPECT_EQ(player.stops, 1);
    EXPECT_TRUE(view.message);
    EXPECT_TRUE(nap.isActive());
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
    naps(4);
    EXPECT_EQ(player.starts, 1);
    EXPECT_EQ(alarm.snoozeCount(), 4);
    nap.fire(); // 7:10
    EXPECT_EQ(player.starts, 2);
    EXPECT_EQ(alarm.snoozeCount(), 0);
    EXPECT_EQ(alarm.state(), AlarmState::Ringing);
    naps(5); // 7:15, the tune starts again from its beginning
    EXPECT_EQ(player.starts, 3);
    EXPECT_EQ(player.started.back(), "/t/a.mp3");
}

TEST_F(AlarmClockTest, SnoozeReplayBringsTheWindowBack)
{
    armAndFire();
    view.up = false;
    naps(5);
    EXPECT_EQ(view.opens, 1);
}

TEST_F(AlarmClockTest, SnoozeZeroNeverReplaysAndTheCountIsBounded)
{
    settings.snoozeMinutes = 0;
    armAndFire();
    alarm.snooze();
    naps(40000);
    EXPECT_EQ(player.starts, 1);
    EXPECT_TRUE(view.message);
    EXPECT_EQ(alarm.snoozeCount(), std::numeric_limits<std::int16_t>::max());
    secondAt(7, 5, 0, QDate(2024, 3, 6)); // the same minute next day
    EXPECT_EQ(player.starts, 2);
    EXPECT_EQ(alarm.snoozeCount(), 0);
}

TEST_F(AlarmClockTest, ShortenedSnoozeStillReplays)
{
    settings.snoozeMinutes = 10;
    armAndFire();
    naps(7);
    settings.snoozeMinutes = 5; // changed in the options dialog
    nap.fire();
    EXPECT_EQ(player.starts, 2);
}

TEST_F(AlarmClockTest, SnoozeWhenQuietChangesNothing)
{
    armAndFire();
    player.finish();
    nap.fire();
    alarm.snooze();
    EXPECT_EQ(player.stops, 0);
    EXPECT_EQ(alarm.snoozeCount(), 1);
}

// ---- Finished, repeat and the cap -----------------------------------------

TEST_F(AlarmClockTest, RepeatReplaysOnFinishUpToTenStartsPerFire)
{
    settings.repeatTune = 1;
    armAndFire();
    for (int i = 0; i < 20; ++i)
        player.finish();
    EXPECT_EQ(player.started.size(), 10u);
    EXPECT_EQ(alarm.playCount(), 10);
    EXPECT_FALSE(alarm.playing());
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
    naps(5);
    EXPECT_EQ(player.started.size(), 10u); // the cap holds for the rest of this ringing
    // The next day's fire starts a new count.
    secondAt(7, 5, 0, QDate(2024, 3, 6));
    EXPECT_EQ(player.started.size(), 11u);
    EXPECT_TRUE(alarm.playing());
    EXPECT_EQ(alarm.playCount(), 1);
    EXPECT_TRUE(view.message);
}

// An alarm left armed day after day, as people use it, rings every day.
TEST_F(AlarmClockTest, AnAlarmLeftArmedRingsEveryDayForAMonth)
{
    for (const int repeat : {1, 0}) {
        SCOPED_TRACE(repeat);
        settings.repeatTune = static_cast<std::uint8_t>(repeat);
        alarm.disarm();
        alarm.arm();
        QDate day(2024, 4, 1);
        for (int d = 0; d < 30; ++d, day = day.addDays(1)) {
            secondAt(7, 4, 59, day);
            const std::size_t before = player.started.size();
            secondAt(7, 5, 0, day);
            ASSERT_EQ(player.started.size(), before + 1) << "silent on day " << d + 1;
            ASSERT_TRUE(player.playing);
            // The user lets it ring, sleeps through a replay or three, or snoozes.
            for (int i = 0; i < 12; ++i)
                player.finish();
            naps(d % 3 == 0 ? 15 : 5);
            if (d % 2 == 0)
                alarm.snooze();
            for (int i = 0; i < 12; ++i)
                player.finish();
            secondAt(7, 30, 0, day);
        }
    }
}
TEST_F(AlarmClockTest, NoRepeatWithoutTheSetting)
{
    settings.repeatTune = 0;
    armAndFire();
    player.finish();
    EXPECT_EQ(player.starts, 1);
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
}

TEST_F(AlarmClockTest, SecondFinishedForTheSameStartIsIgnored)
{
    settings.repeatTune = 1;
    armAndFire();
    player.finish();
    EXPECT_EQ(player.starts, 2);
    alarm.finishedPlaying(); // the same end reported twice
    player.finishedHandler();
    EXPECT_EQ(player.starts, 2);
    EXPECT_EQ(alarm.playCount(), 2);
    EXPECT_TRUE(alarm.playing());
}

TEST_F(AlarmClockTest, FinishedAfterStopIsIgnored)
{
    settings.repeatTune = 1;
    armAndFire();
    alarm.snooze();
    player.finishedHandler();
    EXPECT_EQ(player.starts, 1);
    EXPECT_FALSE(alarm.playing());
}

// ---- An alarm that cannot sound -------------------------------------------

TEST_F(AlarmClockTest, MissingTuneFallsBackToTheDefaultTune)
{
    player.missing.insert(QStringLiteral("/t/a.mp3"));
    armAndFire();
    EXPECT_EQ(player.started, std::vector<QString>{kDefaultTune});
    EXPECT_TRUE(alarm.playing());
    EXPECT_EQ(alarm.playCount(), 1);
    EXPECT_EQ(bell.rings, 0);
}

TEST_F(AlarmClockTest, RejectedTuneFallsBackToTheDefaultTune)
{
    player.rejected.insert(QStringLiteral("/t/a.mp3"));
    armAndFire();
    EXPECT_EQ(player.started, std::vector<QString>{kDefaultTune});
    EXPECT_TRUE(alarm.playing());
}

TEST_F(AlarmClockTest, TheBellRingsUntilSnoozeWhenNoTuneCanPlay)
{
    player.missing = {QStringLiteral("/t/a.mp3"), kDefaultTune};
    armAndFire();
    EXPECT_FALSE(alarm.playing());
    EXPECT_TRUE(alarm.belling());
    EXPECT_EQ(bell.rings, 1);
    EXPECT_EQ(alarm.state(), AlarmState::Ringing);
    EXPECT_EQ(view.notice, QString::fromUtf8("Tune not found: a.mp3 \u2014 ringing the alarm bell"));
    // The bell's tone repeats by itself; nothing needs starting while it is heard.
    for (int s = 1; s <= 6; ++s)
        secondAt(7, 5, s);
    EXPECT_EQ(bell.rings, 1);
    EXPECT_TRUE(bell.sounding);
    EXPECT_EQ(player.starts, 2); // no second fire in the minute
    alarm.snooze();
    EXPECT_FALSE(bell.sounding);
    for (int s = 0; s < 4; ++s)
        secondAt(7, 6, s);
    EXPECT_EQ(bell.rings, 1);
    naps(5); // the replay tries the tunes again, then rings
    EXPECT_EQ(bell.rings, 2);
    EXPECT_TRUE(bell.sounding);
    alarm.disarm();
    EXPECT_FALSE(bell.sounding);
    EXPECT_TRUE(view.notice.isEmpty());
    for (int s = 0; s < 10; ++s)
        secondAt(7, 12, s);
    EXPECT_EQ(bell.rings, 2);
}

// Where no sound device opens, the desktop's bell is all there is: it rings
// every few seconds, each time after the tunes were tried again.
TEST_F(AlarmClockTest, WithoutASoundDeviceTheDesktopBellRingsEveryFewSeconds)
{
    player.missing = {QStringLiteral("/t/a.mp3"), kDefaultTune};
    bell.deviceOpens = false;
    armAndFire();
    EXPECT_EQ(bell.rings, 1);
    for (int s = 1; s <= 3 * AlarmClock::kBellEverySeconds; ++s)
        secondAt(7, 5, s);
    EXPECT_EQ(bell.rings, 4);
    EXPECT_EQ(player.starts, 2 + 3 * 2);
    EXPECT_EQ(alarm.state(), AlarmState::Ringing);
    // The device is back: the tune plays again.
    player.missing.clear();
    for (int s = 10; s <= 10 + AlarmClock::kBellEverySeconds; ++s)
        secondAt(7, 5, s);
    EXPECT_TRUE(alarm.playing());
    EXPECT_FALSE(alarm.belling());
    EXPECT_EQ(player.started.back(), "/t/a.mp3");
    EXPECT_TRUE(view.notice.isEmpty());
}
TEST_F(AlarmClockTest, EmptyTuneListPlaysTheDefaultTune)
{
    settings.tuneCount = 0;
    armAndFire();
    EXPECT_EQ(player.started, std::vector<QString>{kDefaultTune});
}

// ---- Disarming ------------------------------------------------------------

TEST_F(AlarmClockTest, DisarmStopsEverything)
{
    armAndFire();
    flash.fire();
    alarm.disarm();
    EXPECT_EQ(player.stops, 1);
    EXPECT_FALSE(alarm.playing());
    EXPECT_FALSE(view.message);
    EXPECT_FALSE(view.armedPicture);
    EXPECT_FALSE(view.ringingPicture);
    EXPECT_FALSE(nap.isActive());
    EXPECT_TRUE(settings.alarmTune.isEmpty());
    EXPECT_FALSE(view.checked);
    EXPECT_EQ(view.caption, "Set");
    EXPECT_EQ(alarm.state(), AlarmState::Disarmed);
    secondAt(7, 5, 0, QDate(2024, 3, 6));
    EXPECT_EQ(player.starts, 1);
}

TEST_F(AlarmClockTest, ReArmingInTheFiredMinuteDoesNotFireAgain)
{
    armAndFire();
    alarm.disarm();
    alarm.arm();
    secondAt(7, 5, 20);
    EXPECT_EQ(player.starts, 1);
}

TEST_F(AlarmClockTest, DestructionLeavesNoCallbacks)
{
    FakeTimer f;
    FakeTimer n;
    FakePlayer p;
    {
        AlarmClock other(settings, clock, f, n, p, view, bell, kDefaultTune);
        other.startUp();
    }
    EXPECT_FALSE(f.callback);
    EXPECT_FALSE(n.callback);
    EXPECT_FALSE(p.finishedHandler);
}

// ---- Sound that stops, notices --------------------------------------------

// The sound device goes away mid-tune: the player stops without reporting
// an end. Within two ticks the alarm sounds again, with what still plays.
TEST_F(AlarmClockTest, ALostDeviceMidTuneLeadsToSoundAgainWithinTwoTicks)
{
    const struct {
        const char *name;
        std::set<QString> failing; // what cannot start after the loss
        const char *heard;         // the tune then heard, or "" for the bell
    } cases[] = {
        {"the tune again", {}, "/t/a.mp3"},
        {"the default tune", {"/t/a.mp3"}, "/opt/kestrum/Zorvin.mp3"},
        {"the bell", {"/t/a.mp3", "/opt/kestrum/Zorvin.mp3"}, ""},
    };
    QDate day(2024, 3, 5);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        day = day.addDays(1);
        alarm.disarm();
        player.missing.clear();
        alarm.arm();
        secondAt(7, 5, 0, day);
        ASSERT_TRUE(player.playing);
        const int count = alarm.playCount();
        player.missing = c.failing;
        player.loseDevice();
        flash.fire();
        flash.fire();
        if (*c.heard != '\0') {
            EXPECT_TRUE(player.playing);
            EXPECT_EQ(player.started.back(), QString::fromLatin1(c.heard));
        } else {
            EXPECT_TRUE(bell.sounding);
        }
        EXPECT_EQ(alarm.state(), AlarmState::Ringing);
        EXPECT_EQ(alarm.playCount(), count) << "a recovery is no new start";
    }
}

// The end of a tune and its report may straddle a tick: that is no lost
// device, and without repeat nothing starts again.
TEST_F(AlarmClockTest, ATuneThatEndedIsNotTakenForALostDevice)
{
    armAndFire();
    player.playing = false; // the end, its report still queued
    flash.fire();
    player.finishedHandler();
    for (int s = 1; s < 5; ++s)
        secondAt(7, 5, s);
    EXPECT_EQ(player.starts, 1);
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
}

TEST_F(AlarmClockTest, TheNoticeSaysWhatPlaysInsteadOfTheTune)
{
    player.missing.insert(QStringLiteral("/t/a.mp3"));
    armAndFire();
    EXPECT_EQ(view.notice, QString::fromUtf8("Tune not found: a.mp3 \u2014 playing the default tune"));
    alarm.disarm();
    EXPECT_TRUE(view.notice.isEmpty());

    // A file that is there but does not play; then the default tune neither.
    QTemporaryFile notMusic(QDir::tempPath() + QStringLiteral("/XXXXXX.mp3"));
    ASSERT_TRUE(notMusic.open());
    const QString name = QFileInfo(notMusic.fileName()).fileName();
    settings.tunes[0] = notMusic.fileName() + QStringLiteral(",Broken");
    player.missing = {kDefaultTune};
    player.rejected.insert(notMusic.fileName());
    alarm.arm();
    secondAt(7, 5, 0, QDate(2024, 3, 6));
    EXPECT_EQ(view.notice, QString::fromUtf8("Tune cannot play: %1 \u2014 ringing the alarm bell").arg(name));
}

// ---- Gentle wake ----------------------------------------------------------

TEST_F(AlarmClockTest, TheTuneFadesInAtTheFireAndAtReplaysButNotAtRepeats)
{
    WakeSettings wake;
    wake.fadeInSeconds = 8;
    alarm.setWakeSettings(&wake);
    settings.repeatTune = 1;
    armAndFire();
    player.finish(); // a repeat
    naps(5);         // a snooze replay
    QStringList starts;
    for (const QString &call : player.calls)
        if (call.startsWith(QLatin1String("Play")))
            starts << call;
    EXPECT_EQ(starts, (QStringList{"PlayFadeIn=8", "PlayStart", "PlayStop", "PlayFadeIn=8"}));
    wake.fadeInSeconds = 0;
    alarm.snooze();
    naps(5);
    EXPECT_EQ(player.calls.last(), "PlayStart");
}

// ---- An alarm minute the clock jumped past ----------------------------------

// The computer slept through the alarm minute (or the clock was set
// forward): within the limit the alarm rings at once, later the window says
// it was missed.
TEST_F(AlarmClockTest, AWallClockJumpPastTheAlarmRingsWithinTheLimitAndIsReportedPastIt)
{
    const QDate day(2024, 3, 5);
    const struct {
        const char *name;
        QTime before, after;
        int limit;
        QDate afterDay;
        bool rings;
        bool missed;
    } cases[] = {
        {"a minute late", QTime(7, 4, 50), QTime(7, 6, 30), 60, day, true, false},
        {"at the limit", QTime(6, 0, 0), QTime(8, 5, 59), 60, day, true, false},
        {"past the limit", QTime(6, 0, 0), QTime(8, 6, 0), 60, day, false, true},
        {"a limit of 0", QTime(7, 4, 50), QTime(7, 6, 30), 0, day, false, true},
        {"a longer limit", QTime(3, 0, 0), QTime(9, 0, 0), 120, day, true, false},
        {"within the minute", QTime(7, 4, 30), QTime(7, 5, 40), 60, day, true, false},
        {"over midnight", QTime(23, 0, 0), QTime(7, 30, 0), 60, day.addDays(1), true, false},
        {"short of the alarm", QTime(6, 0, 0), QTime(7, 4, 0), 60, day, false, false},
        {"backwards", QTime(8, 0, 0), QTime(7, 0, 0), 60, day, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AlarmSettings s = settings;
        FakeClock clk;
        FakeTimer f;
        FakeTimer n;
        FakePlayer p;
        RecordingView v;
        FakeBell b;
        FakeNotifier notifier;
        WakeSettings wake;
        wake.lateLimitMinutes = c.limit;
        AlarmClock a(s, clk, f, n, p, v, b, kDefaultTune);
        a.setWakeSettings(&wake);
        a.setNotifier(&notifier);
        a.startUp();
        a.showAlarmTextFields();
        a.arm();
        v.up = false;
        clk.time = QDateTime(day, c.before);
        f.fire();
        f.fire();
        clk.time = QDateTime(c.afterDay, c.after);
        f.fire();
        f.fire();
        EXPECT_EQ(p.starts, c.rings ? 1 : 0);
        EXPECT_EQ(v.message, c.rings || c.missed);
        if (c.missed) {
            EXPECT_EQ(v.messageText, "Missed alarm at 7:05 AM");
            EXPECT_EQ(notifier.notices, QStringList{"Missed alarm at 7:05 AM"});
            EXPECT_EQ(a.state(), AlarmState::Armed);
            EXPECT_FALSE(n.isActive()) << "nothing to replay";
        }
        EXPECT_EQ(v.up, c.rings || c.missed) << "the window comes back to say so";
        // Seen once only: later ticks add nothing.
        clk.time = clk.time.addSecs(1);
        f.fire();
        f.fire();
        EXPECT_EQ(p.starts, c.rings ? 1 : 0);
        EXPECT_LE(notifier.notices.size(), 1);
    }
}

// After sleep the system says so: the alarm looks at once, without waiting
// for a tick; summer time's lost hour counts as a jump too.
TEST_F(AlarmClockTest, ALookAfterSleepOrTheLostHourOfSummerTimeFindsTheAlarm)
{
    alarm.arm();
    secondAt(7, 4, 0);
    clock.time = QDateTime(QDate(2024, 3, 5), QTime(7, 20, 0));
    alarm.checkNow();
    EXPECT_EQ(player.starts, 1);
    EXPECT_EQ(view.notice, "Ringing late: the alarm was due at 7:05 AM");
    alarm.disarm();
    EXPECT_TRUE(view.notice.isEmpty());

    settings.alarmText = QStringLiteral("230AM");
    alarm.showAlarmTextFields();
    alarm.arm();
    secondAt(1, 59, 59, QDate(2024, 3, 6));
    secondAt(3, 0, 0, QDate(2024, 3, 6));
    EXPECT_EQ(player.starts, 2);
}

// ---- Notifications ----------------------------------------------------------

TEST_F(AlarmClockTest, TheNotificationLastsAsLongAsTheRingingAndItsActionsWork)
{
    FakeNotifier notifier;
    alarm.setNotifier(&notifier);
    armAndFire();
    EXPECT_TRUE(notifier.shown);
    EXPECT_EQ(notifier.message, "Wakie, Wakie !");
    EXPECT_EQ(notifier.time, "7:05 AM");
    EXPECT_TRUE(view.ringing);
    EXPECT_GE(view.fronts, 1) << "the window comes to the front";

    notifier.snoozeAction();
    EXPECT_FALSE(player.playing);
    EXPECT_EQ(alarm.state(), AlarmState::Quiet);
    EXPECT_FALSE(notifier.shown);
    EXPECT_FALSE(view.ringing);

    naps(5);
    EXPECT_TRUE(notifier.shown);
    EXPECT_EQ(notifier.alarms, 2);
    player.finish(); // the end of the tune ends the ringing
    EXPECT_FALSE(notifier.shown);

    naps(5);
    notifier.unsetAction();
    EXPECT_EQ(alarm.state(), AlarmState::Disarmed);
    EXPECT_FALSE(view.checked);
    EXPECT_FALSE(player.playing);
    EXPECT_FALSE(notifier.shown);

    alarm.setNotifier(nullptr);
    EXPECT_FALSE(notifier.snoozeAction) << "a notifier let go of keeps no actions";
}

}  // namespace
