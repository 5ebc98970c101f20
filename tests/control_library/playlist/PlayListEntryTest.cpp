#include "playlist/PlayListEntry.h"

#include "FakeEngine.h"
#include "RaisedError.h"

#include <gtest/gtest.h>

#include <QMetaClassInfo>
#include <QMetaProperty>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

const QString kSong = QStringLiteral("/music/song.mp3");
const QString kOther = QStringLiteral("/music/other.mp3");

// Runs `action` and returns the error it raised, or fails the test.
template <typename Action>
RaisedError raisedBy(Action &&action)
{
    try {
        action();
    } catch (const RaisedError &error) {
        return error;
    }
    ADD_FAILURE() << "nothing was raised";
    return RaisedError(0, {}, {});
}

void expectPlayerError(const RaisedError &error, int number, const char *description)
{
    EXPECT_EQ(error.number(), number);
    EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
    EXPECT_EQ(error.description(), QString::fromLatin1(description));
}

QByteArray blockField(const FakeEngine &engine, int offset, int width)
{
    const auto writes = engine.callsTo("set_id3_tag");
    if (writes.empty())
        return {};
    return writes.back().arguments.at(1).toByteArray().mid(offset, width);
}

class PlayListEntryTest : public ::testing::Test {
protected:
    FakeEngine engine;
    PlayListEntry entry{engine};
};

TEST_F(PlayListEntryTest, FreshEntryIsEmptyAndItsTagHasNoFile)
{
    EXPECT_EQ(entry.Filename(), QString());
    EXPECT_EQ(entry.ChannelMode(), QString());
    EXPECT_EQ(entry.FileSize(), 0);
    EXPECT_EQ(entry.TrackLength(), 0);
    EXPECT_EQ(entry.DataRate(), 0);
    EXPECT_EQ(entry.Frames(), 0);
    EXPECT_EQ(entry.SampleRate(), 0);
    EXPECT_EQ(entry.MPEGVersion(), QStringLiteral("0"));
    EXPECT_EQ(entry.Layer(), QStringLiteral("0"));
    EXPECT_FALSE(entry.Copyrighted());
    EXPECT_FALSE(entry.CRCExists());
    EXPECT_FALSE(entry.Original());
    EXPECT_EQ(entry.Tag(), QString());
    EXPECT_EQ(entry.Key(), QString());

    const char *notFound = "Can't find specified file. (File not found)";
    expectPlayerError(raisedBy([&] { entry.ID3Title(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.ID3Artist(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.ID3Album(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.ID3Year(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.ID3Comment(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.ID3Genre(); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.setID3Title(QStringLiteral("x")); }), 53, notFound);
    expectPlayerError(raisedBy([&] { entry.setID3Genre(3); }), 53, notFound);
    EXPECT_TRUE(engine.calls.empty()) << "nothing asks the engine without a file";
}

TEST_F(PlayListEntryTest, BindsAFileReadingTheTagBeforeTheStreamInformation)
{
    engine.addFile(kSong).tag = FakeEngine::tagBlock("Title", "Artist", "Album", "2001", "Hi", 17);
    EXPECT_EQ(entry.SetFileName(kSong), 0);

    EXPECT_EQ(engine.callNames(), (std::vector<std::string>{"get_id3_tag", "get_frame_info"}));
    EXPECT_EQ(engine.calls[0].arguments.at(0).toString(), kSong);
    EXPECT_EQ(entry.Filename(), kSong);
    EXPECT_EQ(entry.MPEGVersion(), QStringLiteral("1"));
    EXPECT_EQ(entry.Layer(), QStringLiteral("3"));
    EXPECT_EQ(entry.DataRate(), 128000);
    EXPECT_EQ(entry.SampleRate(), 44100);
    EXPECT_FALSE(entry.CRCExists());
    EXPECT_EQ(entry.ChannelMode(), QStringLiteral("Joint Stereo"));
    EXPECT_FALSE(entry.Copyrighted());
    EXPECT_TRUE(entry.Original());
    EXPECT_EQ(entry.FileSize(), 4800000);
    EXPECT_EQ(entry.Frames(), 11500);
    EXPECT_EQ(entry.TrackLength(), 300);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Title"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Artist"));
    EXPECT_EQ(entry.ID3Album(), QStringLiteral("Album"));
    EXPECT_EQ(entry.ID3Year(), QStringLiteral("2001"));
    EXPECT_EQ(entry.ID3Comment(), QStringLiteral("Hi"));
    EXPECT_EQ(entry.ID3Genre(), 17);
}

TEST_F(PlayListEntryTest, RejectedFilesLeaveNoFileName)
{
    EXPECT_EQ(entry.SetFileName(QString()), 53);
    EXPECT_EQ(entry.Filename(), QString());
    EXPECT_TRUE(engine.calls.empty());

    EXPECT_EQ(entry.SetFileName(QStringLiteral("/missing.mp3")), 53);
    EXPECT_EQ(entry.Filename(), QString());

    engine.addFile(QStringLiteral("/notes.txt")).frameResult = 0;
    EXPECT_EQ(entry.SetFileName(QStringLiteral("/notes.txt")), 30075);
    EXPECT_EQ(entry.Filename(), QString());

    engine.addFile(QStringLiteral("/gone.mp3")).frameResult = 53;
    EXPECT_EQ(entry.SetFileName(QStringLiteral("/gone.mp3")), 53);
    EXPECT_EQ(entry.Filename(), QString());
}

TEST_F(PlayListEntryTest, FailedBindKeepsTheEarlierStreamValuesButNotTheName)
{
    engine.addFile(kSong);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    engine.addFile(kOther, "2|2|0|64000|22050|0|0|Stereo|0|0|0|0|1000|10|5").frameResult = 0;

    EXPECT_EQ(entry.SetFileName(kOther), 30075);
    EXPECT_EQ(entry.Filename(), QString());
    EXPECT_EQ(entry.DataRate(), 128000);
    EXPECT_EQ(entry.TrackLength(), 300);
    EXPECT_EQ(entry.FileSize(), 4800000);
    EXPECT_EQ(raisedBy([&] { entry.ID3Title(); }).number(), 53);
}

TEST_F(PlayListEntryTest, TagReadFailuresArePassedOnUnchanged)
{
    engine.addFile(kSong).tagResult = 57;
    EXPECT_EQ(entry.SetFileName(kSong), 57);
    EXPECT_EQ(entry.Filename(), QString());
    EXPECT_EQ(engine.callNames(), std::vector<std::string>{"get_id3_tag"});

    engine.files[kSong].tagResult = 0;
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    engine.queueResult("get_id3_tag", 75);
    expectPlayerError(raisedBy([&] { entry.ID3Artist(); }), 75, "Path/File access error.");
    engine.queueResult("get_id3_tag", 12345);
    expectPlayerError(raisedBy([&] { entry.ID3Genre(); }), 12345, "Unknown error.");
}

TEST_F(PlayListEntryTest, TextsLoseNulPaddingAndOuterSpaces)
{
    engine.addFile(kSong).tag = FakeEngine::tagBlock("Hello", "  Padded  ", QByteArray("A\0B", 3),
                                                     QByteArray("99\0\0", 4), "   ");
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Hello"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Padded"));
    EXPECT_EQ(entry.ID3Album(), QStringLiteral("A B"));
    EXPECT_EQ(entry.ID3Year(), QStringLiteral("99"));
    EXPECT_EQ(entry.ID3Comment(), QString());
}

TEST_F(PlayListEntryTest, EveryTagReadAsksTheEngineAgain)
{
    FakeEngine::File &file = engine.addFile(kSong);
    file.tag = FakeEngine::tagBlock("First");
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("First"));
    file.tag = FakeEngine::tagBlock("Second");
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Second"));
    EXPECT_EQ(engine.callsTo("get_id3_tag").size(), 3U);
}

TEST_F(PlayListEntryTest, FileWithoutTagReadsEmptyAndNeverShowsAnotherFilesTag)
{
    engine.addFile(kOther).tag = FakeEngine::rawBlock("no tag here");
    ASSERT_EQ(entry.SetFileName(kOther), 0);
    EXPECT_EQ(entry.ID3Title(), QString());
    EXPECT_EQ(entry.ID3Genre(), 0);

    engine.addFile(kSong).tag = FakeEngine::tagBlock("Song", "Singer", "Record", "1990", "", 9);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Singer"));

    ASSERT_EQ(entry.SetFileName(kOther), 0);
    EXPECT_EQ(entry.ID3Artist(), QString());
    entry.setID3Title(QStringLiteral("New"));
    EXPECT_EQ(blockField(engine, 0, 3), QByteArray("TAG"));
    EXPECT_EQ(blockField(engine, 33, 30), QByteArray(30, ' ')) << "no artist of the other file";
    EXPECT_EQ(blockField(engine, 127, 1), QByteArray(1, '\0'));
}

TEST_F(PlayListEntryTest, WritingATextRewritesTheWholeBlockFromTheLastRead)
{
    engine.addFile(kSong).tag = FakeEngine::tagBlock("Old", "Artist", "Album", "2001", "Note", 42);
    ASSERT_EQ(entry.SetFileName(kSong), 0);

    const QString longTitle = QStringLiteral("0123456789012345678901234567890123456789");
    entry.setID3Title(longTitle);
    EXPECT_EQ(blockField(engine, 3, 30), longTitle.left(30).toLatin1());
    EXPECT_EQ(blockField(engine, 33, 30), QByteArray("Artist") + QByteArray(24, ' '));
    EXPECT_EQ(blockField(engine, 93, 4), QByteArray("2001"));
    EXPECT_EQ(blockField(engine, 97, 30), QByteArray("Note") + QByteArray(26, ' '));
    EXPECT_EQ(static_cast<unsigned char>(blockField(engine, 127, 1).at(0)), 42);
    EXPECT_EQ(entry.ID3Title(), longTitle.left(30));

    entry.setID3Year(QStringLiteral("199999"));
    EXPECT_EQ(blockField(engine, 93, 4), QByteArray("1999"));
    EXPECT_EQ(entry.ID3Year(), QStringLiteral("1999"));

    entry.setID3Comment(QStringLiteral("Über ☕"));
    EXPECT_EQ(blockField(engine, 97, 7), QByteArray("\xDC" "ber ? "));
    EXPECT_EQ(entry.ID3Comment(), QStringLiteral("Über ?"));

    entry.setID3Album(QStringLiteral("LP"));
    entry.setID3Artist(QStringLiteral("Band"));
    EXPECT_EQ(entry.ID3Album(), QStringLiteral("LP"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Band"));
    EXPECT_EQ(engine.callsTo("set_id3_tag").size(), 5U);
}

TEST_F(PlayListEntryTest, WriteFailuresAreRaisedAndTheFileKeepsItsTag)
{
    FakeEngine::File &file = engine.addFile(kSong);
    file.tag = FakeEngine::tagBlock("Kept");
    file.writeResult = 75;
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    expectPlayerError(raisedBy([&] { entry.setID3Title(QStringLiteral("Lost")); }), 75,
                      "Path/File access error.");
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Kept"));
    file.writeResult = 57;
    expectPlayerError(raisedBy([&] { entry.setID3Genre(5); }), 57, "Device I/O error.");
}

TEST_F(PlayListEntryTest, GenreReadsAreCappedAt149)
{
    FakeEngine::File &file = engine.addFile(kSong);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    for (int byte : {0, 148, 149}) {
        file.tag = FakeEngine::tagBlock("t", {}, {}, {}, {}, static_cast<unsigned char>(byte));
        EXPECT_EQ(entry.ID3Genre(), byte);
    }
    for (int byte : {150, 200, 255}) {
        file.tag = FakeEngine::tagBlock("t", {}, {}, {}, {}, static_cast<unsigned char>(byte));
        EXPECT_EQ(entry.ID3Genre(), 149) << byte;
    }
    // The capped value is what the next write puts back.
    entry.setID3Title(QStringLiteral("x"));
    EXPECT_EQ(static_cast<unsigned char>(blockField(engine, 127, 1).at(0)), 149);
}

TEST_F(PlayListEntryTest, GenreWithoutAOneByteFormIsRefused)
{
    engine.addFile(kSong).tag = FakeEngine::tagBlock("t", {}, {}, {}, {}, 7);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    for (int genre : {-1, 256, 32767, 40000}) {
        expectPlayerError(raisedBy([&] { entry.setID3Genre(genre); }), 30103, "Unknown genre.");
    }
    EXPECT_TRUE(engine.callsTo("set_id3_tag").empty());
    EXPECT_EQ(entry.ID3Genre(), 7);

    entry.setID3Genre(255);
    EXPECT_EQ(static_cast<unsigned char>(blockField(engine, 127, 1).at(0)), 255);
    EXPECT_EQ(entry.ID3Genre(), 149);
}

TEST_F(PlayListEntryTest, GenreListNamesNumbersAndRefusesOnlyNonSixteenBitOnes)
{
    EXPECT_EQ(entry.GenreList(0), QStringLiteral("Blues"));
    EXPECT_EQ(entry.GenreList(148), QStringLiteral("Unknown"));
    EXPECT_EQ(entry.GenreList(255), QString());
    EXPECT_EQ(entry.GenreList(-32768), QString());
    expectPlayerError(raisedBy([&] { entry.GenreList(40000); }), 30103, "Unknown genre.");
}

TEST_F(PlayListEntryTest, UnconvertibleStreamFieldsKeepTheirValues)
{
    engine.addFile(kSong);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    engine.addFile(kOther, "2.5|x|0|32000|bad|1|0|Single Channel|0|1|");
    ASSERT_EQ(entry.SetFileName(kOther), 0);
    EXPECT_EQ(entry.MPEGVersion(), QStringLiteral("2.5"));
    EXPECT_EQ(entry.Layer(), QStringLiteral("3"));
    EXPECT_EQ(entry.DataRate(), 32000);
    EXPECT_EQ(entry.SampleRate(), 44100);
    EXPECT_TRUE(entry.CRCExists());
    EXPECT_EQ(entry.ChannelMode(), QStringLiteral("Single Channel"));
    EXPECT_TRUE(entry.Copyrighted());
    EXPECT_EQ(entry.FileSize(), 4800000);
    EXPECT_EQ(entry.TrackLength(), 300);
}

TEST_F(PlayListEntryTest, AnEngineThatCannotBeReachedIsReportedAsSuch)
{
    engine.addFile(kSong).tag = FakeEngine::tagBlock("Title");
    struct Case {
        const char *unbound;  // nullptr: no library at all
        int number;
    };
    for (const Case &test : {Case{"get_id3_tag", 453}, Case{"get_frame_info", 453}, Case{nullptr, 48}}) {
        engine.unbound.clear();
        engine.libraryMissing = test.unbound == nullptr;
        if (test.unbound != nullptr)
            engine.unbound = {test.unbound};
        EXPECT_EQ(entry.SetFileName(kSong), test.number) << "not 30075: the file was never looked at";
        EXPECT_EQ(entry.Filename(), QString());
        const RaisedError error = raisedBy([&] { entry.raiseResult(test.number); });
        EXPECT_EQ(error.number(), test.number);
        EXPECT_EQ(error.source(), QStringLiteral("SBMP3Player"));
        EXPECT_TRUE(error.description().startsWith(test.unbound ? QStringLiteral("Can't find DLL entry point")
                                                                : QStringLiteral("Error in loading DLL")))
            << error.description().toStdString();
    }

    engine.unbound.clear();
    engine.libraryMissing = false;
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    engine.unbound = {"set_id3_tag"};
    EXPECT_EQ(raisedBy([&] { entry.setID3Title(QStringLiteral("x")); }).number(), 453)
        << "a tag that was not written is no success";
    expectPlayerError(raisedBy([&] { entry.raiseResult(53); }), 53, "Can't find specified file. (File not found)");
}

TEST_F(PlayListEntryTest, AVersion11TrackNumberIsReadKeptOnWriteAndWritable)
{
    const QByteArray track7 = QByteArray(1, '\0') + char(7);
    const QByteArray comment = QByteArray("Liner notes") + QByteArray(17, ' ') + track7;
    engine.addFile(kSong).tag = FakeEngine::tagBlock("Title", "Artist", {}, {}, comment, 17);
    ASSERT_EQ(entry.SetFileName(kSong), 0);
    EXPECT_EQ(entry.ID3Track(), 7);
    EXPECT_EQ(entry.ID3Comment(), QStringLiteral("Liner notes")) << "the comment ends before the track";

    entry.setID3Title(QStringLiteral("Renamed"));
    EXPECT_EQ(blockField(engine, 125, 2), track7) << "the track survives another field's write";
    entry.setID3Comment(QString(40, QLatin1Char('c')));
    EXPECT_EQ(blockField(engine, 97, 30), QByteArray(28, 'c') + track7);
    EXPECT_EQ(entry.ID3Track(), 7);

    entry.setID3Track(0);
    EXPECT_EQ(blockField(engine, 125, 2), QByteArray("  ")) << "no track: a 30-character comment again";
    entry.setID3Track(255);
    EXPECT_EQ(static_cast<unsigned char>(blockField(engine, 126, 1).at(0)), 255);
    for (const int bad : {-1, 256}) {
        const RaisedError error = raisedBy([&] { entry.setID3Track(bad); });
        EXPECT_EQ(error.number(), 380);
    }
    EXPECT_EQ(entry.ID3Track(), 255) << "a refused track writes nothing";
}

TEST_F(PlayListEntryTest, ClientTextAndKeyAreKeptAsGiven)
{
    entry.setTag(QStringLiteral(" anything "));
    entry.SetKey(QStringLiteral("K1"));
    EXPECT_EQ(entry.Tag(), QStringLiteral(" anything "));
    EXPECT_EQ(entry.Key(), QStringLiteral("K1"));
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(PlayListEntryTest, HostsReachEveryMemberByName)
{
    const QMetaObject *meta = entry.metaObject();
    const int order = meta->indexOfClassInfo("DispatchOrder");
    ASSERT_GE(order, 0);
    const QStringList members =
        QString::fromLatin1(meta->classInfo(order).value()).split(QLatin1Char(','));
    EXPECT_EQ(members.size(), 23);
    for (const QString &member : members) {
        const QByteArray name = member.toLatin1();
        const bool isProperty = meta->indexOfProperty(name) >= 0;
        bool isMethod = false;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            isMethod = isMethod || meta->method(i).name() == name;
        EXPECT_TRUE(isProperty != isMethod) << member.toStdString();
    }
    EXPECT_STREQ(meta->classInfo(meta->indexOfClassInfo("DefaultMember")).value(), "Filename");

    engine.addFile(kSong).tag = FakeEngine::tagBlock("By name");
    qint32 result = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(&entry, "SetFileName", Q_RETURN_ARG(qint32, result),
                                          Q_ARG(QString, kSong)));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(entry.property("Filename").toString(), kSong);
    EXPECT_EQ(entry.property("ID3Title").toString(), QStringLiteral("By name"));
    EXPECT_TRUE(entry.setProperty("ID3Title", QStringLiteral("Renamed")));
    EXPECT_EQ(entry.property("ID3Title").toString(), QStringLiteral("Renamed"));
    EXPECT_EQ(entry.property("TrackLength").toInt(), 300);
}

}  // namespace
}  // namespace SonbrelMP3
