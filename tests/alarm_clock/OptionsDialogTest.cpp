#include "OptionsDialog.h"

#include "LogicFakes.h"

#include "Registry.h"
#include "RegistryValues.h"
#include "WakeSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>


namespace kestrum {
namespace {

// Answers ShowOpen with the next scripted file ("" cancels) and records the
// properties as they stood when it opened.
class ScriptedFileDialog : public FileDialog {
public:
    QStringList answers;
    QStringList seen;
    void ShowOpen() override
    {
        seen << QStringLiteral("%1|%2|%3|%4").arg(FileName, Filter, DefaultExt, DialogTitle);
        FileName = answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

class OptionsDialogTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    AlarmSettings settings;
    testing::FakePlayer mpp;
    ScriptedFileDialog cd1;
    QStringList errors;

    void SetUp() override
    {
        platform::setRegistryLocation(folder.filePath(QStringLiteral("registry.ini")),
                                      folder.filePath(QStringLiteral("autostart")));
        settings.snoozeMinutes = 10;
        settings.alarmMessage = QStringLiteral("Wakie, Wakie !");
        setTunes({QStringLiteral("/music/A.mp3,A")});
    }
    void TearDown() override { platform::restoreDefaultRegistryLocation(); }

    void setTunes(const QStringList &entries)
    {
        for (auto &slot : settings.tunes)
            slot.clear();
        for (int i = 0; i < entries.size(); ++i)
            settings.tunes[static_cast<std::size_t>(i)] = entries[i];
        settings.tuneCount = static_cast<std::int16_t>(entries.size());
    }
    QStringList tunes() const
    {
        QStringList list;
        for (int i = 0; i < settings.tuneCount; ++i)
            list << settings.tunes[static_cast<std::size_t>(i)];
        return list;
    }
    std::unique_ptr<OptionsDialog> open()
    {
        auto dialog = std::make_unique<OptionsDialog>(settings, mpp, cd1, QStringLiteral("/opt/kestrum"));
        dialog->showError = [this](const QString &text) { errors << text; };
        dialog->load();
        return dialog;
    }
    QString autostartFile() const { return folder.filePath(QStringLiteral("autostart/Kestrum.desktop")); }
};

TEST_F(OptionsDialogTest, LoadShowsTheSettingsAndTheRowOfTheNextTune)
{
    setTunes({QStringLiteral("/music/A.mp3,A"), QStringLiteral("/music/B.mp3,Bee,extra"),
              QStringLiteral("/music/NoName.mp3"), QStringLiteral("/music/D.mp3,D")});
    settings.snoozeMinutes = 7;
    settings.playOrder = 1;
    settings.repeatTune = 1;
    settings.autoStart = 0;
    settings.startInTray = 1;
    settings.nextTuneIndex = 2;
    settings.selectedTuneIndex = 9;
    auto dialog = open();
    EXPECT_EQ(dialog->txtInterval, QStringLiteral("7"));
    EXPECT_EQ(dialog->cboOrder, 1);
    EXPECT_EQ(dialog->txtMessage, QStringLiteral("Wakie, Wakie !"));
    EXPECT_TRUE(dialog->chkRepeat);
    EXPECT_FALSE(dialog->chkWin);
    EXPECT_TRUE(dialog->chkTray);
    EXPECT_EQ(dialog->lstMidi, (QStringList{"A", "Bee", "/music/NoName.mp3", "D"}));
    EXPECT_EQ(dialog->selectedRow, 2);
    EXPECT_EQ(settings.selectedTuneIndex, 3); // past the list: the last tune
    EXPECT_TRUE(dialog->addEnabled);
    EXPECT_TRUE(dialog->removeEnabled);
    EXPECT_EQ(dialog->chkPlayCaption, QStringLiteral("Play Preview"));

    settings.selectedTuneIndex = -4;
    settings.nextTuneIndex = 40; // outside the list: the first row
    dialog = open();
    EXPECT_EQ(settings.selectedTuneIndex, 3);
    EXPECT_EQ(dialog->selectedRow, 0);
}

TEST_F(OptionsDialogTest, AddAndRemoveAreEnabledByTheSizeOfTheList)
{
    auto dialog = open(); // one tune
    EXPECT_TRUE(dialog->addEnabled);
    EXPECT_FALSE(dialog->removeEnabled);
    dialog->removeTune(0); // never fewer than one
    EXPECT_EQ(settings.tuneCount, 1);

    QStringList many;
    for (int i = 0; i < 99; ++i)
        many << QStringLiteral("/music/%1.mp3,%1").arg(i);
    setTunes(many);
    dialog = open();
    EXPECT_TRUE(dialog->addEnabled);
    dialog->addTune(QStringLiteral("/music/last.mp3"));
    EXPECT_EQ(settings.tuneCount, 100);
    EXPECT_FALSE(dialog->addEnabled);
    dialog->addTune(QStringLiteral("/music/more.mp3")); // the 101st is refused
    EXPECT_EQ(settings.tuneCount, 100);
    EXPECT_EQ(dialog->lstMidi.size(), 100);
    dialog->removeTune(5);
    EXPECT_TRUE(dialog->addEnabled);
}

TEST_F(OptionsDialogTest, AddTuneNamesTheFileAfterItsFolderWithoutItsExtension)
{
    auto dialog = open();
    dialog->addTune(QStringLiteral("C:\\Music\\Morning.mp3"));
    EXPECT_EQ(settings.tunes[1], QStringLiteral("C:\\Music\\Morning.mp3,Morning"));
    ASSERT_FALSE(dialog->lstMidi.isEmpty());
    EXPECT_EQ(dialog->lstMidi.last(), QStringLiteral("Morning"));
    EXPECT_EQ(dialog->selectedRow, 1);
    dialog->addTune(QStringLiteral("/home/ann/Music/Sea Breeze.mp3"));
    EXPECT_EQ(settings.tunes[2], QStringLiteral("/home/ann/Music/Sea Breeze.mp3,Sea Breeze"));
    dialog->addTune(QStringLiteral("/music/a.mp")); // too short to lose four characters
    EXPECT_EQ(dialog->lstMidi.last(), QStringLiteral("a.mp"));
    dialog->addTune(QStringLiteral("/music/b.mp3"));
    EXPECT_EQ(dialog->lstMidi.last(), QStringLiteral("b"));
    dialog->addTune(QStringLiteral("C:\\Music\\Morning.mp3")); // the same file again is the user's choice
    EXPECT_EQ(settings.tuneCount, 6);
    EXPECT_EQ(dialog->selectedRow, 5);

    // The settings file could not keep these apart.
    dialog->addTune(QStringLiteral("/music/one, two.mp3"));
    dialog->addTune(QStringLiteral("/music/line\nbreak.mp3"));
    EXPECT_EQ(settings.tuneCount, 6);
    EXPECT_EQ(errors.size(), 2);
}

TEST_F(OptionsDialogTest, AddAsksTheFileDialogAndACancelAddsNothing)
{
    auto dialog = open();
    cd1.FileName = QStringLiteral("left over");
    cd1.answers = {QString(), QStringLiteral("/music/Chosen.mp3")};
    dialog->add();
    EXPECT_EQ(settings.tuneCount, 1);
    dialog->add();
    ASSERT_FALSE(tunes().isEmpty());
    EXPECT_EQ(tunes().last(), QStringLiteral("/music/Chosen.mp3,Chosen"));
    EXPECT_EQ(cd1.seen, QStringList(2, QStringLiteral("|Audio (*.mp3)|*.mp3|mp3|Select MP3")));
}

TEST_F(OptionsDialogTest, RemoveShiftsTheTunesAndSelectsTheRowBefore)
{
    setTunes({"/m/A.mp3,A", "/m/B.mp3,B", "/m/C.mp3,C", "/m/D.mp3,D"});
    auto dialog = open();
    dialog->selectedRow = 1;
    dialog->remove();
    EXPECT_EQ(tunes(), (QStringList{"/m/A.mp3,A", "/m/C.mp3,C", "/m/D.mp3,D"}));
    EXPECT_TRUE(settings.tunes[3].isEmpty());
    EXPECT_EQ(dialog->lstMidi, (QStringList{"A", "C", "D"}));
    EXPECT_EQ(dialog->selectedRow, 0);

    dialog->selectedRow = 0;
    dialog->remove();
    EXPECT_EQ(dialog->lstMidi, (QStringList{"C", "D"}));
    EXPECT_EQ(dialog->selectedRow, 0);
    dialog->remove();
    EXPECT_EQ(dialog->lstMidi, (QStringList{"D"}));
    EXPECT_FALSE(dialog->removeEnabled);
    dialog->remove();
    EXPECT_EQ(tunes(), (QStringList{"/m/D.mp3,D"}));
}

TEST_F(OptionsDialogTest, RemovingNeverLeavesTheNextArmingPastTheList)
{
    setTunes({"/m/A.mp3,A", "/m/B.mp3,B", "/m/C.mp3,C"});
    settings.nextTuneIndex = 2;
    settings.selectedTuneIndex = 2;
    auto dialog = open();
    dialog->removeTune(0);
    dialog->removeTune(0);
    dialog->unload(); // closed without "Okay"
    EXPECT_EQ(settings.tuneCount, 1);
    EXPECT_EQ(settings.nextTuneIndex, 0);
    EXPECT_EQ(settings.selectedTuneIndex, 0);
}

TEST_F(OptionsDialogTest, TwoOpenDialogsEditTheSameListWithoutLosingEntries)
{
    setTunes({"/m/A.mp3,A", "/m/B.mp3,B"});
    auto first = open();
    auto second = open();
    first->addTune(QStringLiteral("/m/C.mp3"));
    second->addTune(QStringLiteral("/m/D.mp3"));
    EXPECT_EQ(tunes(), (QStringList{"/m/A.mp3,A", "/m/B.mp3,B", "/m/C.mp3,C", "/m/D.mp3,D"}));
    EXPECT_EQ(second->lstMidi, (QStringList{"A", "B", "C", "D"}));
    // A row that the other dialog removed already is no longer there.
    first->removeTune(3);
    second->removeTune(3);
    EXPECT_EQ(tunes(), (QStringList{"/m/A.mp3,A", "/m/B.mp3,B", "/m/C.mp3,C"}));
}

TEST_F(OptionsDialogTest, PreviewPlaysTheSelectedTuneAndMakesItTheAlarmTune)
{
    setTunes({"/m/A.mp3,A", "/m/B.mp3,B"});
    auto dialog = open();
    dialog->selectedRow = -1;
    dialog->previewToggle();
    EXPECT_FALSE(dialog->chkPlay);
    EXPECT_TRUE(mpp.calls.isEmpty());

    dialog->selectedRow = 1;
    mpp.playing = true; // something of this player still sounds
    dialog->chkPlay = true;
    dialog->previewToggle();
    EXPECT_EQ(mpp.calls, (QStringList{"PlayStop", "Filename=/m/B.mp3", "PlayStart"}));
    EXPECT_TRUE(dialog->chkPlay);
    EXPECT_EQ(dialog->chkPlayCaption, QStringLiteral("Stop Preview"));
    EXPECT_FALSE(dialog->listEnabled);
    EXPECT_TRUE(dialog->previewing);
    EXPECT_EQ(settings.alarmTune, QStringLiteral("/m/B.mp3"));

    mpp.calls.clear();
    dialog->previewToggle();
    EXPECT_EQ(mpp.calls, QStringList{"PlayStop"});
    EXPECT_FALSE(dialog->chkPlay);
    EXPECT_EQ(dialog->chkPlayCaption, QStringLiteral("Play Preview"));
    EXPECT_TRUE(dialog->listEnabled);
    EXPECT_FALSE(dialog->previewing);
    EXPECT_EQ(settings.alarmTune, QStringLiteral("/m/B.mp3")); // stays until the next arming
}

TEST_F(OptionsDialogTest, TheEndOfThePreviewReleasesTheToggle)
{
    auto dialog = open();
    dialog->selectedRow = 0;
    int shown = 0;
    dialog->changed = [&] { ++shown; };
    dialog->previewToggle();
    mpp.finish();
    EXPECT_FALSE(dialog->chkPlay);
    EXPECT_EQ(dialog->chkPlayCaption, QStringLiteral("Play Preview"));
    EXPECT_TRUE(dialog->listEnabled);
    EXPECT_FALSE(dialog->previewing);
    EXPECT_GE(shown, 2);
    // The next click starts a new preview.
    dialog->previewToggle();
    EXPECT_TRUE(dialog->previewing);
}

// A file the player raises for, and one it takes without a word and then
// does not play (not MP3 audio, damaged): both are reported, and the toggle
// and the list are free again.
TEST_F(OptionsDialogTest, ATuneThatCannotPlayIsReportedAndReleasesTheToggle)
{
    QFile damaged(folder.filePath(QStringLiteral("Damaged.mp3")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not audio");
    damaged.close();
    setTunes({QStringLiteral("/music/A.mp3,A"), damaged.fileName() + QStringLiteral(",Damaged"),
              QStringLiteral("/music/Gone.mp3,Gone")});
    mpp.missing.insert(QStringLiteral("/music/A.mp3"));
    mpp.rejected = {damaged.fileName(), QStringLiteral("/music/Gone.mp3")};
    const struct {
        int row;
        const char *why;
    } cases[] = {{0, "File not found"}, {1, "not MP3 audio"}, {2, "The file is not there."}};
    for (const auto &c : cases) {
        errors.clear();
        auto dialog = open();
        dialog->selectedRow = c.row;
        dialog->previewToggle();
        ASSERT_EQ(errors.size(), 1) << c.row;
        EXPECT_TRUE(errors[0].contains(settings.tunes[static_cast<std::size_t>(c.row)].section(u',', 0, 0)));
        EXPECT_TRUE(errors[0].contains(QString::fromLatin1(c.why))) << qPrintable(errors[0]);
        EXPECT_FALSE(dialog->chkPlay);
        EXPECT_EQ(dialog->chkPlayCaption, QStringLiteral("Play Preview"));
        EXPECT_FALSE(dialog->previewing);
        EXPECT_TRUE(dialog->listEnabled);
    }
}

// The player control could not be created: every member raises.
class BrokenPlayer : public testing::FakePlayer {
public:
    static platform::DispatchError error()
    {
        return platform::DispatchError(429, QStringLiteral("ControlHost"), QStringLiteral("Not registered"));
    }
    void PlayStart() override { throw error(); }
    void PlayStop() override { throw error(); }
    bool IsPlaying() const override { throw error(); }
};

TEST_F(OptionsDialogTest, APlayerThatCannotBeCreatedNeverStopsTheDialog)
{
    BrokenPlayer broken;
    {
        OptionsDialog dialog(settings, broken, cd1, QStringLiteral("/opt/kestrum"));
        dialog.showError = [this](const QString &text) { errors << text; };
        dialog.load();
        dialog.selectedRow = 0;
        dialog.previewToggle();
        EXPECT_EQ(errors.size(), 1);
        EXPECT_FALSE(dialog.chkPlay);
        EXPECT_TRUE(dialog.listEnabled);
        EXPECT_NO_THROW(dialog.okay());
        EXPECT_NO_THROW(dialog.unload());
    }
}

TEST_F(OptionsDialogTest, TheIntervalMustBeANumberFrom0To99)
{
    auto dialog = open();
    for (const char *bad : {"abc", "", " ", "100", "-1", "99.5", "1e3", "inf", "nan", "12abc"}) {
        dialog->txtInterval = QString::fromLatin1(bad);
        dialog->intervalLostFocus();
        EXPECT_EQ(dialog->txtInterval, QStringLiteral("10")) << bad;
    }
    for (const char *good : {"0", "99", "12.5", " 7 ", "0.4"}) {
        dialog->txtInterval = QString::fromLatin1(good);
        dialog->intervalLostFocus();
        EXPECT_EQ(dialog->txtInterval, QString::fromLatin1(good)) << good;
    }
}

TEST_F(OptionsDialogTest, OkayAppliesTheFieldsAndRoundsHalvesToEven)
{
    struct Case {
        const char *text;
        int minutes;
    };
    for (const Case c : {Case{"12.5", 12}, Case{"13.5", 14}, Case{"0.5", 0}, Case{"98.6", 99}, Case{"abc", 10},
                         Case{"0", 0}}) {
        auto dialog = open();
        dialog->txtInterval = QString::fromLatin1(c.text);
        dialog->okay();
        EXPECT_EQ(settings.snoozeMinutes, c.minutes) << c.text;
    }

    setTunes({"/m/A.mp3,A", "/m/B.mp3,B", "/m/C.mp3,C"});
    auto dialog = open();
    QString shownMessage;
    dialog->messageChanged = [&](const QString &text) { shownMessage = text; };
    dialog->cboOrder = 1;
    dialog->chkRepeat = true;
    dialog->chkTray = true;
    dialog->txtMessage = QStringLiteral("Time to fly");
    dialog->selectedRow = 2;
    dialog->okay();
    EXPECT_EQ(settings.playOrder, 1);
    EXPECT_EQ(settings.repeatTune, 1);
    EXPECT_EQ(settings.startInTray, 1);
    EXPECT_EQ(settings.autoStart, 0);
    EXPECT_EQ(settings.alarmMessage, QStringLiteral("Time to fly"));
    EXPECT_EQ(shownMessage, QStringLiteral("Time to fly"));
    EXPECT_EQ(settings.selectedTuneIndex, 2);
    EXPECT_EQ(settings.nextTuneIndex, 2);
    EXPECT_EQ(mpp.calls.last(), QStringLiteral("PlayStop")); // unloaded
}

TEST_F(OptionsDialogTest, OkayWritesOrRemovesTheSessionStartEveryTime)
{
    auto dialog = open();
    dialog->chkWin = true;
    dialog->okay();
    EXPECT_EQ(settings.autoStart, 1);
    QFile entry(autostartFile());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("Exec=/opt/kestrum/Kestrum"));
    entry.close();

    // Removed by hand: the next "Okay" writes it again, changed or not.
    QFile::remove(autostartFile());
    open()->okay();
    EXPECT_TRUE(QFile::exists(autostartFile()));

    dialog = open();
    dialog->chkWin = false;
    dialog->okay();
    EXPECT_EQ(settings.autoStart, 0);
    EXPECT_FALSE(QFile::exists(autostartFile()));
    open()->okay(); // nothing to remove is no error
    EXPECT_FALSE(QFile::exists(autostartFile()));
}

TEST_F(OptionsDialogTest, ClosingWithoutOkayKeepsTheListButNotTheFields)
{
    auto dialog = open();
    dialog->addTune(QStringLiteral("/music/New.mp3"));
    dialog->txtInterval = QStringLiteral("25");
    dialog->cboOrder = 1;
    dialog->txtMessage = QStringLiteral("Changed");
    dialog->chkWin = true;
    dialog->unload();
    EXPECT_EQ(settings.tuneCount, 2);
    EXPECT_EQ(settings.snoozeMinutes, 10);
    EXPECT_EQ(settings.playOrder, 0);
    EXPECT_EQ(settings.alarmMessage, QStringLiteral("Wakie, Wakie !"));
    EXPECT_EQ(settings.autoStart, 0);
    EXPECT_FALSE(QFile::exists(autostartFile()));
}

// The waking section shows the wake settings; "Okay" keeps them in memory
// and in the registry, within their ranges; closing otherwise keeps nothing.
TEST_F(OptionsDialogTest, TheWakingSectionIsStoredByOkayOnly)
{
    WakeSettings wake;
    wake.fadeInSeconds = 5;
    auto dialog = open();
    dialog->setWakeSettings(&wake);
    EXPECT_EQ(dialog->fadeInSeconds, 5);
    EXPECT_EQ(dialog->lateLimitMinutes, WakeSettings::kDefaultLateLimit);
    dialog->fadeInSeconds = 30;
    dialog->lateLimitMinutes = 10;
    dialog->unload();
    EXPECT_EQ(wake.fadeInSeconds, 5);
    EXPECT_EQ(loadWakeSettings(), WakeSettings{});

    dialog = open();
    dialog->setWakeSettings(&wake);
    dialog->fadeInSeconds = 30;
    dialog->lateLimitMinutes = 100000;
    dialog->okay();
    EXPECT_EQ(wake.fadeInSeconds, 30);
    EXPECT_EQ(wake.lateLimitMinutes, WakeSettings::kLongestLateLimit);
    EXPECT_EQ(loadWakeSettings(), wake);
}

} // namespace
} // namespace kestrum
