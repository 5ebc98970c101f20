// The main window over fakes: what it shows, where the focus stays, the
// close box, the notification area and the settings file at exit.
#include "ClockFonts.h"
#include "FrmMain.h"
#include "FrmOptions.h"
#include "ModalDialogs.h"
#include "Registry.h"
#include "WindowFakes.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

const QStringList kSevenFivePm = {
    QStringLiteral("7,05,PM"), QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"),
    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
    QStringLiteral("Rise and shine"), QStringLiteral("Zorvin.mp3,Zorvin")};

class FrmMainTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // A window over fakes; `tray` says whether the desktop has a
    // notification area.
    std::unique_ptr<FrmMain> makeWindow(bool tray = true)
    {
        auto window = std::make_unique<FrmMain>(fakes.make(folder.path()));
        window->notifyIcon().setDesktopHasTray([tray] { return tray; });
        return window;
    }

    template <typename T = QWidget>
    static T *child(FrmMain &window, const char *name)
    {
        T *found = window.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QString text(FrmMain &window, const char *name)
    {
        if (auto *label = window.findChild<QLabel *>(QString::fromLatin1(name)))
            return label->text();
        if (auto *button = window.findChild<QPushButton *>(QString::fromLatin1(name)))
            return button->text();
        ADD_FAILURE() << "no label or button " << name;
        return {};
    }
    static QAction *action(FrmMain &window, const char *name)
    {
        for (QAction *item : window.mainMenu()->actions())
            if (item->objectName() == QLatin1String(name))
                return item;
        ADD_FAILURE() << "no menu item " << name;
        return nullptr;
    }
    static void activate(FrmMain &window)
    {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QTemporaryDir folder;
    FakeParts fakes;
};

TEST_F(FrmMainTest, EveryControlCarriesItsDesignTextAndTheMenuItsItems)
{
    auto window = makeWindow();
    FrmMain &w = *window;

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum"));
    const std::pair<const char *, const char *> texts[] = {
        {"txtHR", "12"},     {"lblFlash", ":"},  {"txtMin", "22"},     {"txtSec", "12"},
        {"txtAMPM", "PM"},   {"lblMessage", "Wakie, Wakie !"},         {"txtAlHr", "1"},
        {"txtAlMin", "01"},  {"txtAlAMPM", "AM"}, {"Command6", "+"},   {"Command7", "-"},
        {"chkSet", "Set"},   {"Command8", "Options"}, {"cmdSnooze", "S N O O Z E "}};
    for (const auto &[name, expected] : texts)
        EXPECT_EQ(text(w, name), QString::fromLatin1(expected)) << name;
    EXPECT_EQ(child<QGroupBox>(w, "Frame2")->title(), QStringLiteral("Set Alarm"));
    EXPECT_TRUE(child<QPushButton>(w, "chkSet")->isCheckable());
    EXPECT_FALSE(child<QPushButton>(w, "chkSet")->isChecked());
    for (const char *hidden : {"lblMessage", "picAl", "picAlON"})
        EXPECT_TRUE(child(w, hidden)->isHidden()) << hidden;
    EXPECT_NE(child(w, "picDisplay"), nullptr);
    EXPECT_FALSE(child<QLabel>(w, "picAl")->pixmap().isNull());
    EXPECT_FALSE(child<QLabel>(w, "picAlON")->pixmap().isNull());
    EXPECT_FALSE(w.windowIcon().isNull());

    // The menu "Main": Open, Options, a separator, Exit; also the window's menu bar.
    EXPECT_EQ(w.mainMenu()->title(), QStringLiteral("Main"));
    QStringList items;
    for (QAction *item : w.mainMenu()->actions())
        items << (item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(items, (QStringList{QStringLiteral("Open"), QStringLiteral("Options"), QStringLiteral("-"),
                                  QStringLiteral("Exit")}));
    EXPECT_TRUE(w.menuBar()->actions().contains(w.mainMenu()->menuAction()));

    // The bundled segment fonts are loaded and used; the message is monospaced.
    ASSERT_FALSE(clockFonts().sevenSegmentFamily.isEmpty()) << "the DSEG7 font is not in the resources";
    ASSERT_FALSE(clockFonts().fourteenSegmentFamily.isEmpty()) << "the DSEG14 font is not in the resources";
    EXPECT_EQ(QFontInfo(child<QLabel>(w, "txtHR")->font()).family(), clockFonts().sevenSegmentFamily);
    EXPECT_EQ(QFontInfo(child<QLabel>(w, "txtAMPM")->font()).family(), clockFonts().fourteenSegmentFamily);
    EXPECT_TRUE(QFontInfo(child<QLabel>(w, "lblMessage")->font()).fixedPitch());
}

// The style sheet of the alarm controls is a resource set on the widget that
// holds them: it must reach them and nothing else, not the clock display
// (whose corners show the window's colour), nor dialogs the window opens.
TEST_F(FrmMainTest, TheStyleSheetReachesTheAlarmControlsOnly)
{
    auto window = makeWindow();
    FrmMain &w = *window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QColor windowColour(0xe6, 0xea, 0xef);

    auto *snooze = child<QPushButton>(w, "cmdSnooze");
    EXPECT_EQ(snooze->font().pixelSize(), 18) << "the style sheet did not reach Snooze";
    EXPECT_TRUE(snooze->font().bold());
    for (const char *styled : {"Frame2", "alarmTimeBox", "txtAlHr", "Command6", "chkSet", "Command8", "cmdSnooze"})
        EXPECT_NE(child(w, styled)->style(), QApplication::style()) << styled;
    for (const char *plain : {"centralWidget", "picDisplay", "txtHR", "lblMessage"})
        EXPECT_EQ(child(w, plain)->style(), QApplication::style()) << plain;

    QWidget *display = child(w, "picDisplay");
    EXPECT_EQ(display->palette().color(QPalette::Window), windowColour);
    EXPECT_EQ(display->grab().toImage().pixelColor(0, 0), windowColour) << "the display's corner";
    QPalette other = w.palette();
    other.setColor(QPalette::Window, Qt::darkCyan);
    w.setPalette(other);
    EXPECT_EQ(display->grab().toImage().pixelColor(0, 0), QColor(Qt::darkCyan)) << "the corner kept the old colour";

    FrmOptions *dialog = w.showOptions(false);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->btnAdd->style(), QApplication::style()) << "the dialog took the window's style sheet";
    dialog->close();
}

TEST_F(FrmMainTest, StartUpShowsTheClockAndTheStoredAlarmDisarmed)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow();
    fakes.clock->time = QDateTime(QDate(2024, 3, 5), QTime(0, 5, 9));
    window->startUp();

    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->frmUp());
    EXPECT_EQ(text(*window, "txtHR"), QStringLiteral("12"));
    EXPECT_EQ(text(*window, "txtMin"), QStringLiteral("05"));
    EXPECT_EQ(text(*window, "txtSec"), QStringLiteral("09"));
    EXPECT_EQ(text(*window, "txtAMPM"), QStringLiteral("AM"));
    EXPECT_EQ(text(*window, "txtAlHr") + text(*window, "txtAlMin") + text(*window, "txtAlAMPM"),
              QStringLiteral("705PM"));
    EXPECT_EQ(window->alarm().editField(), 1);
    EXPECT_TRUE(child(*window, "txtAlHr")->property("selected").toBool()) << "the hour field is marked";
    EXPECT_FALSE(child<QPushButton>(*window, "chkSet")->isChecked());
    EXPECT_EQ(window->alarm().state(), AlarmState::Disarmed);
    EXPECT_EQ(text(*window, "lblMessage"), QStringLiteral("Rise and shine"));
    EXPECT_TRUE(child(*window, "lblMessage")->isHidden());
    EXPECT_TRUE(fakes.flash->isActive());
    EXPECT_FALSE(fakes.nap->isActive());
    EXPECT_FALSE(window->notifyIcon().isShown());
}

TEST_F(FrmMainTest, StartsInTheNotificationAreaWhenAskedOrMinimisedWithoutOne)
{
    QStringList lines = kSevenFivePm;
    lines[7] = QStringLiteral("1");
    writeSettings(folder.path(), lines);

    auto window = makeWindow(true);
    window->startUp();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->frmUp());
    EXPECT_TRUE(window->notifyIcon().isShown());
    EXPECT_EQ(window->notifyIcon().toolTip(), QStringLiteral("Alarm time : 7:05PM OFF "));
    EXPECT_EQ(window->trayIconData().cbSize, 88u);
    EXPECT_FALSE(window->alarm().armed());

    auto noTray = makeWindow(false);
    noTray->startUp();
    EXPECT_TRUE(noTray->isVisible()) << "without a notification area the window must stay reachable";
    EXPECT_TRUE(noTray->isMinimized());
    EXPECT_FALSE(noTray->notifyIcon().isShown());
}

TEST_F(FrmMainTest, FocusGoesBackToSnoozeAndTheSpaceBarSnoozes)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow();
    FrmMain &w = *window;
    w.startUp();
    activate(w);
    auto *snooze = child<QPushButton>(w, "cmdSnooze");
    EXPECT_EQ(QApplication::focusWidget(), snooze);

    // Pick the minutes, step them up, arm: the focus comes back each time.
    QTest::mouseClick(child(w, "txtAlMin"), Qt::LeftButton);
    EXPECT_EQ(w.alarm().editField(), 2);
    EXPECT_TRUE(child(w, "txtAlMin")->property("selected").toBool());
    EXPECT_FALSE(child(w, "txtAlHr")->property("selected").toBool());
    QTest::mouseClick(child(w, "Command6"), Qt::LeftButton);
    EXPECT_EQ(text(w, "txtAlMin"), QStringLiteral("06"));
    EXPECT_EQ(QApplication::focusWidget(), snooze);
    QTest::mouseClick(child(w, "Command7"), Qt::LeftButton);
    QTest::mouseClick(child(w, "Command7"), Qt::LeftButton);
    EXPECT_EQ(text(w, "txtAlMin"), QStringLiteral("04"));
    QTest::mouseClick(child(w, "txtAlAMPM"), Qt::LeftButton);
    QTest::mouseClick(child(w, "Command6"), Qt::LeftButton);
    QTest::mouseClick(child(w, "Command6"), Qt::LeftButton);
    EXPECT_EQ(text(w, "txtAlAMPM"), QStringLiteral("PM"));
    EXPECT_EQ(QApplication::focusWidget(), snooze);

    QTest::mouseClick(child(w, "chkSet"), Qt::LeftButton);
    EXPECT_TRUE(child<QPushButton>(w, "chkSet")->isChecked());
    EXPECT_EQ(text(w, "chkSet"), QStringLiteral("ON"));
    EXPECT_TRUE(child(w, "picAl")->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), snooze);

    QSignalSpy options(&w, &FrmMain::optionsRequested);
    QTest::mouseClick(child(w, "Command8"), Qt::LeftButton);
    ASSERT_EQ(options.size(), 1);
    EXPECT_TRUE(options.at(0).at(0).toBool()) << "the button asks for the dialog modally";
    EXPECT_EQ(QApplication::focusWidget(), snooze);

    // The alarm fires at 7:04:00 PM; the space bar, wherever the user last
    // clicked, silences it and leaves the message up.
    fakes.secondAt(19, 4, 0);
    ASSERT_TRUE(fakes.player->playing);
    EXPECT_TRUE(child(w, "lblMessage")->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(fakes.player->playing);
    EXPECT_EQ(fakes.player->stops, 1);
    EXPECT_TRUE(child(w, "lblMessage")->isVisible());
    EXPECT_EQ(w.alarm().state(), AlarmState::Quiet);

    // Disarming with the toggle ends it for good.
    QTest::mouseClick(child(w, "chkSet"), Qt::LeftButton);
    EXPECT_EQ(text(w, "chkSet"), QStringLiteral("Set"));
    EXPECT_TRUE(child(w, "lblMessage")->isHidden());
    EXPECT_TRUE(child(w, "picAl")->isHidden());
    EXPECT_FALSE(fakes.nap->isActive());
}

TEST_F(FrmMainTest, CloseBoxHidesToTheTrayAndTheIconBringsItBack)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow(true);
    FrmMain &w = *window;
    w.startUp();
    w.alarm().arm();

    EXPECT_FALSE(w.close()) << "the close box does not end the program";
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.frmUp());
    EXPECT_FALSE(w.unloaded());
    ASSERT_TRUE(w.notifyIcon().isShown());
    EXPECT_EQ(w.notifyIcon().toolTip(), QStringLiteral("Alarm time : 7:05PM ON "));

    // Right button: the menu pops up, the window stays hidden.
    QSystemTrayIcon &icon = w.notifyIcon().trayIcon();
    emit icon.activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(w.mainMenu()->isVisible());
    w.mainMenu()->hide();
    EXPECT_FALSE(w.isVisible());
    emit icon.activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(w.isVisible());

    // Left button: back, and the icon is gone.
    emit icon.activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.frmUp());
    EXPECT_FALSE(w.notifyIcon().isShown());

    // Double click, and the menu's "Open", bring it back as well.
    w.close();
    emit icon.activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
    w.close();
    action(w, "mnuOpen")->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.notifyIcon().isShown());

    // The alarm firing brings a hidden window back.
    w.close();
    fakes.secondAt(19, 5, 0);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.frmUp());
    EXPECT_TRUE(fakes.player->playing);
}

TEST_F(FrmMainTest, CloseBoxMinimisesWhereTheDesktopHasNoNotificationArea)
{
    auto window = makeWindow(false);
    FrmMain &w = *window;
    w.startUp();

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
    EXPECT_FALSE(w.frmUp());
    EXPECT_FALSE(w.unloaded());

    // Restored from the taskbar, the window counts as up again.
    w.showNormal();
    EXPECT_TRUE(w.frmUp());
}

TEST_F(FrmMainTest, ExitSavesTheSettingsRemovesTheIconAndEndsOnce)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow(true);
    FrmMain &w = *window;
    w.startUp();
    QTest::mouseClick(child(w, "Command6"), Qt::LeftButton); // hour 7 -> 8
    w.settings().snoozeMinutes = 12;
    w.close();
    ASSERT_TRUE(w.notifyIcon().isShown());

    QSignalSpy exits(&w, &FrmMain::exitRequested);
    action(w, "mnuExit")->trigger();
    EXPECT_EQ(exits.size(), 1);
    EXPECT_TRUE(w.unloaded());
    EXPECT_FALSE(w.notifyIcon().isShown());

    const QString path = QDir(folder.path()).filePath(QStringLiteral("Kestrum.conf"));
    const QStringList lines = readLines(path);
    ASSERT_EQ(lines.size(), 10) << qPrintable(lines.join(u'|'));
    EXPECT_EQ(lines[0], QStringLiteral("8,05,PM"));
    EXPECT_EQ(lines[1], QStringLiteral("12"));
    EXPECT_EQ(lines[8], QStringLiteral("Rise and shine"));
    EXPECT_EQ(lines[9], QDir(folder.path()).filePath(QStringLiteral("Zorvin.mp3")) + QStringLiteral(",Zorvin"));

    // Unloading again (the program's quit after Exit) writes nothing more.
    QFile::remove(path);
    w.unload();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(w.close()) << "an unloaded window may close";
}

TEST_F(FrmMainTest, SettingsThatCannotBeSavedAreShownAtExitWithTheReason)
{
    // A folder where Kestrum.conf should be: read as missing, never replaced.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Kestrum.conf")));
    FrmMainParts parts = fakes.make(folder.path());
    QStringList warnings;
    parts.showWarning = [&](const QString &text) { warnings << text; };
    FrmMain w(std::move(parts));
    w.notifyIcon().setDesktopHasTray([] { return true; });
    w.startUp();
    QSignalSpy exits(&w, &FrmMain::exitRequested);
    action(w, "mnuExit")->trigger();
    EXPECT_EQ(exits.size(), 1) << "the program still ends";
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("could not be saved"))) << qPrintable(warnings[0]);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("not a regular file"))) << qPrintable(warnings[0]);
    EXPECT_TRUE(warnings[0].contains(w.settingsPath())) << qPrintable(warnings[0]);
    EXPECT_EQ(w.saveFailure().isEmpty(), false);
    EXPECT_TRUE(QFileInfo(w.settingsPath()).isDir());
}

TEST_F(FrmMainTest, MissingOrBadSettingsGiveTheDesignValuesAndLoseNothingAtExit)
{
    {
        auto window = makeWindow();
        window->startUp();
        EXPECT_EQ(text(*window, "txtAlHr") + text(*window, "txtAlMin") + text(*window, "txtAlAMPM"),
                  QStringLiteral("101AM"));
        window->unload();
        const QStringList lines = readLines(window->settingsPath());
        ASSERT_EQ(lines.size(), 10);
        EXPECT_EQ(lines.mid(0, 9), (QStringList{QStringLiteral("1,01,AM"), QStringLiteral("10"), QStringLiteral("0"),
                                                QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                                                QStringLiteral("0"), QStringLiteral("0"),
                                                QStringLiteral("Wakie, Wakie !")}));
    }
    {
        // A minute without its leading zero is read as what it says.
        QStringList lines = kSevenFivePm;
        lines[0] = QStringLiteral("7,5,PM");
        writeSettings(folder.path(), lines);
        auto window = makeWindow();
        window->startUp();
        EXPECT_EQ(text(*window, "txtAlHr") + text(*window, "txtAlMin") + text(*window, "txtAlAMPM"),
                  QStringLiteral("705PM"));
        EXPECT_TRUE(window->notice().isEmpty());
        window->alarm().arm();
        fakes.secondAt(19, 5, 0);
        EXPECT_TRUE(fakes.player->playing) << "the alarm of the line 7,5,PM did not ring at 7:05 PM";
        window->unload();
        EXPECT_EQ(readLines(window->settingsPath()).value(0), QStringLiteral("7,05,PM"));
    }
    {
        // A line that holds no time: the design time, and the window says
        // so; the line stays in the file until the user sets a time.
        QStringList lines = kSevenFivePm;
        lines[0] = QStringLiteral("7,61,PM");
        writeSettings(folder.path(), lines);
        auto window = makeWindow();
        window->startUp();
        EXPECT_EQ(text(*window, "txtAlHr") + text(*window, "txtAlMin") + text(*window, "txtAlAMPM"),
                  QStringLiteral("101AM"));
        EXPECT_TRUE(window->notice().contains(QStringLiteral("\"7,61,PM\""))) << qPrintable(window->notice());
        EXPECT_TRUE(child(*window, "lblNotice")->isVisible());
        window->unload();
        EXPECT_EQ(readLines(window->settingsPath()).value(0), QStringLiteral("7,61,PM"));

        auto again = makeWindow();
        again->startUp();
        QTest::mouseClick(child(*again, "Command6"), Qt::LeftButton);
        again->unload();
        EXPECT_EQ(readLines(again->settingsPath()).value(0), QStringLiteral("2,01,AM"));
    }
}

TEST_F(FrmMainTest, RealTimersBlinkTheSeparatorAndRefreshTheClockEverySecond)
{
    FrmMainParts parts = fakes.make(folder.path());
    parts.tmrFlash.reset(); // the window's own timers
    parts.tmrNap.reset();
    FrmMain window(std::move(parts));
    window.startUp();
    fakes.clock->time = QDateTime(QDate(2024, 3, 5), QTime(21, 41, 7));

    auto *separator = child<QLabel>(window, "lblFlash");
    QStringList separators;
    EXPECT_TRUE(waitUntil(
        [&] {
            if (separators.isEmpty() || separators.last() != separator->text())
                separators << separator->text();
            return text(window, "txtSec") == QStringLiteral("07") && separators.size() >= 3;
        },
        3000));
    EXPECT_EQ(text(window, "txtHR"), QStringLiteral("9"));
    EXPECT_EQ(text(window, "txtMin"), QStringLiteral("41"));
    EXPECT_EQ(text(window, "txtAMPM"), QStringLiteral("PM"));
    EXPECT_TRUE(separators.contains(QStringLiteral(" ")));
    EXPECT_TRUE(separators.contains(QStringLiteral(":")));
}

// A ringing alarm can always be snoozed: from the icon's menu, and from the
// main window while a modal options dialog is open; the window comes to the
// front when the alarm fires.
TEST_F(FrmMainTest, ARingingAlarmSnoozesFromTheMenuAndPastAModalDialog)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow();
    FrmMain &w = *window;
    w.startUp();
    activate(w);
    const auto menuItems = [&] {
        QStringList items;
        for (QAction *item : w.mainMenu()->actions())
            items << (item->isSeparator() ? QStringLiteral("-") : item->text());
        return items;
    };
    const QStringList quiet = menuItems();

    w.alarm().arm();
    fakes.secondAt(19, 5, 0);
    ASSERT_TRUE(fakes.player->playing);
    EXPECT_TRUE(fakes.notifier->shown);
    EXPECT_EQ(menuItems(), (QStringList{QStringLiteral("Snooze"), QStringLiteral("-")} + quiet));
    action(w, "mnuSnooze")->trigger();
    EXPECT_FALSE(fakes.player->playing);
    EXPECT_EQ(w.alarm().state(), AlarmState::Quiet);
    EXPECT_EQ(menuItems(), quiet);
    EXPECT_FALSE(fakes.notifier->shown);

    // The modal "Options" is open when the snooze replay comes.
    auto *snooze = child<QPushButton>(w, "cmdSnooze");
    const QPoint onSnooze = snooze->mapTo(&w, snooze->rect().center());
    bool blockedAfter = true;
    QTimer::singleShot(0, &w, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr) << "the options dialog is not modal";
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        EXPECT_TRUE(fakes.player->playing) << "no replay";
        blockedAfter = QApplication::activeModalWidget() != nullptr;
        EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
        QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, onSnooze);
        EXPECT_FALSE(fakes.player->playing) << "Snooze on the main window did not reach the alarm";
        // Another replay, and the space bar in the dialog's message field snoozes too.
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        fakes.nap->fire();
        ASSERT_TRUE(fakes.player->playing);
        auto *message = dialog->findChild<QLineEdit *>(QStringLiteral("txtMessage"));
        ASSERT_NE(message, nullptr);
        const QString before = message->text();
        QTest::keyClick(message, Qt::Key_Space);
        EXPECT_FALSE(fakes.player->playing);
        EXPECT_EQ(message->text(), before);
        // While nothing rings, the space bar types again.
        QTest::keyClick(message, Qt::Key_Space);
        EXPECT_EQ(message->text(), before + u' ');
        dialog->close();
    });
    w.showOptions(true);
    EXPECT_FALSE(blockedAfter) << "the modal dialog still blocks the main window";
    EXPECT_EQ(runningModalDialogs(), 0);
    EXPECT_GE(fakes.player->stops, 3);
}

TEST_F(FrmMainTest, TheFireBringsAnOpenWindowToTheFront)
{
    writeSettings(folder.path(), kSevenFivePm);
    auto window = makeWindow();
    FrmMain &w = *window;
    w.startUp();
    w.alarm().arm();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    fakes.secondAt(19, 5, 0);
    EXPECT_TRUE(waitUntil([&] { return w.isActiveWindow(); }, 2000));
    EXPECT_EQ(QApplication::focusWidget(), child(w, "cmdSnooze"));
}

// With no player to create, no tune can play: the window says so at start,
// and so does a desktop notification.
TEST_F(FrmMainTest, TheStartSaysWhenNoTuneCanPlay)
{
    platform::setRegistryLocation(folder.filePath(QStringLiteral("registry.ini")),
                                  folder.filePath(QStringLiteral("autostart")));
    writeSettings(folder.path(), kSevenFivePm);
    auto window = std::make_unique<FrmMain>(fakes.make(folder.path(), /*realPlayer=*/true));
    window->notifyIcon().setDesktopHasTray([] { return true; });
    window->startUp();
    EXPECT_TRUE(window->notice().startsWith(QStringLiteral("No tune can play"))) << qPrintable(window->notice());
    EXPECT_EQ(fakes.notifier->notices, QStringList{window->notice()});
    platform::restoreDefaultRegistryLocation();
}

}  // namespace
