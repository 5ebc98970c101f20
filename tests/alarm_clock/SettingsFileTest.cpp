#include "SettingsFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {
namespace {

const QString kFolder = QStringLiteral("/opt/kestrum");

QStringList fileLines(const QString &first = QStringLiteral("7,05,PM"))
{
    return {first, "5", "1", "2", "1", "1", "0", "1", "Get up", "/m/a.mp3,A", "/m/b.mp3,B",
            "/m/c.mp3,C"};
}

struct Read {
    AlarmSettings settings;
    LoadedSettings loaded;
};

Read read(const QStringList &lines)
{
    Read result;
    settingsFromLines(lines, result.settings, result.loaded, kFolder);
    return result;
}

QStringList withLine(int index, const QString &text)
{
    QStringList lines = fileLines();
    lines[index] = text;
    return lines;
}

void expectDesignValues(const Read &r)
{
    EXPECT_EQ(r.loaded.alarmHour, "1");
    EXPECT_EQ(r.loaded.alarmMinute, "01");
    EXPECT_EQ(r.loaded.alarmHalf, "AM");
    EXPECT_EQ(r.settings.alarmText, "101AM");
    EXPECT_EQ(r.settings.snoozeMinutes, 10);
    EXPECT_EQ(r.settings.playOrder, 0);
    EXPECT_EQ(r.settings.nextTuneIndex, 0);
    EXPECT_EQ(r.settings.selectedTuneIndex, 0);
    EXPECT_EQ(r.settings.repeatTune, 0);
    EXPECT_EQ(r.settings.autoStart, 0);
    EXPECT_EQ(r.settings.startInTray, 0);
    EXPECT_EQ(r.settings.alarmMessage, "Wakie, Wakie !");
    EXPECT_EQ(r.loaded.message, "Wakie, Wakie !");
    ASSERT_EQ(r.settings.tuneCount, 1);
    EXPECT_EQ(r.settings.tunes[0], "/opt/kestrum/Zorvin.mp3,Zorvin");
}

TEST(SettingsFileTest, ReadsEveryLineInItsPlace)
{
    const Read r = read(fileLines());
    EXPECT_EQ(r.loaded.alarmHour, "7");
    EXPECT_EQ(r.loaded.alarmMinute, "05");
    EXPECT_EQ(r.loaded.alarmHalf, "PM");
    EXPECT_EQ(r.settings.alarmText, "705PM");
    EXPECT_EQ(r.settings.snoozeMinutes, 5);
    EXPECT_EQ(r.settings.playOrder, 1);
    EXPECT_EQ(r.settings.nextTuneIndex, 2);
    EXPECT_EQ(r.settings.selectedTuneIndex, 1);
    EXPECT_EQ(r.settings.repeatTune, 1);
    EXPECT_EQ(r.settings.autoStart, 0);
    EXPECT_EQ(r.settings.startInTray, 1);
    EXPECT_EQ(r.settings.alarmMessage, "Get up");
    EXPECT_EQ(r.loaded.message, "Get up");
    ASSERT_EQ(r.settings.tuneCount, 3);
    EXPECT_EQ(r.settings.tunes[0], "/m/a.mp3,A");
    EXPECT_EQ(r.settings.tunes[2], "/m/c.mp3,C");
    EXPECT_TRUE(r.settings.tunes[3].isEmpty());
    EXPECT_TRUE(r.loaded.extraTunes.isEmpty());
}

// Numbers that are valid but not written in the clock's form are read as
// what they say, and shown (and written back) in that form.
TEST(SettingsFileTest, AlarmTimeIsReadForWhatItSays)
{
    const struct {
        const char *line;
        const char *text; // alarmText
    } cases[] = {
        {"7,05,PM", "705PM"},      {"   7,05,PM  ", "705PM"}, {"7,5,PM", "705PM"},
        {"07,05,PM", "705PM"},     {"7, 5 , pm", "705PM"},    {"12,00,am", "1200AM"},
        {"0,30,AM", "1230AM"},     {"11,59,PM", "1159PM"},    {"11,30,AM,junk,more", "1130AM"},
    };
    for (const auto &c : cases) {
        const Read r = read(fileLines(QString::fromLatin1(c.line)));
        EXPECT_EQ(r.settings.alarmText, c.text) << c.line;
        EXPECT_EQ(r.loaded.alarmHour + r.loaded.alarmMinute + r.loaded.alarmHalf, c.text) << c.line;
        EXPECT_FALSE(r.loaded.unreadableAlarmLine) << c.line;
    }
    Read fixed = read(fileLines(QStringLiteral("7,5,pm")));
    EXPECT_EQ(linesFromSettings(fixed.settings, fixed.loaded).value(0), "7,05,PM");

    // Fields after the third are written back, so they are not lost.
    const Read extra = read(fileLines(QStringLiteral("11,30,AM ,junk")));
    EXPECT_EQ(linesFromSettings(extra.settings, extra.loaded).value(0), "11,30,AM,junk");
    EXPECT_EQ(read(linesFromSettings(extra.settings, extra.loaded)).settings.alarmText, "1130AM");
}

// Only a line that holds no time gives the design time; it is kept, as read,
// to be written back while the user sets no time of their own.
TEST(SettingsFileTest, BadAlarmTimeGivesTheDesignTimeAndKeepsTheRest)
{
    for (const QString bad : {"", "7,05", "7,,PM", "   ", "705PM", "13,05,PM", "7,60,AM", "7,05,XM", "-1,05,AM",
                              "7.5,05,AM", "seven,05,AM"}) {
        const Read r = read(fileLines(bad));
        EXPECT_EQ(r.settings.alarmText, "101AM") << bad.toStdString();
        EXPECT_EQ(r.loaded.alarmMinute, "01") << bad.toStdString();
        EXPECT_EQ(r.settings.snoozeMinutes, 5);
        EXPECT_EQ(r.settings.tuneCount, 3);
        ASSERT_TRUE(r.loaded.unreadableAlarmLine) << bad.toStdString();
        EXPECT_EQ(*r.loaded.unreadableAlarmLine, bad.trimmed());
        EXPECT_EQ(linesFromSettings(r.settings, r.loaded).value(0), bad.trimmed()) << "the line is lost";
    }
    EXPECT_FALSE(read({}).loaded.unreadableAlarmLine) << "no file is no bad line";
}

TEST(SettingsFileTest, NumbersRoundHalfToEven)
{
    const struct {
        const char *text;
        int value;
    } cases[] = {{"2.5", 2},   {"3.5", 4},   {"0.5", 0},   {"1.5", 2},   {"2.51", 3},
                 {"2.49", 2},  {"-2.5", -2}, {"-3.5", -4}, {"-0.5", 0},  {"7.", 7},
                 {".5", 0},    {"+12", 12},  {"2.50000", 2}, {"2.500001", 3}, {"-17", -17},
                 {"32767.4", 32767}, {"-32768", -32768}, {"007", 7}};
    for (const auto &c : cases) {
        const Read r = read(withLine(1, c.text));
        EXPECT_EQ(r.settings.snoozeMinutes, c.value) << c.text;
    }
}

TEST(SettingsFileTest, NumberLinesAreTrimmed)
{
    const Read r = read(withLine(1, "  42  "));
    EXPECT_EQ(r.settings.snoozeMinutes, 42);
    EXPECT_EQ(read(withLine(2, "\t1 ")).settings.playOrder, 1);
}

TEST(SettingsFileTest, BadNumberGivesItsDesignValueOnly)
{
    for (const QString bad : {"", "ten", "1 0", "32767.5", "40000", "-32769", "1e3", "-", ".",
                              "5x", "99999999999999999999"}) {
        const Read r = read(withLine(1, bad));
        EXPECT_EQ(r.settings.snoozeMinutes, 10) << bad.toStdString();
        // Every other line is still read.
        EXPECT_EQ(r.settings.alarmText, "705PM");
        EXPECT_EQ(r.settings.playOrder, 1);
        EXPECT_EQ(r.settings.startInTray, 1);
        EXPECT_EQ(r.settings.alarmMessage, "Get up");
        EXPECT_EQ(r.settings.tuneCount, 3);
    }
    EXPECT_EQ(read(withLine(2, "x")).settings.playOrder, 0);
    EXPECT_EQ(read(withLine(6, "x")).settings.autoStart, 0);
    EXPECT_EQ(read(withLine(7, "x")).settings.startInTray, 0);
    EXPECT_EQ(read(withLine(7, "x")).settings.autoStart, 0);
}

TEST(SettingsFileTest, RepeatTuneLineIsNarrowedToAByte)
{
    EXPECT_EQ(read(withLine(5, "255")).settings.repeatTune, 255);
    EXPECT_EQ(read(withLine(5, "254.5")).settings.repeatTune, 254);
    EXPECT_EQ(read(withLine(5, "-0.4")).settings.repeatTune, 0);
    EXPECT_EQ(read(withLine(5, "256")).settings.repeatTune, 0);
    EXPECT_EQ(read(withLine(5, "-1")).settings.repeatTune, 0);
    EXPECT_EQ(read(withLine(5, "255.5")).settings.repeatTune, 0);
}

TEST(SettingsFileTest, MessageIsTrimmedOfSpaces)
{
    const Read r = read(withLine(8, "   Rise and shine  "));
    EXPECT_EQ(r.settings.alarmMessage, "Rise and shine");
    EXPECT_EQ(r.loaded.message, "Rise and shine");
    // An empty message line is an empty message, not a missing one.
    EXPECT_EQ(read(withLine(8, "  ")).settings.alarmMessage, "");
}

TEST(SettingsFileTest, NoFileGivesTheDesignValues)
{
    expectDesignValues(read({}));
    EXPECT_EQ(defaultSettings(kFolder).alarmText, "101AM");
    EXPECT_EQ(defaultSettings(kFolder).tunes[0], "/opt/kestrum/Zorvin.mp3,Zorvin");
}

TEST(SettingsFileTest, ShortFileKeepsItsLinesAndDefaultsTheRest)
{
    const Read r = read(fileLines().mid(0, 3));
    EXPECT_EQ(r.settings.alarmText, "705PM");
    EXPECT_EQ(r.settings.snoozeMinutes, 5);
    EXPECT_EQ(r.settings.playOrder, 1);
    EXPECT_EQ(r.settings.nextTuneIndex, 0);
    EXPECT_EQ(r.settings.startInTray, 0);
    EXPECT_EQ(r.settings.alarmMessage, "Wakie, Wakie !");
    ASSERT_EQ(r.settings.tuneCount, 1);
    EXPECT_EQ(r.settings.tunes[0], "/opt/kestrum/Zorvin.mp3,Zorvin");
}

TEST(SettingsFileTest, NineLinesWithoutTunesHoldTheDefaultTune)
{
    const Read r = read(fileLines().mid(0, 9));
    EXPECT_EQ(r.settings.alarmMessage, "Get up");
    ASSERT_EQ(r.settings.tuneCount, 1);
    EXPECT_EQ(r.settings.tunes[0], "/opt/kestrum/Zorvin.mp3,Zorvin");
    EXPECT_EQ(r.settings.nextTuneIndex, 0);
    EXPECT_EQ(r.settings.selectedTuneIndex, 0);
}

TEST(SettingsFileTest, BareDefaultTuneBecomesAFullPath)
{
    QStringList lines = fileLines().mid(0, 9);
    lines << "  /m/x.mp3,X  " << "Zorvin.mp3,Zorvin" << "  Zorvin.mp3,Zorvin "
          << "Zorvin.mp3,Zorvin,extra" << "/m/Zorvin.mp3,Zorvin";
    const Read r = read(lines);
    ASSERT_EQ(r.settings.tuneCount, 5);
    EXPECT_EQ(r.settings.tunes[0], "/m/x.mp3,X");
    EXPECT_EQ(r.settings.tunes[1], "/opt/kestrum/Zorvin.mp3,Zorvin");
    EXPECT_EQ(r.settings.tunes[2], "/opt/kestrum/Zorvin.mp3,Zorvin");
    EXPECT_EQ(r.settings.tunes[3], "Zorvin.mp3,Zorvin,extra");
    EXPECT_EQ(r.settings.tunes[4], "/m/Zorvin.mp3,Zorvin");

    Read trailingSlash;
    settingsFromLines(lines, trailingSlash.settings, trailingSlash.loaded, "/opt/kestrum/");
    EXPECT_EQ(trailingSlash.settings.tunes[1], "/opt/kestrum/Zorvin.mp3,Zorvin");
}

TEST(SettingsFileTest, TuneWithCommaInItsPathIsStoredWhole)
{
    QStringList lines = fileLines().mid(0, 9);
    lines << "/m/Bach, J.S./air.mp3,Air";
    EXPECT_EQ(read(lines).settings.tunes[0], "/m/Bach, J.S./air.mp3,Air");
}

TEST(SettingsFileTest, BlankTuneLinesAreSkipped)
{
    QStringList lines = fileLines();
    lines.insert(10, "");
    lines.insert(10, "   ");
    const Read r = read(lines);
    ASSERT_EQ(r.settings.tuneCount, 3);
    EXPECT_EQ(r.settings.tunes[1], "/m/b.mp3,B");
}

TEST(SettingsFileTest, IndexesOutsideTheListFallBackToTheFirstTune)
{
    for (const QString bad : {"3", "-1", "100", "-32768"}) {
        const Read next = read(withLine(3, bad));
        EXPECT_EQ(next.settings.nextTuneIndex, 0) << bad.toStdString();
        EXPECT_EQ(next.settings.selectedTuneIndex, 1);
        const Read selected = read(withLine(4, bad));
        EXPECT_EQ(selected.settings.selectedTuneIndex, 0) << bad.toStdString();
        EXPECT_EQ(selected.settings.nextTuneIndex, 2);
    }
}

TEST(SettingsFileTest, TuneLinesBeyondTheSlotsAreKept)
{
    QStringList lines = fileLines().mid(0, 9);
    for (int i = 0; i < 105; ++i)
        lines << QStringLiteral("/m/%1.mp3,%1").arg(i);
    lines[3] = "100";
    const Read r = read(lines);
    EXPECT_EQ(r.settings.tuneCount, 101);
    EXPECT_EQ(r.settings.tunes[100], "/m/100.mp3,100");
    EXPECT_EQ(r.settings.nextTuneIndex, 100);
    EXPECT_EQ(r.loaded.extraTunes,
              (QStringList{"/m/101.mp3,101", "/m/102.mp3,102", "/m/103.mp3,103",
                           "/m/104.mp3,104"}));
    EXPECT_EQ(linesFromSettings(r.settings, r.loaded), lines);
}

TEST(SettingsFileTest, ReadingAgainClearsWhatWasThere)
{
    Read r = read(fileLines());
    r.settings.tunes[50] = "/stale.mp3,Stale";
    r.loaded.extraTunes << "/stale.mp3,Stale";
    settingsFromLines(fileLines().mid(0, 10), r.settings, r.loaded, kFolder);
    EXPECT_EQ(r.settings.tuneCount, 1);
    EXPECT_TRUE(r.settings.tunes[50].isEmpty());
    EXPECT_TRUE(r.loaded.extraTunes.isEmpty());
}

TEST(SettingsFileTest, WritesTheLinesInOrder)
{
    AlarmSettings settings;
    settings.snoozeMinutes = 15;
    settings.playOrder = 1;
    settings.nextTuneIndex = 1;
    settings.selectedTuneIndex = 0;
    settings.repeatTune = 1;
    settings.autoStart = 1;
    settings.startInTray = 0;
    settings.alarmMessage = "  Up!  ";
    settings.tunes[0] = "/m/a.mp3,A";
    settings.tunes[1] = "/m/b.mp3,B";
    settings.tunes[2] = "/m/unused.mp3,Unused";
    settings.tuneCount = 2;
    settings.alarmTune = "/m/a.mp3";
    LoadedSettings labels;
    labels.alarmHour = "12";
    labels.alarmMinute = "00";
    labels.alarmHalf = "PM";
    labels.message = "not written";
    EXPECT_EQ(linesFromSettings(settings, labels),
              (QStringList{"12,00,PM", "15", "1", "1", "0", "1", "1", "0", "  Up!  ",
                           "/m/a.mp3,A", "/m/b.mp3,B"}));

    settings.snoozeMinutes = -5;
    EXPECT_EQ(linesFromSettings(settings, labels).at(1), "-5");
}

TEST(SettingsFileTest, TuneCountOutsideTheTableWritesOnlyTheTable)
{
    AlarmSettings settings = defaultSettings(kFolder);
    settings.tuneCount = 300;
    EXPECT_EQ(linesFromSettings(settings, {}).size(), 9 + AlarmSettings::kTuneSlots);
    settings.tuneCount = -4;
    EXPECT_EQ(linesFromSettings(settings, {}).size(), 9);
}

TEST(SettingsFileTest, RoundTripGivesTheSameSettings)
{
    const Read first = read(fileLines());
    const QStringList written = linesFromSettings(first.settings, first.loaded);
    EXPECT_EQ(written, fileLines());
    const Read second = read(written);
    EXPECT_EQ(second.settings.alarmText, first.settings.alarmText);
    EXPECT_EQ(second.settings.tunes, first.settings.tunes);
    EXPECT_EQ(second.settings.tuneCount, first.settings.tuneCount);
    EXPECT_EQ(second.settings.nextTuneIndex, first.settings.nextTuneIndex);
    EXPECT_EQ(second.settings.repeatTune, first.settings.repeatTune);
    EXPECT_EQ(second.loaded.alarmMinute, first.loaded.alarmMinute);
}

TEST(SettingsFileTest, FilePathIsBesideTheProgram)
{
    EXPECT_EQ(settingsFilePath("/opt/kestrum"), "/opt/kestrum/Kestrum.conf");
    EXPECT_EQ(settingsFilePath("/opt/kestrum/"), "/opt/kestrum/Kestrum.conf");
}

class SettingsFileOnDiskTest : public ::testing::Test {
protected:
    QTemporaryDir folder;

    QString path() const { return settingsFilePath(folder.path()); }

    static void put(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    static QByteArray contents(const QString &file)
    {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }
};

TEST_F(SettingsFileOnDiskTest, MissingFileGivesTheDesignValues)
{
    Read r;
    r.settings.snoozeMinutes = 77;
    EXPECT_FALSE(loadSettingsFile(path(), r.settings, r.loaded, "/opt/kestrum"));
    expectDesignValues(r);
}

TEST_F(SettingsFileOnDiskTest, ReadsAnyLineEnding)
{
    put(path(), "8,15,AM\r10\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nHello \r\n/m/a.mp3,A\r\n");
    Read r;
    EXPECT_TRUE(loadSettingsFile(path(), r.settings, r.loaded, folder.path()));
    EXPECT_EQ(r.settings.alarmText, "815AM");
    EXPECT_EQ(r.settings.alarmMessage, "Hello");
    EXPECT_EQ(r.settings.tuneCount, 1);
    EXPECT_EQ(r.settings.tunes[0], "/m/a.mp3,A");
}

TEST_F(SettingsFileOnDiskTest, WritesCrLfAndReadsItBack)
{
    const Read first = read(fileLines());
    ASSERT_TRUE(saveSettingsFile(path(), first.settings, first.loaded));
    EXPECT_EQ(contents(path()), "7,05,PM\r\n5\r\n1\r\n2\r\n1\r\n1\r\n0\r\n1\r\nGet up\r\n"
                                "/m/a.mp3,A\r\n/m/b.mp3,B\r\n/m/c.mp3,C\r\n");
    Read second;
    ASSERT_TRUE(loadSettingsFile(path(), second.settings, second.loaded, kFolder));
    EXPECT_EQ(linesFromSettings(second.settings, second.loaded), fileLines());
}

TEST_F(SettingsFileOnDiskTest, AnOldMessageAndANewTunePathBothSurviveASave)
{
    // The message written by an old program in Windows-1252, the tune paths
    // in UTF-8 and in Windows-1252: each line is read in its own encoding,
    // and a save writes every unchanged line back byte for byte.
    const QByteArray original = "7,05,PM\r\n5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nR\xE9veil \x80 7h\r\n"
                                "/m/Caf\xC3\xA9.mp3,Caf\xC3\xA9\r\n/m/old\xE9.mp3,Old\r\n";
    put(path(), original);
    Read r;
    ASSERT_TRUE(loadSettingsFile(path(), r.settings, r.loaded, kFolder));
    EXPECT_EQ(r.settings.alarmMessage, QStringLiteral("Réveil € 7h"));
    EXPECT_EQ(r.settings.tunes[0], QStringLiteral("/m/Café.mp3,Café"));
    EXPECT_EQ(r.settings.tunes[1], QStringLiteral("/m/oldé.mp3,Old"));
    ASSERT_TRUE(saveSettingsFile(path(), r.settings, r.loaded));
    EXPECT_EQ(contents(path()), original);
    Read again;
    ASSERT_TRUE(loadSettingsFile(path(), again.settings, again.loaded, kFolder));
    EXPECT_EQ(again.settings.tunes, r.settings.tunes);
    EXPECT_EQ(again.settings.alarmMessage, r.settings.alarmMessage);
}

TEST_F(SettingsFileOnDiskTest, AFileThatIsNoSettingsFileGivesTheDesignValuesAtOnce)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    Read r;
    QString why;
    EXPECT_FALSE(loadSettingsFile(path(), r.settings, r.loaded, "/opt/kestrum", &why));
    expectDesignValues(r);
    EXPECT_TRUE(why.contains(QStringLiteral("not a regular file"))) << qPrintable(why);

    QFile::remove(path());
    QFile huge(path());
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write("7,05,PM\r\n");
    ASSERT_TRUE(huge.resize(qint64(1) << 30));
    huge.close();
    EXPECT_FALSE(loadSettingsFile(path(), r.settings, r.loaded, "/opt/kestrum", &why));
    expectDesignValues(r);
    EXPECT_TRUE(why.contains(QStringLiteral("larger than"))) << qPrintable(why);

    // What could not be read is not written over.
    EXPECT_FALSE(saveSettingsFile(path(), r.settings, r.loaded, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("could not be read"))) << qPrintable(why);
    EXPECT_EQ(QFileInfo(path()).size(), qint64(1) << 30);
}

TEST_F(SettingsFileOnDiskTest, ShippedFileHoldsTheDesignValues)
{
    // The shipped file, found from this source file: tests/alarm_clock/ -> alarm_clock/.
    const QString shipped =
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath("../../alarm_clock/Kestrum.conf");
    EXPECT_EQ(contents(shipped), "1,01,AM\r\n10\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
                                 "Wakie, Wakie !\r\nZorvin.mp3,Zorvin\r\n");
    Read r;
    ASSERT_TRUE(loadSettingsFile(shipped, r.settings, r.loaded, "/opt/kestrum"));
    expectDesignValues(r);

    // After the first save the default tune's line holds its full path.
    ASSERT_TRUE(saveSettingsFile(path(), r.settings, r.loaded));
    EXPECT_TRUE(contents(path()).endsWith("\r\n/opt/kestrum/Zorvin.mp3,Zorvin\r\n"));
}

TEST_F(SettingsFileOnDiskTest, FailedSaveSaysSoAndKeepsTheOldFile)
{
    // A folder that cannot hold a new file: read-only for an ordinary user;
    // for root, who may write anywhere, a "folder" that is really a file.
    QString target;
    const bool root = ::geteuid() == 0;
    if (root) {
        const QString blocker = folder.filePath("not-a-folder");
        put(blocker, "x");
        target = blocker + "/Kestrum.conf";
    } else {
        put(path(), "old\r\n");
        ASSERT_TRUE(QFile::setPermissions(folder.path(),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        target = path();
    }

    const Read r = read(fileLines());
    testing::internal::CaptureStderr();
    const bool saved = saveSettingsFile(target, r.settings, r.loaded);
    const std::string err = testing::internal::GetCapturedStderr();
    if (!root)
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                 | QFileDevice::ExeOwner);

    EXPECT_FALSE(saved);
    EXPECT_NE(err.find("cannot save the settings"), std::string::npos) << err;
    EXPECT_NE(err.find("Kestrum.conf"), std::string::npos) << err;
    if (root)
        EXPECT_EQ(contents(folder.filePath("not-a-folder")), "x");
    else
        EXPECT_EQ(contents(path()), "old\r\n");
    // Nothing was left beside it either.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace
}  // namespace kestrum
