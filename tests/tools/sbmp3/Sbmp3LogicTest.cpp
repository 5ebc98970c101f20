// The parts of sbmp3 that need no library calls: its command-line values,
// exit codes, progress line and playlist lines.

#include "CommandLine.h"
#include "ExitCodes.h"
#include "PlayListLines.h"
#include "ProgressLine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace sbmp3 {
namespace {

TEST(Sbmp3CommandLine, ReadsEqualizerBandsAndRefusesWhatTheEqualizerCannotTake)
{
    const std::vector<BandSetting> bands = parseEqualizerBands(QStringLiteral("100:+3, 1000:-2.5,22000:0"));
    ASSERT_EQ(bands.size(), 3U);
    EXPECT_EQ(bands[0].frequency, 100);
    EXPECT_FLOAT_EQ(bands[0].gain, 3.0F);
    EXPECT_EQ(bands[1].frequency, 1000);
    EXPECT_FLOAT_EQ(bands[1].gain, -2.5F);
    EXPECT_EQ(bands[2].frequency, 22000);

    QStringList tooMany;
    for (int frequency = 100; tooMany.size() < 33; frequency += 100)
        tooMany << QStringLiteral("%1:1").arg(frequency);
    for (const QString &bad : {QStringLiteral(""), QStringLiteral("100"), QStringLiteral("100:x"),
                               QStringLiteral("100:3:4"), QStringLiteral("0:1"), QStringLiteral("22001:1"),
                               QStringLiteral("100:+25"), QStringLiteral("100:nan"), QStringLiteral("100:inf"),
                               QStringLiteral("100:1,100:2"), QStringLiteral("100:1,"), tooMany.join(',')})
        EXPECT_THROW(parseEqualizerBands(bad), UsageError) << qPrintable(bad);
}

TEST(Sbmp3CommandLine, ReadsGenresByNumberOrNameAndFadesWithinAMinute)
{
    EXPECT_EQ(parseGenre(QStringLiteral("17")), 17);
    EXPECT_EQ(parseGenre(QStringLiteral("rock")), 17);
    EXPECT_EQ(parseGenre(QStringLiteral("300")), 300) << "the library judges the range";
    EXPECT_THROW(parseGenre(QStringLiteral("Skiffle Metal")), UsageError);
    EXPECT_DOUBLE_EQ(parseFadeSeconds(QStringLiteral("2.5")), 2.5);
    for (const QString &bad : {QStringLiteral("-1"), QStringLiteral("61"), QStringLiteral("nan"), QStringLiteral("x")})
        EXPECT_THROW(parseFadeSeconds(bad), UsageError) << qPrintable(bad);
    EXPECT_THROW(parseWholeNumber(QStringLiteral("track"), QStringLiteral("7a")), UsageError);
    EXPECT_THROW(parseSortType(QStringLiteral("colour")), UsageError);
}

TEST(Sbmp3ExitCodes, FollowTheClassesOfTheLibrarysErrorTable)
{
    const std::pair<int, int> cases[] = {
        {53, kNoInput},      {76, kNoInput},      {30075, kDataError}, {30077, kDataError},
        {380, kDataError},   {30101, kUnavailable}, {48, kUnavailable}, {30104, kOutOfMemory},
        {57, kIOError},      {30074, kInUse},     {75, kNoPermission}, {12345, kSoftware},
    };
    for (const auto &[number, exitCode] : cases)
        EXPECT_EQ(exitCodeFor(number), exitCode) << number;

    Outcome outcome;
    outcome.fail(kNoInput);
    outcome.fail(kDataError);
    EXPECT_EQ(outcome.exitCode(), kNoInput) << "the first failure decides";
}

TEST(Sbmp3ProgressLine, FitsTheTerminalAndCoversTheLineBefore)
{
    EXPECT_EQ(minutesAndSeconds(125.9), QStringLiteral("2:05"));
    EXPECT_EQ(minutesAndSeconds(-3), QStringLiteral("0:00"));

    const QString shortLine = progressLine(2, 5, QStringLiteral("Artist - Title"), 12, 225, 60);
    EXPECT_TRUE(shortLine.startsWith(QStringLiteral("[2/5] Artist - Title  0:12 / 3:45"))) << qPrintable(shortLine);
    EXPECT_EQ(shortLine.size(), 59) << "padded to one column short of the width";

    const QString longLine = progressLine(1, 1, QString(200, QLatin1Char('x')), 0, 60, 40);
    EXPECT_EQ(longLine.size(), 39);
    EXPECT_TRUE(longLine.endsWith(QStringLiteral("...  0:00 / 1:00"))) << qPrintable(longLine);
    EXPECT_EQ(progressLine(1, 1, QStringLiteral("name"), 0, 0, 5).size(), 4) << "a narrow terminal gets no wider line";
}

TEST(Sbmp3PlayListLines, ReadsPathLinesAsTheLibraryDoes)
{
    const QByteArray file = "#EXTM3U\r\n"
                            "#EXTINF:3,Artist - Title\r\n"
                            "#not information\r"
                            "one.mp3\n"
                            "\n"
                            "caf\xe9.mp3\r\n"
                            "#EXTINF:1,dangling";
    const std::vector<PathLine> lines = playListPathLines(file);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0].number, 3);
    EXPECT_EQ(lines[0].text, QStringLiteral("#not information")) << "the line after #EXTINF is a path";
    EXPECT_EQ(lines[1].number, 4);
    EXPECT_EQ(lines[1].text, QStringLiteral("one.mp3"));
    EXPECT_EQ(lines[2].number, 6);
    EXPECT_EQ(lines[2].text, QStringLiteral("café.mp3")) << "a line that is no UTF-8 is Windows-1252";
}

TEST(Sbmp3PlayListLines, FindsWindowsLinesInThePlayListsFolderThenTheCurrentOne)
{
    QTemporaryDir list;
    QTemporaryDir current;
    ASSERT_TRUE(QDir(list.path()).mkpath(QStringLiteral("sub")));
    for (const QString &file : {list.filePath(QStringLiteral("sub/a.mp3")), current.filePath(QStringLiteral("b.mp3")),
                                list.filePath(QStringLiteral("both.mp3")), current.filePath(QStringLiteral("both.mp3"))}) {
        QFile touch(file);
        ASSERT_TRUE(touch.open(QIODevice::WriteOnly));
    }
    const struct {
        QString line;
        QString found;
    } cases[] = {
        {QStringLiteral("sub\\a.mp3"), list.filePath(QStringLiteral("sub/a.mp3"))},
        {QStringLiteral(".\\sub\\a.mp3"), list.filePath(QStringLiteral("sub/a.mp3"))},
        {QStringLiteral("b.mp3"), current.filePath(QStringLiteral("b.mp3"))},
        {QStringLiteral("both.mp3"), list.filePath(QStringLiteral("both.mp3"))},
        {QStringLiteral("sub"), QString()},  // a folder is no file
        {QStringLiteral("missing.mp3"), QString()},
        {QStringLiteral("\\music\\a.mp3"), QStringLiteral("c:\\music\\a.mp3")},
        {QStringLiteral("\\\\server\\a.mp3"), QStringLiteral("\\\\server\\a.mp3")},
        {QStringLiteral("/srv/a.mp3"), QStringLiteral("/srv/a.mp3")},
    };
    for (const auto &[line, found] : cases)
        EXPECT_EQ(resolvePathLine(line, list.path(), current.path()), found) << qPrintable(line);
}

}  // namespace
}  // namespace sbmp3
