// The options window, offscreen: its controls and texts, the keyboard, and
// one preview on the real player control (created by ProgID from the library
// built here, heard through SDL's disk driver). Each test runs in a process
// of its own (gtest_discover_tests), so the environment set here belongs to it.
#include "FrmOptions.h"

#include "FrmMain.h"
#include "WindowFakes.h"

#include "ControlHost.h"
#include "QtAdapters.h"
#include "Registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace kestrum;

namespace {

class ChosenFile : public FileDialog {
public:
    QString answer;
    void ShowOpen() override { FileName = answer; }
};

class FrmOptionsTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    AlarmSettings settings;
    kestrum::testing::FakePlayer *player = nullptr;
    ChosenFile *files = nullptr;

    void SetUp() override
    {
        // The per-user registry store and the autostart folder live here.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
        settings.snoozeMinutes = 10;
        settings.alarmMessage = QStringLiteral("Wakie, Wakie !");
        settings.tunes[0] = QStringLiteral("/music/A.mp3,A");
        settings.tunes[1] = QStringLiteral("/music/B.mp3,B");
        settings.tuneCount = 2;
        settings.nextTuneIndex = 1;
    }

    std::unique_ptr<FrmOptions> openWithFakes()
    {
        auto ownPlayer = std::make_unique<kestrum::testing::FakePlayer>();
        auto ownFiles = std::make_unique<ChosenFile>();
        player = ownPlayer.get();
        files = ownFiles.get();
        auto dialog = std::make_unique<FrmOptions>(settings, std::move(ownPlayer), std::move(ownFiles),
                                                   folder.filePath(QStringLiteral("program")));
        dialog->show();
        return dialog;
    }
    QString autostartEntry() const { return folder.filePath(QStringLiteral("config/autostart/Kestrum.desktop")); }
    static QStringList rows(const QListWidget *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
};

TEST_F(FrmOptionsTest, ShowsEveryControlWithItsText)
{
    auto dialog = openWithFakes();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(dialog->btnAdd->text(), QStringLiteral("Add"));
    EXPECT_EQ(dialog->btnRemove->text(), QStringLiteral("Remove"));
    EXPECT_EQ(dialog->chkPlay->text(), QStringLiteral("Play Preview"));
    EXPECT_TRUE(dialog->chkPlay->isCheckable());
    EXPECT_EQ(dialog->Label2->text(), QStringLiteral("Wake up to tune"));
    EXPECT_EQ(dialog->cboOrder->count(), 2);
    EXPECT_EQ(dialog->cboOrder->itemText(0), QStringLiteral("Selected tune"));
    EXPECT_EQ(dialog->cboOrder->itemText(1), QStringLiteral("Next New tune on every alarm!"));
    EXPECT_EQ(dialog->chkRepeat->text(), QStringLiteral("Repeat till you hit Snooze or Un-Set Alarm"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("Snooze Interval :"));
    EXPECT_EQ(dialog->Label7->text(), QStringLiteral("mins."));
    EXPECT_EQ(dialog->Label6->text(), QStringLiteral(" Set to '0'  for no snooze."));
    EXPECT_EQ(dialog->Label3->text(), QStringLiteral("Message :"));
    EXPECT_EQ(dialog->chkWin->text(), QStringLiteral("Start at login"));
    EXPECT_EQ(dialog->chkTray->text(), QStringLiteral("Start minimized in tray"));
    EXPECT_EQ(dialog->Label8->text(),
              QStringLiteral("Tip: Hit space bar when Kestrum wakes up from tray to snooze"));
    EXPECT_EQ(dialog->Command4->text(), QStringLiteral("Okay"));
    EXPECT_EQ(dialog->txtMessage->maxLength(), 30);
    EXPECT_EQ(dialog->txtInterval->text(), QStringLiteral("10"));
    EXPECT_EQ(dialog->txtMessage->text(), QStringLiteral("Wakie, Wakie !"));
    EXPECT_EQ(rows(dialog->lstMidi), (QStringList{"A", "B"}));
    EXPECT_EQ(dialog->lstMidi->currentRow(), 1);
    EXPECT_TRUE(dialog->btnRemove->isEnabled());
}

TEST_F(FrmOptionsTest, TheKeyboardEditsTheFieldsAndOkayTakesThemOver)
{
    auto dialog = openWithFakes();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    dialog->txtInterval->setFocus();
    dialog->txtInterval->selectAll();
    QTest::keyClicks(dialog->txtInterval, QStringLiteral("abc"));
    QTest::keyClick(dialog->txtInterval, Qt::Key_Tab); // the focus leaves the field
    EXPECT_EQ(dialog->txtInterval->text(), QStringLiteral("10"));

    dialog->txtMessage->setFocus();
    dialog->txtMessage->selectAll();
    QTest::keyClicks(dialog->txtMessage, QStringLiteral("Rise and shine, it is a lovely morning"));
    EXPECT_EQ(dialog->txtMessage->text().size(), 30);
    dialog->chkWin->click();
    dialog->cboOrder->setFocus();
    QTest::keyClick(dialog->cboOrder, Qt::Key_Down);
    EXPECT_EQ(dialog->cboOrder->currentIndex(), 1);

    QString shown;
    dialog->setMessageShown([&](const QString &text) { shown = text; });
    dialog->Command4->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.snoozeMinutes, 10);
    EXPECT_EQ(settings.playOrder, 1);
    EXPECT_EQ(settings.alarmMessage, QStringLiteral("Rise and shine, it is a lovely"));
    EXPECT_EQ(shown, settings.alarmMessage);
    EXPECT_EQ(settings.autoStart, 1);
    EXPECT_TRUE(QFile::exists(autostartEntry()));
}

TEST_F(FrmOptionsTest, EscapeClosesLikeTheCloseBoxKeepingOnlyTheListEdits)
{
    auto dialog = openWithFakes();
    files->answer = QStringLiteral("/music/Morning.mp3");
    dialog->btnAdd->click();
    EXPECT_EQ(rows(dialog->lstMidi), (QStringList{"A", "B", "Morning"}));
    EXPECT_EQ(dialog->lstMidi->currentRow(), 2);

    dialog->chkPlay->click(); // preview the new tune
    EXPECT_TRUE(dialog->chkPlay->isChecked());
    EXPECT_EQ(dialog->chkPlay->text(), QStringLiteral("Stop Preview"));
    EXPECT_FALSE(dialog->lstMidi->isEnabled());
    EXPECT_EQ(player->starts, 1);

    dialog->txtInterval->setText(QStringLiteral("25"));
    emit dialog->txtInterval->textEdited(QStringLiteral("25"));
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(player->playing); // the preview stopped
    EXPECT_EQ(settings.tuneCount, 3);
    EXPECT_EQ(settings.snoozeMinutes, 10);
    EXPECT_FALSE(QFile::exists(autostartEntry()));
}

TEST_F(FrmOptionsTest, FileDialogFiltersBecomeQtNameFilters)
{
    EXPECT_EQ(QtFileDialog::nameFilters(QStringLiteral("Audio (*.mp3)|*.mp3")), QStringList{"Audio (*.mp3)"});
    EXPECT_EQ(QtFileDialog::nameFilters(QStringLiteral("Songs|*.mp3;*.mp2|All files|*")),
              (QStringList{"Songs (*.mp3 *.mp2)", "All files (*)"}));
}

// A whole preview on the real player: the tune plays to its end, and the
// toggle lets go by itself.
TEST_F(FrmOptionsTest, APreviewOnTheRealPlayerReleasesTheToggleWhenTheTuneEnds)
{
    ASSERT_NO_FATAL_FAILURE(kestrum::testing::registerControls(QStringLiteral(TARNEL_LIBRARY_PATH)));
    const QString heard = folder.filePath(QStringLiteral("heard.raw"));
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", QFile::encodeName(heard).constData(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "2", 1);

    platform::ControlHost host;
    auto files = std::make_unique<ChosenFile>();
    files->answer = QStringLiteral(TEST_TUNE_PATH);
    FrmOptions dialog(settings, ControlPlayer::create(host, nullptr, nullptr), std::move(files),
                      folder.filePath(QStringLiteral("program")));
    dialog.show();
    dialog.btnAdd->click();
    ASSERT_EQ(dialog.lstMidi->currentRow(), 2);
    dialog.chkPlay->click();
    ASSERT_TRUE(dialog.chkPlay->isChecked()) << "the preview did not start";
    EXPECT_EQ(settings.alarmTune, QStringLiteral(TEST_TUNE_PATH));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.chkPlay->isChecked(); }, 10000));
    EXPECT_EQ(dialog.chkPlay->text(), QStringLiteral("Play Preview"));
    EXPECT_TRUE(dialog.lstMidi->isEnabled());
    EXPECT_FALSE(dialog.logic().previewing);
    // The tone reached the device: well over a second of samples that are
    // not silence (32-bit floats).
    QFile output(heard);
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    const QByteArray bytes = output.readAll();
    qsizetype sounding = 0;
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4) {
        float sample = 0;
        std::memcpy(&sample, bytes.constData() + i, 4);
        if (std::fabs(sample) > 1e-3f)
            ++sounding;
    }
    EXPECT_GT(sounding, 2 * 44100);

    // The interval check and "Okay" on the same window.
    dialog.txtInterval->setText(QStringLiteral("abc"));
    emit dialog.txtInterval->textEdited(QStringLiteral("abc"));
    dialog.chkWin->setChecked(true);
    dialog.Command4->click();
    EXPECT_EQ(dialog.txtInterval->text(), QStringLiteral("10"));
    QFile entry(autostartEntry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("Exec="));
}

// The main window opens the dialog modeless from its menu, as often as the
// user asks, and modally from its button; all edit the window's settings.
TEST_F(FrmOptionsTest, TheMainWindowOpensDialogsThatShareItsSettings)
{
    kestrum::testing::FakeParts fakes;
    const QString program = folder.filePath(QStringLiteral("program"));
    ASSERT_TRUE(QDir().mkpath(program));
    kestrum::testing::writeSettings(program, {"7,05,AM", "5", "0", "0", "0", "0", "0", "0", "Rise and shine",
                                              "/music/A.mp3,A"});
    FrmMain window(fakes.make(program));
    window.notifyIcon().setDesktopHasTray([] { return true; });
    window.startUp();

    QPointer<FrmOptions> first = window.showOptions(false);
    QPointer<FrmOptions> second = window.showOptions(false);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->isVisible() && second->isVisible());
    first->logic().addTune(QStringLiteral("/music/B.mp3"));
    second->logic().addTune(QStringLiteral("/music/C.mp3"));
    EXPECT_EQ(window.settings().tuneCount, 3);
    EXPECT_EQ(window.settings().tunes[2], QStringLiteral("/music/C.mp3,C"));

    // No player could be created here (nothing is registered): the preview
    // says so and nothing breaks.
    QTimer::singleShot(0, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    first->lstMidi->setCurrentRow(0);
    first->chkPlay->click();
    EXPECT_FALSE(first->chkPlay->isChecked());

    first->txtMessage->setText(QStringLiteral("Up you get"));
    emit first->txtMessage->textEdited(QStringLiteral("Up you get"));
    first->Command4->click();
    EXPECT_EQ(window.settings().alarmMessage, QStringLiteral("Up you get"));
    EXPECT_EQ(window.findChild<QLabel *>(QStringLiteral("lblMessage"))->text(), QStringLiteral("Up you get"));
    QTest::keyClick(second.data(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull() && second.isNull(); }, 2000));

    // Modal: returns once the dialog is closed.
    bool closed = false;
    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<FrmOptions *>(QApplication::activeModalWidget())) {
            closed = true;
            dialog->close();
        }
    });
    EXPECT_EQ(window.showOptions(true), nullptr);
    EXPECT_TRUE(closed);
    EXPECT_EQ(window.settings().tuneCount, 3);
}

// The section "Waking": the fade-in and the late-alarm limit, as the wake
// settings hold them; "Okay" takes the edits over.
TEST_F(FrmOptionsTest, TheWakingSectionShowsAndTakesOverTheWakeSettings)
{
    WakeSettings wake;
    wake.fadeInSeconds = 12;
    auto dialog = openWithFakes();
    dialog->setWakeSettings(&wake);
    EXPECT_EQ(dialog->wakeBox->title(), QStringLiteral("Waking"));
    EXPECT_EQ(dialog->spnFadeIn->value(), 12);
    EXPECT_EQ(dialog->spnLateLimit->value(), 60);
    EXPECT_EQ(dialog->spnFadeIn->maximum(), WakeSettings::kLongestFadeIn);
    EXPECT_EQ(dialog->spnLateLimit->maximum(), WakeSettings::kLongestLateLimit);
    dialog->spnFadeIn->setValue(20);
    dialog->spnLateLimit->setValue(0);
    dialog->Command4->click();
    EXPECT_EQ(wake.fadeInSeconds, 20);
    EXPECT_EQ(wake.lateLimitMinutes, 0);
}

// A file that the real player takes without a word but does not play: the
// preview says so, and the toggle and the list are free again.
TEST_F(FrmOptionsTest, APreviewOfAFileThatIsNoMp3OnTheRealPlayerSaysSoAndLetsGo)
{
    ASSERT_NO_FATAL_FAILURE(kestrum::testing::registerControls(QStringLiteral(TARNEL_LIBRARY_PATH)));
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", QFile::encodeName(folder.filePath(QStringLiteral("heard.raw"))).constData(), 1);

    const QString notMusic = folder.filePath(QStringLiteral("Notes.mp3"));
    QFile file(notMusic);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();

    platform::ControlHost host;
    auto files = std::make_unique<ChosenFile>();
    files->answer = notMusic;
    FrmOptions dialog(settings, ControlPlayer::create(host, nullptr, nullptr), std::move(files),
                      folder.filePath(QStringLiteral("program")));
    dialog.show();
    dialog.btnAdd->click();
    QString said;
    QTimer::singleShot(0, &dialog, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            said = box->text();
            box->accept();
        }
    });
    dialog.chkPlay->click();
    EXPECT_TRUE(said.contains(notMusic)) << qPrintable(said);
    EXPECT_FALSE(dialog.chkPlay->isChecked());
    EXPECT_EQ(dialog.chkPlay->text(), QStringLiteral("Play Preview"));
    EXPECT_TRUE(dialog.lstMidi->isEnabled());
    EXPECT_FALSE(dialog.logic().previewing);
}

} // namespace
