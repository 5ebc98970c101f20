#include "Decoder.h"

#include "sonbrel_mp3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace audioengine {
namespace {

std::string dataFile(const char *name)
{
    return std::string(ENGINE_TEST_DATA_DIR) + "/" + name;
}

std::vector<float> decodeAll(Decoder &decoder)
{
    std::vector<float> samples;
    std::vector<float> block(2 * 1000);
    for (;;) {
        const std::size_t frames = decoder.read(block.data(), 1000);
        samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * frames));
        if (frames < 1000)
            return samples;
    }
}

TEST(Decoder, DecodesTheMusicWithoutEncoderDelayOrPadding)
{
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(Decoder::open(dataFile("tone_1k.mp3").c_str(), decoder), 0);
    EXPECT_EQ(decoder->sampleRate(), 44100);
    EXPECT_EQ(decoder->lengthFrames(), 88200);
    const std::vector<float> samples = decodeAll(*decoder);
    EXPECT_EQ(samples.size(), 2u * 88200) << "exactly the 2 s that were encoded";
    float peak = 0.0f;
    for (float sample : samples)
        peak = std::max(peak, std::fabs(sample));
    EXPECT_NEAR(peak, 0.5f, 0.03f);
    EXPECT_EQ(decoder->read(std::vector<float>(200).data(), 100), 0u) << "the end stays the end";
}

TEST(Decoder, SeeksToTheSample)
{
    std::unique_ptr<Decoder> whole;
    ASSERT_EQ(Decoder::open(dataFile("steps.mp3").c_str(), whole), 0);
    const std::vector<float> reference = decodeAll(*whole);
    ASSERT_GT(reference.size(), 2u * 170000);

    std::unique_ptr<Decoder> seeking;
    ASSERT_EQ(Decoder::open(dataFile("steps.mp3").c_str(), seeking), 0);
    std::vector<float> block(2 * 256);
    // Forwards, backwards, into the first frame, and off the frame grid.
    for (std::int64_t target : {123457, 44100, 7, 100000, 170001, 0}) {
        ASSERT_EQ(seeking->seek(target), target);
        ASSERT_EQ(seeking->read(block.data(), 256), 256u);
        for (std::size_t i = 0; i < block.size(); ++i)
            ASSERT_NEAR(block[i], reference[2 * static_cast<std::size_t>(target) + i], 1e-4f)
                << "target " << target << " sample " << i;
    }
}

TEST(Decoder, SpreadsMonoToBothChannelsAndKeepsOtherRates)
{
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(Decoder::open(dataFile("mono_mpeg2.mp3").c_str(), decoder), 0);
    EXPECT_EQ(decoder->sampleRate(), 22050);
    const std::vector<float> samples = decodeAll(*decoder);
    ASSERT_FALSE(samples.empty());
    for (std::size_t i = 0; i < samples.size(); i += 2)
        ASSERT_EQ(samples[i], samples[i + 1]);

    for (const auto &[name, rate] : {std::pair{"mpeg25.mp3", 11025}, std::pair{"layer2.mp2", 48000}}) {
        ASSERT_EQ(Decoder::open(dataFile(name).c_str(), decoder), 0) << name;
        EXPECT_EQ(decoder->sampleRate(), rate) << name;
        EXPECT_NEAR(static_cast<double>(decodeAll(*decoder).size()) / 2 / rate, 1.0, 0.06) << name;
    }
}

// Crossings of zero going up per second: the frequency of a steady tone.
double toneHz(const std::vector<float> &stereo, int rate, double from, double to)
{
    const auto first = static_cast<std::size_t>(from * rate);
    const auto last = std::min(static_cast<std::size_t>(to * rate), stereo.size() / 2);
    int crossings = 0;
    for (std::size_t i = first + 1; i < last; ++i)
        crossings += stereo[2 * (i - 1)] < 0.0f && stereo[2 * i] >= 0.0f;
    return crossings / (static_cast<double>(last - first) / rate);
}

TEST(Decoder, EachPartOfAStreamThatChangesItsRateKeepsItsPitchAndSpeed)
{
    // 1000 Hz at 44100 Hz for 0.5 s (the encoder's delay cut), 500 Hz at
    // 11025 Hz and 1500 Hz at 48000 Hz, 6912 and 25344 samples as encoded.
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(Decoder::open(dataFile("rate_change.mp3").c_str(), decoder), 0);
    ASSERT_EQ(decoder->sampleRate(), 44100);
    const std::vector<float> samples = decodeAll(*decoder);
    const double seconds = static_cast<double>(samples.size()) / 2 / 44100;
    EXPECT_NEAR(seconds, 0.5 + 6912.0 / 11025 + 25344.0 / 48000, 0.01);
    EXPECT_NEAR(toneHz(samples, 44100, 0.05, 0.45), 1000.0, 10.0);
    EXPECT_NEAR(toneHz(samples, 44100, 0.65, 1.0), 500.0, 10.0);
    EXPECT_NEAR(toneHz(samples, 44100, 1.2, 1.55), 1500.0, 10.0);
    EXPECT_NEAR(static_cast<double>(decoder->lengthFrames()) / 44100, seconds, 0.03);

    // A seek into the last part lands there, on the MPEG frame.
    ASSERT_NEAR(static_cast<double>(decoder->seek(1300 * 441 / 10)) / 44100, 1.3, 0.03);
    std::vector<float> block(2 * 8820);
    ASSERT_EQ(decoder->read(block.data(), 8820), 8820u);
    EXPECT_NEAR(toneHz(block, 44100, 0.0, 0.2), 1500.0, 15.0);
}

TEST(Decoder, KnowsTheLastFrameAsSuchWhenTheLengthIsAWholeNumberOfReads)
{
    // 45056 frames: 44 reads of 1024.
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(Decoder::open(dataFile("whole_chunks.mp3").c_str(), decoder), 0);
    std::vector<float> block(2 * 1024);
    for (int read = 1; read <= 44; ++read) {
        ASSERT_FALSE(decoder->atEnd()) << "before read " << read;
        ASSERT_EQ(decoder->read(block.data(), 1024), 1024u) << "read " << read;
    }
    EXPECT_TRUE(decoder->atEnd()) << "known with the last frame, not one read later";
    EXPECT_EQ(decoder->read(block.data(), 1024), 0u);
    EXPECT_EQ(decoder->lengthFrames(), 45056);
}

TEST(Decoder, StreamsItFindsAndCountsItMistrustsOpenAndSeekSanely)
{
    struct Case {
        const char *name;
        std::int64_t frames; // decoded, at 44100 Hz
    };
    // Free format, a long junk prefix, CRC with an Info frame, two files
    // joined (the second one's Info frame plays as a silent frame), an Info
    // frame that claims 0xFFFFFFFF frames (its count ignored, so the padding
    // stays), a mono part then a stereo one.
    const Case cases[] = {{"free_format.mp3", 22050}, {"junk_prefix.mp3", 22050}, {"crc_info.mp3", 22050},
                          {"joined.mp3", 22050 + 24192 + 1152}, {"huge_count.mp3", 21 * 1152 - 1105},
                          {"channel_change.mp3", 22050 + 21 * 1152}};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        std::unique_ptr<Decoder> decoder;
        ASSERT_EQ(Decoder::open(dataFile(test.name).c_str(), decoder), 0);
        EXPECT_EQ(static_cast<std::int64_t>(decodeAll(*decoder).size() / 2), test.frames);
        // Within the encoder's delay and padding of the truth, never a
        // figure from a count the stream belies; a seek past the end stops
        // there.
        ASSERT_EQ(Decoder::open(dataFile(test.name).c_str(), decoder), 0);
        EXPECT_NEAR(static_cast<double>(decoder->lengthFrames()), static_cast<double>(test.frames), 2 * 1152.0);
        EXPECT_LE(decoder->seek(std::int64_t{1} << 40), decoder->lengthFrames());
        std::vector<float> block(2 * 1024);
        EXPECT_LT(decoder->read(block.data(), 1024), 1024u);
        EXPECT_TRUE(decoder->atEnd());
    }
}

TEST(Decoder, ACutFileEndsEarlyWithoutError)
{
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(Decoder::open(dataFile("truncated.mp3").c_str(), decoder), 0);
    const std::size_t frames = decodeAll(*decoder).size() / 2;
    EXPECT_GT(frames, 80000u);
    EXPECT_LE(frames, 88200u);
}

TEST(Decoder, RefusesWhatItCannotOpen)
{
    std::unique_ptr<Decoder> decoder;
    EXPECT_EQ(Decoder::open(nullptr, decoder), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(Decoder::open("", decoder), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(Decoder::open("/nonexistent/folder/song.mp3", decoder), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(Decoder::open(ENGINE_TEST_DATA_DIR, decoder), SBMP3_ERR_NOT_AUDIO);
    const auto empty = std::filesystem::temp_directory_path() / "sonbrel-decoder-empty.mp3";
    std::ofstream(empty).close();
    EXPECT_EQ(Decoder::open(empty.c_str(), decoder), SBMP3_ERR_NOT_AUDIO);
    std::filesystem::remove(empty);
    EXPECT_EQ(decoder, nullptr);
}

} // namespace
} // namespace audioengine
