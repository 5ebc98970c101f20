#include "AlarmTone.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace kestrum {
namespace {

std::vector<double> samplesOf(const QByteArray &wav)
{
    std::vector<double> samples;
    for (qsizetype i = 44; i + 1 < wav.size(); i += 2)
        samples.push_back(static_cast<qint16>(qFromLittleEndian<quint16>(wav.constData() + i)) / 32768.0);
    return samples;
}

// The strength of one frequency in a stretch of samples (Goertzel).
double strength(const std::vector<double> &samples, std::size_t first, std::size_t count, double frequency)
{
    const double w = 2 * std::numbers::pi * frequency / AlarmTone::kRate;
    double s1 = 0, s2 = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double s0 = samples[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / count;
}

TEST(AlarmToneTest, IsALoudTwoToneBeepingThatLoopsWithoutAClick)
{
    const QByteArray wav = AlarmTone::wav();
    ASSERT_GT(wav.size(), 44);
    EXPECT_TRUE(wav.startsWith("RIFF"));
    EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 4), static_cast<quint32>(wav.size() - 8));
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 22), 1u);         // mono
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 24), 44100u);     // rate
    EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 16u);        // bits
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), static_cast<quint32>(wav.size() - 44));

    const std::vector<double> samples = samplesOf(wav);
    EXPECT_NEAR(samples.size() / 44100.0, 0.97, 0.001) << "four beeps, three gaps and the pause";
    double peak = 0;
    for (const double s : samples)
        peak = std::max(peak, std::fabs(s));
    EXPECT_NEAR(20 * std::log10(peak), AlarmTone::kPeakDbfs, 0.1);

    // Silent at both ends, so that the rounds join cleanly; the pause is silent.
    EXPECT_EQ(samples.front(), 0.0);
    const std::size_t pause = 44100 * AlarmTone::kPauseMs / 1000;
    for (std::size_t i = samples.size() - pause; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], 0.0) << i;

    // High, low, high, low.
    const std::size_t beep = 44100 * AlarmTone::kBeepMs / 1000;
    const std::size_t step = beep + 44100 * AlarmTone::kGapMs / 1000;
    for (int b = 0; b < AlarmTone::kBeeps; ++b) {
        const double high = strength(samples, b * step, beep, AlarmTone::kHigh);
        const double low = strength(samples, b * step, beep, AlarmTone::kLow);
        if (b % 2 == 0)
            EXPECT_GT(high, 10 * low) << b;
        else
            EXPECT_GT(low, 10 * high) << b;
    }
}

} // namespace
} // namespace kestrum
