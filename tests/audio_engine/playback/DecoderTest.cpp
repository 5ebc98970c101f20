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
        ASSERT_TRUE(seeking->seek(target));
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
