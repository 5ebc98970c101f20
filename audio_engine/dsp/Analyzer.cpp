#include "Analyzer.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace sonbrel {
namespace {

constexpr int kFftSize = 2 * kSpectrumBins;
static_assert(kFftSize == kWaveSamples, "the spectrum is taken over the wave's frames");

// A bin-centred sine of amplitude 1 gives N / 2 × (the Hann window's mean,
// 1/2) = N / 4 in its bin, so 4 / N brings it to 1.
constexpr float kMagnitudeScale = 4.0f / kFftSize;

float channelValue(const float *frame, int selector) noexcept
{
    switch (selector) {
    case 1:
        return frame[0];
    case 2:
        return frame[1];
    default:
        return 0.5f * (frame[0] + frame[1]);
    }
}

// The value a sample contributes to the spectrum: NaN is silence, anything
// beyond full scale (infinity included) counts as full scale.
float spectrumInput(float value) noexcept
{
    if (std::isnan(value)) {
        return 0.0f;
    }
    return std::clamp(value, -1.0f, 1.0f);
}

// Limits a magnitude to 0..1; NaN, which limited input cannot produce, reads as 0.
float unitMagnitude(float magnitude) noexcept
{
    if (magnitude < 1.0f) {
        return magnitude >= 0.0f ? magnitude : 0.0f;
    }
    return magnitude >= 1.0f ? 1.0f : 0.0f;
}

}  // namespace

SpectrumAnalyzer::SpectrumAnalyzer()
    : plan_(kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr))
{
    if (plan_ == nullptr) {
        throw std::bad_alloc();
    }
    for (int n = 0; n < kFftSize; ++n) {
        window_[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
    }
}

SpectrumAnalyzer::~SpectrumAnalyzer()
{
    kiss_fftr_free(plan_);
}

void SpectrumAnalyzer::analyze(const float *frames, std::int16_t *wave, float *spectrum) const noexcept
{
    static constexpr float kSilence[2] = {0.0f, 0.0f};
    kiss_fft_scalar time[kFftSize];
    kiss_fft_cpx bins[kFftSize / 2 + 1];

    for (int c = 0; c < kChannelSelectors; ++c) {
        for (int n = 0; n < kFftSize; ++n) {
            const float value = channelValue(frames != nullptr ? frames + 2 * n : kSilence, c);
            if (wave != nullptr) {
                wave[n * kChannelSelectors + c] = waveSample(value);
            }
            time[n] = spectrumInput(value) * window_[n];
        }
        if (spectrum == nullptr) {
            continue;
        }
        kiss_fftr(plan_, time, bins);
        for (int k = 0; k < kSpectrumBins; ++k) {
            spectrum[k * kChannelSelectors + c] = unitMagnitude(std::hypot(bins[k].r, bins[k].i) * kMagnitudeScale);
        }
    }
}

std::int16_t waveSample(float value) noexcept
{
    if (std::isnan(value)) {
        return 0;
    }
    const double scaled = std::round(static_cast<double>(value) * 32767.0);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

std::int16_t levelFromPeak(float peak) noexcept
{
    if (std::isnan(peak)) {
        return 0;
    }
    const double scaled = std::round(std::fabs(static_cast<double>(peak)) * 32767.0);
    return static_cast<std::int16_t>(std::min(scaled, 32767.0));
}

}  // namespace sonbrel
