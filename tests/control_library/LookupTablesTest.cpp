#include "ControlHost.h"
#include "ErrorNumbers.h"
#include "LookupTables.h"
#include "RaisedError.h"
#include "TextHelpers.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QSet>

#include <climits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace SonbrelMP3 {
namespace {

// The control host's numbers, as a host of the library finds them named.
static_assert(kHostOutOfMemoryError == platform::kErrorOutOfMemory);
static_assert(kInternalError == platform::kErrorInternal);
static_assert(kTypeMismatchError == platform::kErrorTypeMismatch);
static_assert(kEngineMissingError == platform::kErrorCannotLoadLibrary);
static_assert(kObjectNotSetError == platform::kErrorObjectNotSet);
static_assert(kPropertyReadOnlyError == platform::kErrorPropertyReadOnly);
static_assert(kCannotCreateObjectError == platform::kErrorCannotCreateObject);
static_assert(kNoSuchMemberError == platform::kErrorNoSuchMember);
static_assert(kWrongArgumentCountError == platform::kErrorWrongArgumentCount);
static_assert(kEngineFunctionMissingError == platform::kErrorNoSuchEntryPoint);

TEST(ErrorText, EveryRowReadsExactly)
{
    const std::vector<std::pair<int, const char *>> rows = {
        {52, "Bad file name or number."},
        {53, "Can't find specified file. (File not found)"},
        {55, "File already open."},
        {57, "Device I/O error."},
        {68, "Device unavailable or disk not ready."},
        {75, "Path/File access error."},
        {76, "Path not found."},
        {30073, "File already exists in playlist."},
        {30074, "Can't access file. File may be locked by another application."},
        {30075, "File is not a recognized audio file format."},
        {30076, "Audio device is already open."},
        {30077, "A valid playlist file name must be selected in order to load or save it."},
        {30078, "There are no playlist entries matching .."},
        {30098, "There is no audio driver in this system."},
        {30099, "Unable to allocate sound memory."},
        {30100, "Audio device is synchronous."},
        {30101, "No audio devices present."},
        {30102, "Unknown media error."},
        {30103, "Unknown genre."},
        {30104, "Insufficient memory available."},
    };
    for (const auto &[number, text] : rows)
        EXPECT_EQ(ErrorText(number), QString::fromLatin1(text)) << number;
}

TEST(ErrorText, NumbersWithoutARowAreUnknown)
{
    std::vector<int> numbers = {0, 1, 51, 54, 56, 77, 30072, 30105, -53, INT_MIN, INT_MAX};
    for (int number = 30079; number < 30098; ++number)
        numbers.push_back(number);
    for (int number : numbers)
        EXPECT_EQ(ErrorText(number), QStringLiteral("Unknown error.")) << number;
}

TEST(GenreName, BoundsAndOwnRows)
{
    EXPECT_EQ(GenreName(0), QStringLiteral("Blues"));
    EXPECT_EQ(GenreName(79), QStringLiteral("Hard Rock"));
    EXPECT_EQ(GenreName(80), QStringLiteral("Folk"));
    EXPECT_EQ(GenreName(147), QStringLiteral("SynthPop"));
    EXPECT_EQ(GenreName(148), QStringLiteral("Unknown"));
    for (int outside : {149, 150, 255, 256, 32767, -1, -32768, INT_MIN, INT_MAX})
        EXPECT_EQ(GenreName(outside), QString()) << outside;
}

TEST(GenreName, RowsThatDifferFromOtherPublishedLists)
{
    const std::vector<std::pair<int, const char *>> rows = {
        {29, "Jazz+Funk"}, {40, "AlternRock"}, {62, "Pop/Funk"}, {67, "Psychadelic"},
        {69, "Showtunes"}, {78, "Rock & Roll"}, {81, "Folk/Rock"}, {82, "National folk"},
        {84, "Fast-fusion"}, {85, "Bebob"}, {90, "Avantgarde"}, {100, "Humour"},
        {123, "A Capella"}, {127, "Drum & Bass"}, {128, "Club House"}, {132, "BritPop"},
        {133, "NegerPunk"}, {136, "Christian Gangsta"}, {146, "JPop"}, {147, "SynthPop"},
    };
    for (const auto &[number, name] : rows)
        EXPECT_EQ(GenreName(number), QString::fromLatin1(name)) << number;
}

TEST(GenreName, EveryRowHasItsOwnName)
{
    QSet<QString> names;
    for (int genre = 0; genre < kGenreCount; ++genre) {
        const QString name = GenreName(genre);
        EXPECT_FALSE(name.isEmpty()) << genre;
        EXPECT_EQ(name, name.trimmed()) << genre;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), kGenreCount);
    // A few rows along the table, so that a row lost or doubled shows up.
    EXPECT_EQ(GenreName(17), QStringLiteral("Rock"));
    EXPECT_EQ(GenreName(52), QStringLiteral("Electronic"));
    EXPECT_EQ(GenreName(92), QStringLiteral("Progressive Rock"));
    EXPECT_EQ(GenreName(113), QStringLiteral("Tango"));
    EXPECT_EQ(GenreName(140), QStringLiteral("Contemporary Christian"));
    EXPECT_EQ(GenreName(145), QStringLiteral("Anime"));
}

TEST(PadToWidth, PadsWithSpacesAndCutsAtTheWidth)
{
    EXPECT_EQ(PadToWidth(QStringLiteral("abc"), 6), QStringLiteral("abc   "));
    EXPECT_EQ(PadToWidth(QStringLiteral("abcdef"), 6), QStringLiteral("abcdef"));
    EXPECT_EQ(PadToWidth(QStringLiteral("abcdefgh"), 6), QStringLiteral("abcdef"));
    EXPECT_EQ(PadToWidth(QString(), 4), QStringLiteral("    "));
    EXPECT_EQ(PadToWidth(QStringLiteral("ab"), 4, QLatin1Char('.')), QStringLiteral("ab.."));
    EXPECT_EQ(PadToWidth(QStringLiteral("abc"), 0), QString());
    EXPECT_EQ(PadToWidth(QStringLiteral("abc"), -3), QString());
}

TEST(RaisedError, PassedOnCodesCarryPlayerSourceAndTableText)
{
    try {
        raiseCode(30101);
        FAIL() << "raiseCode returned";
    } catch (const RaisedError &error) {
        EXPECT_EQ(error.number(), 30101);
        EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
        EXPECT_EQ(error.description(), QStringLiteral("No audio devices present."));
        EXPECT_NE(std::string(error.what()).find("30101"), std::string::npos);
    }
    try {
        raiseCode(4242);
    } catch (const RaisedError &error) {
        EXPECT_EQ(error.number(), 4242);
        EXPECT_EQ(error.description(), QStringLiteral("Unknown error."));
    }
}

TEST(RaisedError, RunStepSkipsAFailingStepAndGoesOn)
{
    int result = 0;
    std::vector<int> done;
    EXPECT_FALSE(runStep([&] {
        raiseCode(53);
        result = 7;  // never reached: the step's result keeps its old value
    }));
    EXPECT_TRUE(runStep([&] { done.push_back(2); }));
    EXPECT_FALSE(runStep([&] { throw std::bad_alloc(); }));
    EXPECT_TRUE(runStep([&] { done.push_back(4); }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(done, (std::vector<int>{2, 4}));
}

QStringList libraryDebugMessages;

void recordLibraryDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && qstrcmp(context.category, "tarnel.library") == 0)
        libraryDebugMessages << text;
}

TEST(RaisedError, RunStepLogsTheStepItSkipsWhenDebugMessagesAreOn)
{
    libraryDebugMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordLibraryDebug);
    const auto failingSteps = [] {
        runStep([] { throw RaisedError(30075, QStringLiteral("SBMP3Player"), QStringLiteral("Not an MPEG file")); });
        runStep([] { throw std::runtime_error("plain failure"); });
        runStep([] { throw 42; });
        runStep([] {});
    };
    failingSteps();
    const QStringList byDefault = libraryDebugMessages;
    QLoggingCategory::setFilterRules(QStringLiteral("tarnel.*.debug=true"));
    failingSteps();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    EXPECT_TRUE(byDefault.isEmpty()) << qPrintable(byDefault.join(u'\n'));
    ASSERT_EQ(libraryDebugMessages.size(), 3) << qPrintable(libraryDebugMessages.join(u'\n'));
    for (const char *part : {"30075", "SBMP3Player", "Not an MPEG file"})
        EXPECT_TRUE(libraryDebugMessages[0].contains(QLatin1String(part))) << qPrintable(libraryDebugMessages[0]);
    EXPECT_TRUE(libraryDebugMessages[1].contains(QStringLiteral("plain failure")));
    EXPECT_TRUE(libraryDebugMessages[2].contains(QStringLiteral("unknown")));
}

}  // namespace
}  // namespace SonbrelMP3
