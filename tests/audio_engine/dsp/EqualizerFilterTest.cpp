#include "EqualizerFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace audioengine {
namespace {

constexpr int kRate = 44100;
constexpr float kInf = std::numeric_limits<float>::infinity(), kNaN = std::numeric_limits<float>::quiet_NaN();
const std::vector<int> kTenBands = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

std::vector<float> sine(double hz, std::size_t frames, float amplitude)
{
    std::vector<float> out(2 * frames);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * double(i / 2) / kRate));
    }
    return out;
}

std::vector<float> noise(std::size_t frames, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> out(2 * frames);
    std::generate(out.begin(), out.end(), [&] { return sample(random); });
    return out;
}

// Level in dB of one channel over `count` frames, relative to a sine of the given amplitude.
double levelDb(const std::vector<float> &frames, int channel, std::size_t from, std::size_t count, float amplitude)
{
    double sum = 0.0;
    for (std::size_t n = from; n < from + count; ++n) {
        sum += double{frames[2 * n + channel]} * frames[2 * n + channel];
    }
    return 10.0 * std::log10(sum / static_cast<double>(count) / (amplitude * amplitude / 2.0));
}

EqualizerSettings bands(std::vector<int> frequencies, std::vector<float> gains)
{
    EqualizerSettings settings;
    settings.frequencies = std::move(frequencies);
    std::copy(gains.begin(), gains.end(), settings.gains.begin());
    settings.enabled = true;
    return settings;
}

// Gain in dB the equalizer gives a steady sine in one channel, once the filters have settled.
double gainAt(const EqualizerSettings &settings, double hz, int channel = 0)
{
    EqualizerFilter equalizer;
    equalizer.configure(settings, kRate);
    auto signal = sine(hz, kRate / 2, 0.1f);
    equalizer.process(signal.data(), kRate / 2);
    return levelDb(signal, channel, kRate / 4, kRate / 4, 0.1f);
}

TEST(EqualizerFilterTest, BandsAndOverallGainsShapeTheResponse)
{
    const auto boost = bands({1000}, {12.0f});
    EXPECT_NEAR(gainAt(boost, 1000.0), 12.0, 1.0);
    EXPECT_NEAR(gainAt(boost, 100.0), 0.0, 1.0);
    EXPECT_NEAR(gainAt(bands({1000}, {kInf}), 1000.0), 0.0, 0.01);
    // Third-octave neighbours narrow a band: half its gain at sqrt(1000 × 1250),
    // far less at 1414 Hz, the edge of a lone band. Band order is the caller's.
    const auto narrow = bands({1250, 800, 1000}, {0.0f, 0.0f, 12.0f});
    EXPECT_NEAR(gainAt(narrow, 1000.0), 12.0, 1.0);
    EXPECT_NEAR(gainAt(narrow, std::sqrt(1000.0 * 1250.0)), 6.0, 1.0);
    EXPECT_LT(gainAt(narrow, 1000.0 * std::numbers::sqrt2), 4.0);

    auto overall = bands({}, {});
    overall.leftGainDb = 6.0f;  // doubles the left channel only
    EXPECT_NEAR(gainAt(overall, 440.0, 0), 6.0, 0.01);
    EXPECT_NEAR(gainAt(overall, 440.0, 1), 0.0, 0.001);
    overall.leftGainDb = -1000.0f;
    overall.rightGainDb = kNaN;
    EXPECT_NEAR(gainAt(overall, 440.0, 0), kMinOverallGainDb, 0.01);
    EXPECT_NEAR(gainAt(overall, 440.0, 1), 0.0, 0.001);
}

std::vector<EqualizerKernel> availableKernels()
{
    std::vector<EqualizerKernel> kernels;
    for (const EqualizerKernel kernel : {EqualizerKernel::Plain, EqualizerKernel::Sse2, EqualizerKernel::Avx2}) {
        if (equalizerKernelAvailable(kernel)) {
            kernels.push_back(kernel);
        }
    }
    return kernels;
}

// Gain in dB of a steady sine through the equalizer, from its component at
// the sine's own frequency over one second (a whole number of periods for a
// whole number of hertz), after half a second to settle.
double sineGainDb(EqualizerKernel kernel, const EqualizerSettings &settings, int rate, int hz, int channel)
{
    EqualizerFilter equalizer(kernel);
    equalizer.configure(settings, rate);
    const int settle = rate / 2;
    std::vector<float> signal(2 * static_cast<std::size_t>(settle + rate));
    const auto phase = [&](int n) { return 2.0 * std::numbers::pi * hz * n / rate; };
    for (int n = 0; n < settle + rate; ++n) {
        signal[2 * n] = signal[2 * n + 1] = 0.1f * static_cast<float>(std::sin(phase(n)));
    }
    equalizer.process(signal.data(), signal.size() / 2);
    double in = 0.0, quadrature = 0.0;
    for (int n = settle; n < settle + rate; ++n) {
        in += signal[2 * n + channel] * std::sin(phase(n));
        quadrature += signal[2 * n + channel] * std::cos(phase(n));
    }
    return 20.0 * std::log10(2.0 * std::hypot(in, quadrature) / rate / 0.1);
}

TEST(EqualizerFilterTest, EveryKernelKeepsTheResponseWithinAHundredthOfADecibel)
{
    // The response of the double-precision SSE2 cascade, measured this way
    // before the kernels were added.
    auto mixed = bands(kTenBands, {12, -12, 6, -6, 24, -24, 3, -3, 0, 9});
    auto raised = bands(kTenBands, std::vector<float>(10, 12.0f));
    auto three = bands({80, 2500, 12000}, {-24, 18, -9});
    three.leftGainDb = 3.0f;
    three.rightGainDb = -6.0f;
    const std::vector<int> hz44 = {20,   31,   45,   62,   90,   125,  180,  250,   355,   500,  710,
                                   1000, 1400, 2000, 2800, 4000, 5600, 8000, 11000, 16000, 20000};
    const std::vector<int> hz8 = {20, 31, 62, 125, 250, 500, 1000, 2000, 3000, 3600, 3900};
    struct Case {
        const char *name;
        const EqualizerSettings &settings;
        int rate;
        int channel;
        const std::vector<int> &hz;
        std::vector<double> db;
    };
    const Case cases[] = {
        {"ten mixed", mixed, 44100, 0, hz44,
         {3.9052, 9.7286, -0.2432, -8.1962, -1.1153, 4.3185, 1.5305, -0.6786, 5.8518, 16.5954, -0.4109,
          -17.2627, -7.4216, -2.0695, -2.4211, -3.7388, -1.6996, -0.1487, 1.1844, 8.9504, 0.6131}},
        {"ten raised", raised, 44100, 0, hz44,
         {5.9556, 15.2393, 13.6099, 17.7009, 14.5651, 18.2376, 14.9052, 18.4099, 14.9243, 18.4023, 14.8752,
          18.3162, 14.6978, 18.0382, 14.1146, 17.2480, 12.3841, 15.3565, 7.7269, 12.9581, 1.0023}},
        {"three, left", three, 44100, 0, hz44,
         {-8.0774, -12.1099, -16.0037, -19.4057, -20.2461, -16.7867, -12.0666, -7.7819, -3.0532, 1.7407, 6.6797,
          11.3213, 15.4788, 18.8177, 19.3391, 16.4592, 11.9766, 5.9443, -0.0699, -0.5671, 2.3840}},
        {"three, right", three, 44100, 1, hz44,
         {-17.0774, -21.1099, -25.0037, -28.4057, -29.2461, -25.7867, -21.0666, -16.7819, -12.0532, -7.2593, -2.3203,
          2.3213, 6.4788, 9.8177, 10.3391, 7.4592, 2.9766, -3.0557, -9.0699, -9.5671, -6.6160}},
        {"ten mixed at 8 kHz", mixed, 8000, 0, hz8,
         {3.9051, 9.7294, -8.1972, 4.3346, -0.6282, 17.0134, -17.8078, -0.4019, 0.0443, 5.9208, 0.1767}},
    };
    for (const EqualizerKernel kernel : availableKernels()) {
        for (const Case &test : cases) {
            for (std::size_t i = 0; i < test.hz.size(); ++i) {
                // The table has four decimals: 0.00005 of rounding on top.
                EXPECT_NEAR(sineGainDb(kernel, test.settings, test.rate, test.hz[i], test.channel), test.db[i], 0.01)
                    << "kernel " << static_cast<int>(kernel) << ", " << test.name << ", " << test.hz[i] << " Hz";
            }
        }
    }
}

TEST(EqualizerFilterTest, EveryBandOfACascadeIsHeard)
{
    // The bands run in series, so in steady state their gains in dB add up:
    // a band left out, run twice or fed the wrong samples shows here. Ten
    // and five bands, both the left and the right channel.
    const std::vector<float> gains = {-4, 3, 6, -2, 5, -6, 2, 4, -3, 1};
    for (const std::size_t count : {std::size_t{10}, std::size_t{5}}) {
        const std::vector<int> frequencies(kTenBands.begin(), kTenBands.begin() + static_cast<std::ptrdiff_t>(count));
        const std::vector<float> used(gains.begin(), gains.begin() + static_cast<std::ptrdiff_t>(count));
        for (const double hz : {90.0, 700.0, 3000.0}) {
            for (const int channel : {0, 1}) {
                double sum = 0.0;
                for (std::size_t b = 0; b < count; ++b) {
                    std::vector<float> one(count, 0.0f);
                    one[b] = used[b];
                    sum += gainAt(bands(frequencies, one), hz, channel);
                }
                EXPECT_NEAR(gainAt(bands(frequencies, used), hz, channel), sum, 0.02)
                    << count << " bands, " << hz << " Hz, channel " << channel;
            }
        }
    }
}

TEST(EqualizerFilterTest, SwitchedOffLeavesSamplesBitExact)
{
    auto settings = bands(kTenBands, {6, -6, 12, 3, -3, 9, -9, 1, 2, 3});
    settings.leftGainDb = 10.0f;
    settings.enabled = false;
    auto original = noise(4096, 1);
    original[7] = kNaN;
    original[8] = 5.0f;
    auto expectUntouched = [&](EqualizerFilter &equalizer) {
        auto signal = original;
        equalizer.process(signal.data(), 4096);
        EXPECT_EQ(std::memcmp(signal.data(), original.data(), signal.size() * sizeof(float)), 0);
    };
    EqualizerFilter equalizer;
    equalizer.configure(settings, kRate);
    expectUntouched(equalizer);
    // On, then off again: untouched once the fade is over.
    for (const bool enabled : {true, false}) {
        settings.enabled = enabled;
        equalizer.configure(settings, kRate);
        auto signal = noise(4096, 2);
        equalizer.process(signal.data(), 4096);
    }
    expectUntouched(equalizer);
}

TEST(EqualizerFilterTest, HostileSettingsAndInputStayFinite)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> gain(-24.0f, 24.0f);
    for (const int rate : {44100, 8000}) {
        auto settings = bands(kTenBands, {});
        std::generate_n(settings.gains.begin(), kTenBands.size(), [&] { return gain(random); });
        EqualizerFilter equalizer;
        equalizer.configure(settings, rate);
        auto signal = noise(rate, 3);
        equalizer.process(signal.data(), signal.size() / 2);
        EXPECT_TRUE(std::all_of(signal.begin(), signal.end(), [](float v) { return std::fabs(v) < 16.0f; }));
        // Once the filters have rung out, silence comes out silent: no offset.
        std::fill(signal.begin(), signal.end(), 0.0f);
        equalizer.process(signal.data(), signal.size() / 2);
        EXPECT_LT(std::fabs(signal.back()), 1e-9f);
    }

    auto hostile = bands({0, -100, 1000, 1000, 30000, 32767}, {kNaN, kInf, -kInf, 1e30f, -1e30f, 24});
    hostile.frequencies.resize(70, 1000);  // more bands than gain slots
    hostile.leftGainDb = kNaN;
    hostile.rightGainDb = kInf;
    auto loudest = bands(std::vector<int>(kEqGainSlots, 500), {});
    loudest.gains.fill(24.0f);  // 32 × 24 dB at one frequency
    for (const EqualizerKernel kernel : availableKernels()) {
    for (const auto &settings : {hostile, loudest}) {
        for (const int rate : {44100, 8000, 1, 0, -44100, std::numeric_limits<int>::max()}) {
            EqualizerFilter equalizer(kernel);
            equalizer.configure(settings, rate);
            auto signal = noise(8192, 4);
            signal[10] = kNaN;
            signal[11] = kInf;
            equalizer.process(signal.data(), 8192);
            EXPECT_TRUE(std::all_of(signal.begin(), signal.end(), [](float v) { return std::fabs(v) <= kSampleLimit; }))
                << "kernel " << static_cast<int>(kernel) << ", rate " << rate;
        }
    }
    }
}

TEST(EqualizerFilterTest, ChangesFadeWithoutClicksAndEndOnTheLatest)
{
    struct Change {
        std::size_t frame;
        float bandDb;  // the 125 Hz band
        bool enabled;
        float leftDb;
    };
    // Two bursts of changes that land while a fade runs. In the first, the
    // last one waits and the middle one is never heard; in the second, the
    // last one returns to what is fading in, and the waiting one is dropped.
    const std::vector<Change> changes = {{1000, 12, true, 0}, {1300, -12, true, -12}, {1600, 6, true, 0},
                                         {4000, 6, false, 0}, {5000, 12, true, 0},    {6000, -12, true, -6},
                                         {6300, 10, true, 0}, {6600, -12, true, -6}};
    auto settingsOf = [](const Change &change) {
        auto settings = bands(kTenBands, {});
        settings.gains[2] = change.bandDb;
        settings.enabled = change.enabled;
        settings.leftGainDb = change.leftDb;
        return settings;
    };
    // A low tone shows a jump plainly, its own steps being small.
    constexpr double kHz = 100.0;
    constexpr float kAmplitude = 0.25f;
    EqualizerFilter equalizer;
    auto signal = sine(kHz, 12000, kAmplitude);
    auto next = changes.begin();
    for (std::size_t frame = 0; frame < 12000; frame += 100) {
        if (next != changes.end() && next->frame == frame) {
            equalizer.configure(settingsOf(*next++), kRate);
        }
        equalizer.process(signal.data() + 2 * frame, 100);
    }
    // The loudest steady state is the tone raised by less than 12 dB.
    const float ownStep = kAmplitude * 3.981f * 2.0f * std::numbers::pi_v<float> * kHz / kRate;
    for (std::size_t i = 2; i < signal.size(); ++i) {
        ASSERT_LT(std::fabs(signal[i] - signal[i - 2]), 1.2f * ownStep) << "sample " << i;
    }
    EXPECT_NEAR(levelDb(signal, 0, 3087, 441, kAmplitude), gainAt(settingsOf(changes[2]), kHz), 0.1);
    EXPECT_NEAR(levelDb(signal, 0, 12000 - 441, 441, kAmplitude), gainAt(settingsOf(changes.back()), kHz), 0.1);
}

TEST(EqualizerFilterTest, SmallStepOfABassBandDoesNotDipTheLevel)
{
    // Started from silence, a 31 Hz filter takes longer than the fade to ring
    // up, and every step of a slider would pump the level down.
    constexpr std::size_t kPeriod = kRate / 31 + 1;
    auto settings = bands(kTenBands, {12.0f});
    EqualizerFilter equalizer;
    equalizer.configure(settings, kRate);
    auto signal = sine(31.0, kRate, 0.1f);
    equalizer.process(signal.data(), kRate / 2);
    settings.gains[0] = 13.0f;
    equalizer.configure(settings, kRate);
    equalizer.process(signal.data() + kRate, kRate / 2);
    const double before = levelDb(signal, 0, kRate / 2 - kPeriod, kPeriod, 0.1f);
    for (std::size_t from = kRate / 2; from < kRate / 2 + kRate / 10; from += kPeriod / 4) {
        ASSERT_GT(levelDb(signal, 0, from, kPeriod, 0.1f), before - 0.25) << "frame " << from;
    }
}

TEST(EqualizerFilterTest, ResetAppliesTheLatestSettingsWithoutHistory)
{
    EqualizerFilter equalizer;
    equalizer.configure(bands({1000}, {-6.0f}), kRate);
    auto input = noise(2048, 5);
    equalizer.process(input.data(), 2048);
    equalizer.configure(bands({1000}, {3.0f}), kRate);  // would fade in
    equalizer.reset();
    input = noise(2048, 6);
    auto expected = input;
    EqualizerFilter fresh;
    fresh.configure(bands({1000}, {3.0f}), kRate);
    fresh.process(expected.data(), 2048);
    equalizer.process(input.data(), 2048);
    EXPECT_EQ(input, expected);
}

}  // namespace
}  // namespace audioengine
