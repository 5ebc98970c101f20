#include "playlist/FrameInfo.h"
#include "playlist/TagBlock.h"

#include "FakeEngine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace SonbrelMP3 {
namespace {

using testing::FakeEngine;

QByteArray bytesOf(const TagBlock &block, int offset, int width)
{
    return QByteArray(block.data() + offset, width);
}

TEST(TagBlock, OnlyAnExactMarkerIsATag)
{
    EXPECT_TRUE(parseTagBlock(FakeEngine::tagBlock("x")).has_value());
    EXPECT_FALSE(parseTagBlock(FakeEngine::rawBlock("tag rest")).has_value());
    EXPECT_FALSE(parseTagBlock(FakeEngine::rawBlock("TAg")).has_value());
    EXPECT_FALSE(parseTagBlock(FakeEngine::rawBlock(" TAG")).has_value());
    EXPECT_FALSE(parseTagBlock(TagBlock{}).has_value());
}

TEST(TagBlock, ReadsFieldsWithNulsAsSpacesUntrimmed)
{
    const auto fields = parseTagBlock(FakeEngine::tagBlock(
        "Title", QByteArray("A\0B", 3), "  Album  ", "1999", "Comment", 255));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->title, QStringLiteral("Title") + QString(25, QLatin1Char(' ')));
    EXPECT_EQ(fields->artist.left(4), QStringLiteral("A B "));
    EXPECT_EQ(fields->album.left(9), QStringLiteral("  Album  "));
    EXPECT_EQ(fields->year, QStringLiteral("1999"));
    EXPECT_EQ(fields->comment.size(), 30);
    EXPECT_EQ(fields->genre, 255);
}

TEST(TagBlock, TextIsLatin1InTheBlock)
{
    const auto fields = parseTagBlock(FakeEngine::tagBlock("Caf\xE9"));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->title.left(4), QStringLiteral("Café"));

    TagFields out;
    out.title = QStringLiteral("Café ☕ 🎵x");  // a BMP and a non-BMP character
    const TagBlock block = buildTagBlock(out);
    EXPECT_EQ(bytesOf(block, 3, 10), QByteArray("Caf\xE9 ? ?x "));
}

TEST(TagBlock, WritesSpacePaddedAndCutFields)
{
    TagFields fields;
    fields.title = QString(40, QLatin1Char('t'));
    fields.artist = QStringLiteral("Artist");
    fields.album = QString();
    fields.year = QStringLiteral("199999");
    fields.comment = QString(30, QLatin1Char('c'));
    fields.genre = 17;
    const TagBlock block = buildTagBlock(fields);

    EXPECT_EQ(bytesOf(block, 0, 3), QByteArray("TAG"));
    EXPECT_EQ(bytesOf(block, 3, 30), QByteArray(30, 't'));
    EXPECT_EQ(bytesOf(block, 33, 30), QByteArray("Artist") + QByteArray(24, ' '));
    EXPECT_EQ(bytesOf(block, 63, 30), QByteArray(30, ' '));
    EXPECT_EQ(bytesOf(block, 93, 4), QByteArray("1999"));
    EXPECT_EQ(bytesOf(block, 97, 30), QByteArray(30, 'c'));
    EXPECT_EQ(static_cast<unsigned char>(block[127]), 17);
    EXPECT_EQ(std::memchr(block.data(), 0, 127), nullptr) << "fields are never padded with NUL";

    fields.genre = 255;
    EXPECT_EQ(static_cast<unsigned char>(buildTagBlock(fields)[127]), 255);
}

TEST(TagBlock, AVersion11TrackNumberEndsTheComment)
{
    const QByteArray nul(1, '\0');
    struct Case {
        QByteArray commentBytes;  // the block's 30 comment bytes
        int comment;              // the width read as comment
        int track;
    };
    for (const Case &test : {Case{QByteArray(28, 'c') + nul + char(5), 28, 5},
                             Case{QByteArray(28, 'c') + nul + char(255), 28, 255},
                             Case{QByteArray(29, 'c') + char(5), 30, 0},
                             Case{QByteArray(28, 'c') + nul + nul, 30, 0}}) {
        const auto fields = parseTagBlock(FakeEngine::tagBlock("T", {}, {}, {}, test.commentBytes));
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->comment.size(), test.comment);
        EXPECT_EQ(fields->track, test.track);
    }

    TagFields fields;
    fields.comment = QString(30, QLatin1Char('c'));
    for (const auto &[track, bytes] : {std::pair<int, QByteArray>{12, QByteArray(28, 'c') + nul + char(12)},
                                       {0, QByteArray(30, 'c')},
                                       {300, QByteArray(30, 'c')}}) {
        fields.track = static_cast<std::int16_t>(track);
        EXPECT_EQ(bytesOf(buildTagBlock(fields), 97, 30), bytes) << track;
    }
}

TEST(FrameInfoConversion, NumbersRoundHalfToEvenAndMustFit)
{
    EXPECT_EQ(toInt16(u" 12 "), 12);
    EXPECT_EQ(toInt16(u"+5"), 5);
    EXPECT_EQ(toInt16(u"2.5"), 2);
    EXPECT_EQ(toInt16(u"3.5"), 4);
    EXPECT_EQ(toInt16(u"-2.5"), -2);
    EXPECT_EQ(toInt16(u"32767"), 32767);
    EXPECT_EQ(toInt16(u"32768"), std::nullopt);
    EXPECT_EQ(toInt16(u"-32769"), std::nullopt);
    EXPECT_EQ(toInt32(u"2147483647"), 2147483647);
    EXPECT_EQ(toInt32(u"2147483648"), std::nullopt);
    for (const char16_t *bad : {u"", u" ", u"abc", u"12abc", u"1 2", u"0x10", u"inf", u"-inf",
                                u"nan", u"1e400", u"--1", u"+"})
        EXPECT_EQ(toInt32(bad), std::nullopt) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(toFloat(u"2.5"), 2.5F);
    EXPECT_EQ(toFloat(u"1e39"), std::nullopt);
    EXPECT_EQ(toBoolean(u"0"), false);
    EXPECT_EQ(toBoolean(u"-1"), true);
    EXPECT_EQ(toBoolean(u"2"), true);
    EXPECT_EQ(toBoolean(u"TRUE"), true);
    EXPECT_EQ(toBoolean(u"yes"), std::nullopt);
}

TEST(FrameInfoConversion, FloatsPrintShortest)
{
    EXPECT_EQ(floatToText(1.0F), QStringLiteral("1"));
    EXPECT_EQ(floatToText(2.5F), QStringLiteral("2.5"));
    EXPECT_EQ(floatToText(0.0F), QStringLiteral("0"));
    EXPECT_EQ(floatToText(0.1F), QStringLiteral("0.1"));
}

FrameInfoBuffer bufferOf(const QByteArray &text)
{
    FrameInfoBuffer buffer{};
    std::memcpy(buffer.data(), text.constData(),
                std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(text.size())));
    return buffer;
}

TEST(FrameInfoParse, ReadsTheListedPositions)
{
    const FrameInfoFields info = parseFrameInfo(
        bufferOf("2.5|2|x|64000|22050|1|x|Single Channel|x|1|0|x|123456|789|42|extra|fields"));
    EXPECT_EQ(info.mpegVersion, 2.5F);
    EXPECT_EQ(info.layer, 2);
    EXPECT_EQ(info.dataRate, 64000);
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.crcPresent, true);
    EXPECT_EQ(info.channelMode, QStringLiteral("Single Channel"));
    EXPECT_EQ(info.copyrighted, true);
    EXPECT_EQ(info.original, false);
    EXPECT_EQ(info.fileSize, 123456);
    EXPECT_EQ(info.frames, 789);
    EXPECT_EQ(info.trackLength, 42);
}

TEST(FrameInfoParse, ShortOrGarbledTextSetsOnlyWhatConverts)
{
    FrameInfoFields info = parseFrameInfo(bufferOf("1|3|0|abc"));
    EXPECT_EQ(info.mpegVersion, 1.0F);
    EXPECT_EQ(info.layer, 3);
    EXPECT_FALSE(info.dataRate);
    EXPECT_FALSE(info.sampleRate);
    EXPECT_FALSE(info.channelMode);
    EXPECT_FALSE(info.trackLength);

    info = parseFrameInfo(bufferOf("\xff\xfe|\x01|||||||||||||99999999999"));
    EXPECT_FALSE(info.mpegVersion);
    EXPECT_FALSE(info.layer);
    EXPECT_EQ(info.channelMode, QString());
    EXPECT_FALSE(info.trackLength);

    info = parseFrameInfo(FrameInfoBuffer{});
    EXPECT_FALSE(info.mpegVersion);
    EXPECT_FALSE(info.channelMode);
}

TEST(FrameInfoParse, BufferWithoutNulIsReadToItsEndOnly)
{
    FrameInfoBuffer buffer;
    buffer.fill('7');
    const QByteArray start = "1|3|0|128000|44100|0|0|Stereo|0|0|1|0|5|6|";
    std::memcpy(buffer.data(), start.constData(), static_cast<std::size_t>(start.size()));
    const FrameInfoFields info = parseFrameInfo(buffer);
    EXPECT_EQ(info.frames, 6);
    EXPECT_FALSE(info.trackLength) << "the last field runs to the end of the buffer and overflows";

    buffer[buffer.size() - 1] = '|';
    buffer[buffer.size() - 2] = '3';
    std::memset(buffer.data() + start.size(), '0', buffer.size() - start.size() - 2);
    EXPECT_EQ(parseFrameInfo(buffer).trackLength, 3);
}

}  // namespace
}  // namespace SonbrelMP3
