// The playlist entry over the real engine, found the way a host finds it:
// beside libTarnelMP3.so.

#include "RaisedError.h"
#include "playlist/Id3v2Tag.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace SonbrelMP3 {
namespace {

const QString kData = QStringLiteral(ENGINE_TEST_DATA_DIR);

TEST(PlayListEntryWithEngine, ReadsTheStreamAndTheTagOfARealFile)
{
    PlayListEntry entry;
    ASSERT_EQ(entry.SetFileName(kData + QStringLiteral("/with_id3v1.mp3")), 0);
    EXPECT_EQ(entry.MPEGVersion(), QStringLiteral("1"));
    EXPECT_EQ(entry.Layer(), QStringLiteral("3"));
    EXPECT_EQ(entry.SampleRate(), 44100);
    EXPECT_EQ(entry.DataRate(), 128000);
    EXPECT_EQ(entry.Frames(), 21);
    EXPECT_EQ(entry.FileSize(), 9322);
    EXPECT_EQ(entry.TrackLength(), 1);
    EXPECT_FALSE(entry.ChannelMode().isEmpty());
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Morning Tune"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Test Artist"));
    EXPECT_EQ(entry.ID3Year(), QStringLiteral("2001"));
    EXPECT_EQ(entry.ID3Genre(), 17);
}

TEST(PlayListEntryWithEngine, WritesTheTagBackIntoTheFileAndRefusesWhatIsNotAudio)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("tune.mp3"));
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("/tone_1k.mp3"), copy));
    const qint64 audioBytes = QFileInfo(copy).size();

    PlayListEntry entry;
    ASSERT_EQ(entry.SetFileName(copy), 0);
    entry.setID3Title(QStringLiteral("Réveil en fanfare"));
    entry.setID3Genre(8);
    EXPECT_EQ(QFileInfo(copy).size(), audioBytes + 128) << "one tag appended";
    entry.setID3Artist(QStringLiteral("Somebody"));
    EXPECT_EQ(QFileInfo(copy).size(), audioBytes + 128) << "and then overwritten in place";

    PlayListEntry again;
    ASSERT_EQ(again.SetFileName(copy), 0);
    EXPECT_EQ(again.ID3Title(), QStringLiteral("Réveil en fanfare"));
    EXPECT_EQ(again.ID3Artist(), QStringLiteral("Somebody"));
    EXPECT_EQ(again.ID3Genre(), 8);

    PlayListEntry refused;
    EXPECT_EQ(refused.SetFileName(kData + QStringLiteral("/random.mp3")), 30075);
    EXPECT_EQ(refused.SetFileName(folder.filePath(QStringLiteral("missing.mp3"))), 53);
    EXPECT_TRUE(refused.Filename().isEmpty());
}

TEST(PlayListEntryWithEngine, AFileWithOnlyAVersion2TagShowsItAndKeepsBothTagsInStep)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("front.mp3"));
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("/id3v2_front.mp3"), copy));
    const qint64 before = QFileInfo(copy).size();

    PlayListEntry entry;
    ASSERT_EQ(entry.SetFileName(copy), 0);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Front Title"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Front Artist"));
    entry.setID3Album(QStringLiteral("Front Album"));
    EXPECT_GT(QFileInfo(copy).size(), before) << "a version 1 block appended";
    ASSERT_TRUE(readId3v2Tag(copy));
    EXPECT_EQ(readId3v2Tag(copy)->album, QStringLiteral("Front Album")) << "and the version 2 tag set too";

    PlayListEntry again;
    ASSERT_EQ(again.SetFileName(copy), 0);
    EXPECT_EQ(again.ID3Title(), QStringLiteral("Front Title"));
    EXPECT_EQ(again.ID3Album(), QStringLiteral("Front Album"));
    EXPECT_EQ(again.TrackLength(), entry.TrackLength()) << "the audio is still read as before";
}

} // namespace
} // namespace SonbrelMP3
