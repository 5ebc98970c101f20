// One whole alarm on the real main window with the real player control,
// created by ProgID from the registered libTarnelMP3.so, playing through
// SDL's "disk" driver, which writes what the speakers would have heard to a
// file. Only the clock and the two window timers are fakes, so the test
// decides when a second or a snooze minute passes. Each test runs in a
// process of its own (gtest_discover_tests), so the environment set here
// belongs to that test.
#include "FrmMain.h"
#include "WindowFakes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

class AlarmWithPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // The library registers itself into the per-user registry store of
        // this temporary configuration folder, where the window looks its
        // ProgID up.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
        ASSERT_NO_FATAL_FAILURE(registerControls(QStringLiteral(TARNEL_LIBRARY_PATH)));

        // Played about ten times faster than real time into the disk file.
        heard = folder.filePath(QStringLiteral("heard.raw"));
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", QFile::encodeName(heard).constData(), 1);
        ::setenv("SDL_DISKAUDIODELAY", "2", 1);

        program = folder.filePath(QStringLiteral("program"));
        ASSERT_TRUE(QDir().mkpath(program));
    }

    void shipDefaultTune()
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_TUNE_PATH), QDir(program).filePath(QStringLiteral("Zorvin.mp3"))));
    }

    // Alarm at 7:05 AM, snooze 2 minutes, the tune repeated until Snooze.
    void writeAlarmSettings(const QString &tuneLine)
    {
        writeSettings(program, {QStringLiteral("7,05,AM"), QStringLiteral("2"), QStringLiteral("0"),
                                QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"),
                                QStringLiteral("0"), QStringLiteral("Wakie, Wakie !"), tuneLine});
    }

    std::unique_ptr<FrmMain> startWindow()
    {
        auto window = std::make_unique<FrmMain>(fakes.make(program, /*realPlayer=*/true));
        window->notifyIcon().setDesktopHasTray([] { return true; });
        window->startUp();
        return window;
    }

    // Samples of the disk file that are not silence (the device gets 32-bit
    // floats; anything above -80 dBFS counts).
    std::size_t soundingSamples() const
    {
        QFile file(heard);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray bytes = file.readAll();
        std::size_t sounding = 0;
        for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
            float sample = 0;
            std::memcpy(&sample, bytes.constData() + i, 4);
            if (std::isfinite(sample) && std::fabs(sample) > 1e-4f)
                ++sounding;
        }
        return sounding;
    }
    bool soundArrives(int limitMs = 5000)
    {
        return waitUntil([&] { return soundingSamples() > 4410; }, limitMs);
    }
    // Forgets what was heard so far; a device still open goes on writing
    // at its place, leaving silence before it.
    void clearHeard() const { std::filesystem::resize_file(QFile::encodeName(heard).toStdString(), 0); }

    static QWidget *control(FrmMain &window, const char *name)
    {
        return window.findChild<QWidget *>(QString::fromLatin1(name));
    }
    static void click(FrmMain &window, const char *name) { QTest::mouseClick(control(window, name), Qt::LeftButton); }

    QTemporaryDir folder;
    QString heard;
    QString program;
    FakeParts fakes;
};

TEST_F(AlarmWithPlayerTest, ArmFireSnoozeReplayAndDisarmWithTheRealPlayer)
{
    shipDefaultTune();
    writeAlarmSettings(QStringLiteral("Zorvin.mp3,Zorvin"));
    auto window = startWindow();
    FrmMain &w = *window;
    QWidget *mpp2 = control(w, "mpp2");
    ASSERT_NE(mpp2, nullptr) << "the player control was not created by its ProgID";
    EXPECT_STREQ(mpp2->metaObject()->className(), "SonbrelMP3::SBMP3Player");
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    click(w, "chkSet");
    ASSERT_EQ(w.alarm().state(), AlarmState::Armed);
    fakes.secondAt(7, 4, 59);
    EXPECT_FALSE(w.player().IsPlaying());

    // Second "00": the tune starts and is heard, the message shows.
    fakes.secondAt(7, 5, 0);
    EXPECT_EQ(w.alarm().state(), AlarmState::Ringing);
    EXPECT_TRUE(w.player().IsPlaying());
    EXPECT_TRUE(control(w, "lblMessage")->isVisible());
    EXPECT_TRUE(fakes.nap->isActive());
    ASSERT_TRUE(soundArrives()) << "nothing was heard after the alarm fired";
    const int startsBeforeSnooze = w.alarm().playCount();

    // Snooze with the space bar: silence, and the tune's end reported by the
    // control after the stop starts nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(w.player().IsPlaying());
    EXPECT_EQ(w.alarm().state(), AlarmState::Quiet);
    QTest::qWait(400);
    EXPECT_FALSE(w.player().IsPlaying());
    EXPECT_EQ(w.alarm().playCount(), startsBeforeSnooze);
    EXPECT_TRUE(control(w, "lblMessage")->isVisible());

    // Two snooze minutes after the fire the tune plays again.
    clearHeard();
    fakes.nap->fire();
    EXPECT_FALSE(w.player().IsPlaying());
    fakes.nap->fire();
    EXPECT_TRUE(w.player().IsPlaying());
    EXPECT_EQ(w.alarm().state(), AlarmState::Ringing);
    ASSERT_TRUE(soundArrives()) << "the snooze replay was not heard";

    // Disarmed: silent for good.
    click(w, "chkSet");
    EXPECT_EQ(w.alarm().state(), AlarmState::Disarmed);
    EXPECT_FALSE(w.player().IsPlaying());
    EXPECT_TRUE(control(w, "lblMessage")->isHidden());
    EXPECT_FALSE(fakes.nap->isActive());
    QTest::qWait(300);
    clearHeard();
    QTest::qWait(400);
    EXPECT_EQ(soundingSamples(), 0u) << "something still plays after disarming";
    EXPECT_EQ(fakes.bell->rings, 0);
}

TEST_F(AlarmWithPlayerTest, AMissingTuneStillSoundsWithTheDefaultTune)
{
    shipDefaultTune();
    const QString missing = QDir(program).filePath(QStringLiteral("gone/Morning.mp3"));
    writeAlarmSettings(missing + QStringLiteral(",Morning"));
    auto window = startWindow();
    FrmMain &w = *window;
    ASSERT_NE(control(w, "mpp2"), nullptr);

    w.alarm().arm();
    EXPECT_EQ(w.settings().alarmTune, missing);
    fakes.secondAt(7, 5, 0);
    EXPECT_TRUE(w.player().IsPlaying());
    EXPECT_EQ(w.alarm().state(), AlarmState::Ringing);
    EXPECT_EQ(control(w, "mpp2")->property("Filename").toString(), w.defaultTunePath());
    EXPECT_TRUE(soundArrives()) << "the default tune was not heard";
    EXPECT_EQ(fakes.bell->rings, 0);
    w.alarm().disarm();
}

// Neither the chosen tune nor the default one is there: the alarm bell, a
// tone the program makes, is heard through the sound device until Snooze.
TEST_F(AlarmWithPlayerTest, WithNoTuneThatPlaysTheBellIsHeard)
{
    writeAlarmSettings(QDir(program).filePath(QStringLiteral("gone.mp3")) + QStringLiteral(",Gone"));
    FrmMainParts parts = fakes.make(program, /*realPlayer=*/true);
    parts.bell.reset(); // the window's own bell
    FrmMain w(std::move(parts));
    w.notifyIcon().setDesktopHasTray([] { return true; });
    w.startUp();

    w.alarm().arm();
    fakes.secondAt(7, 5, 0);
    EXPECT_FALSE(w.player().IsPlaying());
    EXPECT_TRUE(w.alarm().belling());
    EXPECT_EQ(w.alarm().state(), AlarmState::Ringing);
    EXPECT_TRUE(control(w, "lblMessage")->isVisible());
    EXPECT_EQ(w.notice(), QString::fromUtf8("Tune not found: gone.mp3 \u2014 ringing the alarm bell"));

    // The bell's tone goes to the device as 16-bit samples, about -3 dBFS
    // at its peaks, and goes on while it rings.
    const auto peak = [&] {
        QFile file(heard);
        if (!file.open(QIODevice::ReadOnly))
            return 0.0;
        const QByteArray bytes = file.readAll();
        int largest = 0;
        for (qsizetype i = 0; i + 2 <= bytes.size(); i += 2) {
            qint16 sample = 0;
            std::memcpy(&sample, bytes.constData() + i, 2);
            largest = std::max(largest, std::abs(int{sample}));
        }
        return largest / 32768.0;
    };
    ASSERT_TRUE(waitUntil([&] { return peak() > 0.5; }, 5000)) << "the bell was not heard";
    EXPECT_NEAR(20 * std::log10(peak()), -3.0, 0.2);
    clearHeard();
    for (int second = 1; second <= 3; ++second)
        fakes.secondAt(7, 5, second);
    EXPECT_TRUE(waitUntil([&] { return peak() > 0.5; }, 5000)) << "the bell stopped by itself";

    QTest::keyClick(control(w, "cmdSnooze"), Qt::Key_Space);
    EXPECT_FALSE(w.alarm().belling());
    EXPECT_EQ(w.alarm().state(), AlarmState::Quiet);
    QTest::qWait(200);
    clearHeard();
    QTest::qWait(300);
    EXPECT_LT(peak(), 0.01) << "the bell still rings after Snooze";
}

// A gentle wake: the tune starts through the control's PlayFadeIn and rises
// from silence, where without a fade its first strike is heard at once.
TEST_F(AlarmWithPlayerTest, WithAFadeInTheTuneRisesFromSilence)
{
    shipDefaultTune();
    writeAlarmSettings(QStringLiteral("Zorvin.mp3,Zorvin"));
    auto window = startWindow();
    FrmMain &w = *window;
    ASSERT_NE(control(w, "mpp2"), nullptr);
    // The loudest sample of the first tenth of a second of sound.
    const auto firstPeak = [&] {
        QFile file(heard);
        if (!file.open(QIODevice::ReadOnly))
            return -1.0f;
        const QByteArray bytes = file.readAll();
        qsizetype first = -1;
        float peak = 0;
        for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
            float sample = 0;
            std::memcpy(&sample, bytes.constData() + i, 4);
            if (first < 0 && std::fabs(sample) > 1e-4f)
                first = i;
            if (first >= 0 && i < first + 4 * 2 * 4410)
                peak = std::max(peak, std::fabs(sample));
        }
        return peak;
    };
    for (const int fade : {0, 3}) {
        SCOPED_TRACE(fade);
        w.wakeSettings().fadeInSeconds = fade;
        w.alarm().disarm();
        QTest::qWait(1300); // the engine lets its device go; the next opens the file anew
        QFile::remove(heard);
        w.alarm().arm();
        fakes.secondAt(7, 5, 0, QDate(2024, 3, 5 + fade));
        ASSERT_TRUE(w.player().IsPlaying());
        ASSERT_TRUE(soundArrives());
        if (fade == 0)
            EXPECT_GT(firstPeak(), 0.05f) << "the tune's first strike";
        else
            EXPECT_LT(firstPeak(), 0.01f) << "the tune did not fade in";
    }
    w.alarm().disarm();
}

}  // namespace
