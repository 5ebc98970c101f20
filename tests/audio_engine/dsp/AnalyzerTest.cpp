#include "Analyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace audioengine {
namespace {

using Frames = std::array<float, 2 * kWaveSamples>;

// A sine of `cycles` periods over the window in each channel (amplitude 0 leaves a channel silent).
Frames tone(double cycles, float left, float right, Frames frames = {})
{
    for (int n = 0; n < kWaveSamples; ++n) {
        const auto s = static_cast<float>(std::sin(2.0 * std::numbers::pi * cycles * n / kWaveSamples));
        frames[2 * n] += left * s;
        frames[2 * n + 1] += right * s;
    }
    return frames;
}

class AnalyzerTest : public ::testing::Test {
protected:
    SpectrumAnalyzer analyzer;
    std::array<std::int16_t, kChannelSelectors * kWaveSamples> wave{};
    std::array<float, kChannelSelectors * kSpectrumBins> spectrum{};

    void analyze(const Frames &frames) { analyzer.analyze(frames.data(), wave.data(), spectrum.data()); }
    float bin(int k, int selector) const { return spectrum[k * kChannelSelectors + selector]; }
    int peakBin(int selector) const
    {
        int best = 0;
        for (int k = 1; k < kSpectrumBins; ++k) {
            best = bin(k, selector) > bin(best, selector) ? k : best;
        }
        return best;
    }
};

TEST_F(AnalyzerTest, ToneLandsInItsBinForEachSelector)
{
    analyze(tone(1000.0 * kWaveSamples / 44100.0, 0.5f, 0.5f));
    for (int c = 0; c < kChannelSelectors; ++c) {
        EXPECT_EQ(peakBin(c), 6) << "selector " << c;
    }
    // Left only at bin 6, right only at bin 20: the mix shows both at half.
    analyze(tone(20, 0.0f, 1.0f, tone(6, 1.0f, 0.0f)));
    EXPECT_NEAR(bin(6, 1), 1.0f, 1e-3f);
    EXPECT_LT(bin(6, 2), 1e-3f);
    EXPECT_NEAR(bin(20, 2), 1.0f, 1e-3f);
    EXPECT_LT(bin(20, 1), 1e-3f);
    EXPECT_NEAR(bin(6, 0), 0.5f, 1e-3f);
    EXPECT_NEAR(bin(20, 0), 0.5f, 1e-3f);
}

TEST_F(AnalyzerTest, SpectrumStaysWithinZeroToOne)
{
    analyze(Frames{});
    EXPECT_TRUE(std::all_of(spectrum.begin(), spectrum.end(), [](float v) { return v == 0.0f; }));

    // A bin-centred full-scale sine reads 1; the Hann window spreads half to each neighbour.
    analyze(tone(16, 1.0f, 1.0f));
    EXPECT_NEAR(bin(16, 0), 1.0f, 1e-3f);
    EXPECT_NEAR(bin(15, 0), 0.5f, 1e-3f);
    EXPECT_LT(bin(30, 0), 1e-3f);

    // Full-scale DC reads 2 before limiting; NaN and infinity read as silence and full scale.
    Frames extreme;
    extreme.fill(1.0f);
    extreme[5] = std::numeric_limits<float>::quiet_NaN();
    extreme[6] = -std::numeric_limits<float>::infinity();
    analyze(extreme);
    EXPECT_EQ(bin(0, 0), 1.0f);
    EXPECT_TRUE(std::all_of(spectrum.begin(), spectrum.end(), [](float v) { return v >= 0.0f && v <= 1.0f; }));
}

TEST_F(AnalyzerTest, WaveIsScaledAndLaidOutBySelector)
{
    Frames frames{};
    frames[2 * 10] = 0.5f;        // left, frame 10
    frames[2 * 20 + 1] = -0.25f;  // right, frame 20
    frames[2 * 30] = 2.0f;
    frames[2 * 30 + 1] = -2.0f;
    frames[2 * 40] = std::numeric_limits<float>::quiet_NaN();
    analyze(frames);
    auto at = [&](int i, int c) { return wave[i * kChannelSelectors + c]; };
    EXPECT_EQ((std::array{at(10, 0), at(10, 1), at(10, 2)}), (std::array<std::int16_t, 3>{8192, 16384, 0}));
    EXPECT_EQ((std::array{at(20, 0), at(20, 1), at(20, 2)}), (std::array<std::int16_t, 3>{-4096, 0, -8192}));
    EXPECT_EQ((std::array{at(30, 0), at(30, 1), at(30, 2)}), (std::array<std::int16_t, 3>{0, 32767, -32768}));
    EXPECT_EQ((std::array{at(40, 0), at(40, 1)}), (std::array<std::int16_t, 2>{0, 0}));
}

TEST(LevelTest, PeakBecomesClampedLevel)
{
    EXPECT_EQ(levelFromPeak(0.5f), 16384);
    EXPECT_EQ(levelFromPeak(-1.0f), 32767);
    EXPECT_EQ(levelFromPeak(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(levelFromPeak(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace audioengine
