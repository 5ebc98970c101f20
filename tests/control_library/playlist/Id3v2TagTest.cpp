// Version 2 tags in real files: read when there is no version 1 tag, and
// kept in step by writes, never leaving a damaged file.

#include "playlist/Id3v2Tag.h"

#include "FakeEngine.h"
#include "RaisedError.h"
#include "playlist/PlayListEntry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

const QString kData = QStringLiteral(ENGINE_TEST_DATA_DIR);

struct Frame {
    QByteArray id;
    QByteArray body;  // encoding byte and text, as the frame holds them
};

QByteArray bigEndian(quint32 value, bool syncSafe)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & (syncSafe ? 0x7F : 0xFF));
        value >>= syncSafe ? 7 : 8;
    }
    return bytes;
}

// An ID3v2 tag of major version 3 or 4, built by hand from its frames.
QByteArray id3v2Tag(int version, const std::vector<Frame> &frames, int padding = 16)
{
    QByteArray body;
    for (const Frame &frame : frames)
        body += frame.id + bigEndian(static_cast<quint32>(frame.body.size()), version == 4) + QByteArray(2, '\0')
                + frame.body;
    body += QByteArray(padding, '\0');
    return QByteArray("ID3") + char(version) + char(0) + char(0) + bigEndian(static_cast<quint32>(body.size()), true)
           + body;
}

Frame latin1(const char *id, const QByteArray &text)
{
    return {id, QByteArray(1, '\0') + text};
}

Frame utf8(const char *id, const QString &text)
{
    return {id, QByteArray(1, '\3') + text.toUtf8()};
}

// The bytes of a literal, its NULs included.
template <std::size_t N>
QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// Runs `action` while every file write beyond `bytes` fails, as on a full
// disk.
template <typename Action>
void withFileSizeLimit(rlim_t bytes, Action &&action)
{
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = bytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    action();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Id3v2TagTest : public ::testing::Test {
protected:
    // A copy of a tagless MPEG file with `front` before its audio and `end`
    // after it.
    QString makeFile(const QByteArray &front, const QByteArray &end = {})
    {
        const QString path = folder.filePath(QStringLiteral("song%1.mp3").arg(++made));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(front + audio + end);
        return path;
    }

    QTemporaryDir folder;
    QByteArray audio = bytesOf(kData + QStringLiteral("/tone_1k.mp3"));
    int made = 0;
};

TEST_F(Id3v2TagTest, ReadsTheFieldsOfVersion3And4Tags)
{
    const QString longTitle = QStringLiteral("A title far longer than thirty characters, ünïcode");
    const QString v3 = makeFile(id3v2Tag(3, {latin1("TIT2", "Morning"), latin1("TPE1", "Caf\xE9 Band"),
                                             latin1("TALB", "Album"), latin1("TYER", "1999"),
                                             latin1("TCON", "(17)"), latin1("TRCK", "3/12"),
                                             {"COMM", raw("\0eng\0A note")}}));
    const QString v4 = makeFile(id3v2Tag(4, {utf8("TIT2", longTitle), utf8("TDRC", QStringLiteral("2001-05-03")),
                                             utf8("TCON", QStringLiteral("Rock"))}));
    const QString unknownGenre = makeFile(id3v2Tag(4, {utf8("TCON", QStringLiteral("Not a genre"))}));

    const auto first = readId3v2Tag(v3);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->title, QStringLiteral("Morning"));
    EXPECT_EQ(first->artist, QStringLiteral("Café Band"));
    EXPECT_EQ(first->album, QStringLiteral("Album"));
    EXPECT_EQ(first->year, QStringLiteral("1999"));
    EXPECT_EQ(first->comment, QStringLiteral("A note"));
    EXPECT_EQ(first->genre, 17);
    EXPECT_EQ(first->track, 3);

    const auto second = readId3v2Tag(v4);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->title, longTitle) << "not cut to a version 1 field";
    EXPECT_EQ(second->year, QStringLiteral("2001"));
    EXPECT_EQ(second->genre, 17) << "a genre by name";
    EXPECT_EQ(second->artist, QString());
    EXPECT_EQ(readId3v2Tag(unknownGenre)->genre, 148);

    for (const QString &none : {kData + QStringLiteral("/with_id3v1.mp3"), makeFile({}),
                                folder.filePath(QStringLiteral("missing.mp3")), makeFile("ID3 but not a tag")})
        EXPECT_FALSE(readId3v2Tag(none).has_value()) << none.toStdString();
}

TEST_F(Id3v2TagTest, AWriteChangesOneFieldAndKeepsTheRestOfTheFile)
{
    const QByteArray version1 = QByteArray("TAG") + QByteArray(125, 'v');
    const Frame picture{"APIC", raw("\0image/png\0\3\0") + QByteArray(64, 'p')};
    const QString path = makeFile(id3v2Tag(3, {latin1("TIT2", "Old"), latin1("TPE1", "Kept Artist"), picture}),
                                  version1);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);

    TagFields fields;
    fields.title = QStringLiteral("Nouveau titre ☕ well beyond thirty characters");
    EXPECT_EQ(writeId3v2Field(path, TagField::Title, fields), 0);
    const auto read = readId3v2Tag(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->title, fields.title);
    EXPECT_EQ(read->artist, QStringLiteral("Kept Artist")) << "only the field that was set";

    const QByteArray bytes = bytesOf(path);
    EXPECT_EQ(bytes.mid(3, 1), QByteArray(1, '\3')) << "still a version 2.3 tag";
    EXPECT_TRUE(bytes.contains(picture.body)) << "other frames are kept";
    EXPECT_TRUE(bytes.endsWith(audio + version1)) << "the audio and the version 1 block are untouched";
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the file keeps its mode";

    fields.genre = 8;
    fields.track = 4;
    EXPECT_EQ(writeId3v2Field(path, TagField::Genre, fields), 0);
    EXPECT_EQ(writeId3v2Field(path, TagField::Track, fields), 0);
    EXPECT_EQ(readId3v2Tag(path)->genre, 8);
    EXPECT_EQ(readId3v2Tag(path)->track, 4);

    const QString plain = makeFile({}, version1);
    const QByteArray overlong = raw("ID3\3\0\0\x7f\x7f\x7f\x7f");
    const QString bogus = makeFile(overlong);
    for (const QString &left : {plain, bogus})
        EXPECT_EQ(writeId3v2Field(left, TagField::Title, fields), 0);
    EXPECT_EQ(bytesOf(plain), audio + version1) << "no version 2 tag is added";
    EXPECT_EQ(bytesOf(bogus), overlong + audio) << "a header that claims the audio is no tag";
}

TEST_F(Id3v2TagTest, AWriteThatFailsLeavesTheFileAsItWas)
{
    const QString path = makeFile(id3v2Tag(4, {utf8("TIT2", QStringLiteral("Before"))}, 0));
    const QByteArray before = bytesOf(path);

    TagFields fields;
    fields.title = QString(2000, QLatin1Char('x'));
    std::int32_t result = 0;
    withFileSizeLimit(4096, [&] { result = writeId3v2Field(path, TagField::Title, fields); });
    EXPECT_EQ(result, 75);
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1) << "nothing left beside it";
}

TEST_F(Id3v2TagTest, AnEntryShowsTheVersion2TagOfAFileWithoutVersion1AndKeepsItInStep)
{
    FakeEngine engine;  // no "TAG" block for any file
    const QString onlyV2 = makeFile(id3v2Tag(3, {latin1("TIT2", "Front Title"), latin1("TPE1", "Front Artist"),
                                                 latin1("TRCK", "9")}));
    engine.addFile(onlyV2);
    PlayListEntry entry(engine);
    ASSERT_EQ(entry.SetFileName(onlyV2), 0);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Front Title"));
    EXPECT_EQ(entry.ID3Artist(), QStringLiteral("Front Artist"));
    EXPECT_EQ(entry.ID3Track(), 9);

    entry.setID3Album(QStringLiteral("New Album"));
    EXPECT_EQ(readId3v2Tag(onlyV2)->album, QStringLiteral("New Album"));
    const auto writes = engine.callsTo("set_id3_tag");
    ASSERT_EQ(writes.size(), 1u);
    const QByteArray block = writes[0].arguments[1].toByteArray();
    EXPECT_EQ(block.mid(3, 11), QByteArray("Front Title")) << "the version 1 block gets the fields shown";
    EXPECT_EQ(block.mid(63, 9), QByteArray("New Album"));
    EXPECT_EQ(static_cast<unsigned char>(block.at(126)), 9);

    // A file with both tags shows its version 1 tag.
    const QString both = makeFile(id3v2Tag(3, {latin1("TIT2", "Version 2")}));
    engine.addFile(both).tag = FakeEngine::tagBlock("Version 1");
    ASSERT_EQ(entry.SetFileName(both), 0);
    EXPECT_EQ(entry.ID3Title(), QStringLiteral("Version 1"));

    // A version 2 tag that cannot be written: the version 1 block is not
    // written either, and the caller hears of it.
    engine.calls.clear();
    int number = 0;
    withFileSizeLimit(1024, [&] {
        try {
            entry.setID3Title(QStringLiteral("Refused"));
        } catch (const RaisedError &error) {
            number = error.number();
        }
    });
    EXPECT_EQ(number, 75);
    EXPECT_TRUE(engine.callsTo("set_id3_tag").empty());
    EXPECT_EQ(readId3v2Tag(both)->title, QStringLiteral("Version 2"));
}

}  // namespace
}  // namespace SonbrelMP3
