// The frame header decoder and the stream scanner over streams built in memory.
#include "FrameInfoText.h"
#include "StreamScanner.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace audioengine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Header = std::array<std::uint8_t, 4>;

// MPEG-1 Layer III, 44100 Hz, joint stereo: 417 bytes at 128 kbit/s, 522 at 160.
constexpr Header kCbr128{0xFF, 0xFB, 0x90, 0x64};
constexpr Header k48kHz{0xFF, 0xFB, 0x94, 0x64};

// stream, then count frames with that header and zero bodies.
Bytes frames(int count, const Header &header = kCbr128, Bytes stream = {})
{
    const std::uint32_t length = decodeFrameHeader(header.data())->frameLength;
    for (int i = 0; i < count; ++i) {
        stream.insert(stream.end(), header.begin(), header.end());
        stream.resize(stream.size() + length - header.size());
    }
    return stream;
}

StreamStart locate(const Bytes &bytes)
{
    MemorySource source(bytes);
    return locateStream(source);
}

StreamScan summarize(const Bytes &bytes)
{
    MemorySource source(bytes);
    return summarizeStream(source);
}

// Five audio frames after a frame with a Xing, Info or VBRI tag.
Bytes taggedStream(const char *name, std::uint32_t flags, std::uint32_t count, std::uint32_t byteCount)
{
    Bytes stream = frames(6);
    const bool vbri = std::strcmp(name, "VBRI") == 0;
    const std::size_t at = 36;  // after 32 bytes of stereo side information, or as VBRI
    const std::array<std::uint32_t, 3> xing{flags, count, byteCount};
    const std::array<std::uint32_t, 3> vbriFields{0, byteCount, count};  // from byte 6 of the tag
    std::memcpy(stream.data() + at, name, 4);
    for (std::size_t field = 0; field < 3; ++field)
        for (std::size_t i = 0; i < 4; ++i)
            stream[at + (vbri ? 6 : 4) + field * 4 + i] =
                static_cast<std::uint8_t>((vbri ? vbriFields : xing)[field] >> (24 - 8 * i));
    return stream;
}

TEST(FrameHeaderTest, DecodesLayerIAndRefusesReservedValues)
{
    const auto layer1 = decodeFrameHeader(Header{0xFF, 0xFF, 0x90, 0x00}.data());  // 288 kbit/s
    ASSERT_TRUE(layer1);
    EXPECT_EQ(layer1->frameLength, 312u);
    EXPECT_EQ(layer1->samplesPerFrame(), 384u);

    // Free format decodes, its length left to the stream.
    const auto free = decodeFrameHeader(Header{0xFF, 0xFB, 0x00, 0x64}.data());
    ASSERT_TRUE(free);
    EXPECT_TRUE(free->freeFormat);
    EXPECT_EQ(free->frameLength, 0u);

    const Header refused[] = {
        {0xFF, 0xEB, 0x90, 0x64},  // version 01
        {0xFF, 0xF9, 0x90, 0x64},  // layer 00
        {0xFF, 0xFB, 0xF0, 0x64},  // bitrate index 15
        {0xFF, 0xFB, 0x9C, 0x64},  // sample rate index 3
        {0xFF, 0xFB, 0x90, 0x66},  // emphasis 2
        {0xFE, 0xFB, 0x90, 0x64},  // no sync
    };
    for (const Header &bytes : refused)
        EXPECT_FALSE(decodeFrameHeader(bytes.data()));
}

TEST(LocateStreamTest, NeedsThreeFramesOrAShortRunFromStartToEnd)
{
    const Bytes junk(100, ' ');
    EXPECT_EQ(locate(frames(3, kCbr128, junk)).offset, 100u);
    EXPECT_EQ(locate(frames(2)).status, ScanStatus::Audio);
    EXPECT_EQ(locate(frames(2, kCbr128, junk)).status, ScanStatus::NotAudio);
    Bytes twoAndMore = frames(2);
    twoAndMore.resize(twoAndMore.size() + 10);
    EXPECT_EQ(locate(twoAndMore).status, ScanStatus::NotAudio);
    EXPECT_EQ(locate(frames(2, k48kHz, frames(2))).status, ScanStatus::NotAudio);
    EXPECT_EQ(locate({}).status, ScanStatus::NotAudio);

    // Only within the window after the front tag, which must fit into the file.
    EXPECT_EQ(locate(frames(3, kCbr128, Bytes(kProbeWindow - 1))).status, ScanStatus::Audio);
    EXPECT_EQ(locate(frames(3, kCbr128, Bytes(kProbeWindow))).status, ScanStatus::NotAudio);
    EXPECT_EQ(locate(frames(3, kCbr128, {'I', 'D', '3', 3, 0, 0, 0, 0x7F, 0x7F, 0x7F})).status,
              ScanStatus::NotAudio);
}

TEST(LocateStreamTest, RefusesRandomBytes)
{
    std::mt19937 random(7);
    Bytes bytes(8192);
    for (int file = 0; file < 300; ++file) {
        for (auto &byte : bytes)
            byte = static_cast<std::uint8_t>(random());
        ASSERT_EQ(locate(bytes).status, ScanStatus::NotAudio) << "file " << file;
    }
}

TEST(SummarizeStreamTest, StepsOverTagsAtBothEnds)
{
    // An ID3v2.4 tag with a footer (10 + 300 + 10 bytes), a short run that must
    // fit exactly, an APE tag with header (32 + 32 + 32) and an ID3v1 block.
    Bytes stream = frames(2, kCbr128, {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 44});
    stream.insert(stream.begin() + 10, 310, 0);
    const std::size_t ape = stream.size() + 64;
    stream.resize(ape + 32 + 128, 0xFF);
    std::memcpy(stream.data() + ape, "APETAGEX\0\0\0\0\x40\0\0\0\0\0\0\0\0\0\0\x80", 24);
    std::memcpy(stream.data() + ape + 32, "TAG", 3);
    EXPECT_EQ(locate(stream).offset, 320u);
    const StreamScan scan = summarize(stream);
    ASSERT_EQ(scan.status, ScanStatus::Audio);
    EXPECT_EQ(scan.summary.frames, 2u);
    EXPECT_EQ(scan.summary.fileSize, stream.size());
}

TEST(SummarizeStreamTest, CountsOnlyWholeFramesOfTheStream)
{
    // Junk with a lone 160 kbit/s sync that no frame follows, four more
    // frames, then one cut short.
    Bytes stream = frames(5);
    stream.insert(stream.end(), {0x00, 0xFF, 0xFB, 0xA0, 0x64, 0x12, 0x00, 0x00});
    stream = frames(5, kCbr128, stream);
    stream.resize(stream.size() - 200);
    const StreamScan scan = summarize(stream);
    ASSERT_EQ(scan.status, ScanStatus::Audio);
    EXPECT_EQ(scan.summary.frames, 9u);
    EXPECT_EQ(scan.summary.audioBytes, 9u * 417);
    EXPECT_FALSE(scan.summary.variableBitrate);
    EXPECT_EQ(scan.summary.dataRate(), 128000u);
}

TEST(SummarizeStreamTest, TakesOnlyAPlausibleCountFromTheEncoderTag)
{
    // Six frames claimed for five: the count is taken as it stands.
    for (const char *name : {"Xing", "Info", "VBRI"}) {
        const StreamScan scan = summarize(taggedStream(name, 3, 6, 6 * 417));
        EXPECT_TRUE(scan.summary.countFromEncoderTag) << name;
        EXPECT_EQ(scan.summary.frames, 6u) << name;
        EXPECT_EQ(scan.summary.variableBitrate, name[0] != 'I') << name;
    }
    // No count, an absurd one, a stream longer than the file (cut short), far
    // shorter (another file joined on), or a VBR count without bytes to
    // check it against: the frames after the tag's frame are walked.
    for (const Bytes &stream : {taggedStream("Xing", 0, 6, 0), taggedStream("Xing", 1, 100000, 0),
                                taggedStream("Info", 3, 6, 7 * 417), taggedStream("Info", 3, 6, 3 * 417),
                                taggedStream("Xing", 1, 6, 0)}) {
        const StreamScan scan = summarize(stream);
        EXPECT_FALSE(scan.summary.countFromEncoderTag);
        EXPECT_EQ(scan.summary.frames, 5u);
    }
}

// A source that cannot read one byte.
class FailingSource final : public ByteSource {
public:
    FailingSource(const Bytes &bytes, std::uint64_t bad) : inner_(bytes), bad_(bad) {}
    std::uint64_t size() const override { return inner_.size(); }
    std::optional<Bytes> bytesAt(std::uint64_t offset, std::size_t length) override
    {
        if (offset <= bad_ && bad_ < offset + length)
            return std::nullopt;
        const auto bytes = inner_.bytesAt(offset, length);
        return offset < bad_ ? bytes->first(std::min<std::size_t>(bytes->size(), bad_ - offset)) : *bytes;
    }

private:
    MemorySource inner_;
    std::uint64_t bad_;
};

TEST(SummarizeStreamTest, ReportsReadErrorsAsSuch)
{
    const Bytes stream = frames(20);
    // The front tag, a frame header on the walk, the end tags.
    for (const std::uint64_t bad : {0ul, 12ul * 417, stream.size() - 1}) {
        FailingSource source(stream, bad);
        EXPECT_EQ(summarizeStream(source).status, ScanStatus::ReadError) << bad;
    }
}

TEST(FrameInfoTextTest, WritesEveryFieldInOrder)
{
    // MPEG-1 Layer II with CRC, private bit, dual channel, copyright, not
    // original, CCITT J.17 emphasis.
    StreamSummary summary = summarize(frames(3, {0xFF, 0xFC, 0x85, 0x8B})).summary;
    EXPECT_EQ(formatFrameInfo(summary), "1|2|CBR|128000|48000|1|CCITT J.17|Dual Channel|1|1|0|2|1152|3|0");
    summary.frames = 4'000'000'000;
    EXPECT_TRUE(formatFrameInfo(summary).ends_with("|4000000000|32767"));
}

}  // namespace
}  // namespace audioengine
