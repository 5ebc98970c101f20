// Kestrum's main window in a real desktop session of the platform it runs
// on: tests/wayland/run-under-weston.sh runs this under a headless Wayland
// compositor. The window shows, one alarm fires with the real player
// (heard through SDL's disk driver), Snooze silences it, and where the
// session has no notification area the close box minimises the window.
// Only the clock and the window timers are fakes.
#include "FrmMain.h"
#include "SharedLibrary.h"
#include "WindowFakes.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

TEST(Session, TheWindowShowsTheAlarmFiresAndSnoozeSilencesIt)
{
    const QString expected = qEnvironmentVariable("KESTRUM_EXPECT_PLATFORM");
    if (!expected.isEmpty()) {
        ASSERT_EQ(QGuiApplication::platformName(), expected);
    }

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
    const auto library = platform::SharedLibrary::load(QStringLiteral(TARNEL_LIBRARY_PATH));
    ASSERT_TRUE(library);
    auto *registerServer = library->function<long()>("DllRegisterServer");
    ASSERT_TRUE(registerServer && registerServer() == 0);
    const QString heard = folder.filePath(QStringLiteral("heard.raw"));
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", QFile::encodeName(heard).constData(), 1);

    const QString program = folder.filePath(QStringLiteral("program"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_TUNE_PATH), program + QStringLiteral("/Zorvin.mp3")));
    writeSettings(program, {QStringLiteral("7,05,AM"), QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("0"),
                            QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0"),
                            QStringLiteral("Wakie, Wakie !"), QStringLiteral("Zorvin.mp3,Zorvin")});
    FakeParts fakes;
    FrmMain window(fakes.make(program, /*realPlayer=*/true));
    window.startUp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << "the window does not show";

    auto *chkSet = window.findChild<QWidget *>(QStringLiteral("chkSet"));
    auto *cmdSnooze = window.findChild<QWidget *>(QStringLiteral("cmdSnooze"));
    ASSERT_TRUE(chkSet && cmdSnooze);
    QTest::mouseClick(chkSet, Qt::LeftButton);
    ASSERT_EQ(window.alarm().state(), AlarmState::Armed);
    fakes.secondAt(7, 5, 0);
    EXPECT_EQ(window.alarm().state(), AlarmState::Ringing);
    EXPECT_TRUE(window.player().IsPlaying());
    const auto sounding = [&] {
        QFile file(heard);
        return file.open(QIODevice::ReadOnly) && file.readAll().count('\0') < file.size();
    };
    EXPECT_TRUE(waitUntil(sounding, 5000)) << "nothing was heard";

    QTest::keyClick(cmdSnooze, Qt::Key_Space);
    EXPECT_EQ(window.alarm().state(), AlarmState::Quiet);
    EXPECT_FALSE(window.player().IsPlaying());

    // A session without a notification area keeps the window reachable.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        std::printf("This session has a notification area: the close box is not tried.\n");
    } else {
        window.close();
        EXPECT_FALSE(window.frmUp());
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.windowState() & Qt::WindowMinimized);
        window.openFromTray();
        EXPECT_TRUE(window.frmUp());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    window.alarm().disarm();
}

}  // namespace
