#include "Analyzer.h"

#include <kissfft/kiss_fftr.h>

// SSE2 comes with every x86-64 processor and carries the fast path; any
// other processor takes plain C++ that does the same arithmetic in the same
// order. SONBREL_DSP_SCALAR selects the plain C++ on x86 as well, so its
// tests run there too.
#if defined(__SSE2__) && !defined(SONBREL_DSP_SCALAR)
#define SONBREL_DSP_SSE2 1
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>
#include <numbers>

namespace audioengine {
namespace {

constexpr int kFftSize = 2 * kSpectrumBins;
static_assert(kFftSize == kWaveSamples, "the spectrum is taken over the wave's frames");

// A bin-centred sine of amplitude 1 gives N / 2 × (the Hann window's mean,
// 1/2) = N / 4 in its bin, so 4 / N brings it to 1.
constexpr float kMagnitudeScale = 4.0f / kFftSize;

// The value a sample contributes to the spectrum: NaN is silence, anything
// beyond full scale (infinity included) counts as full scale.
float spectrumInput(float value) noexcept
{
    if (std::isnan(value)) {
        return 0.0f;
    }
    return std::clamp(value, -1.0f, 1.0f);
}

#if defined(SONBREL_DSP_SSE2)

// The helpers below work on two values at once in SSE2 registers, without
// branches: the sign and size of music samples is a coin toss for the
// branch predictor.

// waveSample for two values: value × 32767 (exact in double), NaN as 0,
// limited to the int16 range, then rounded half away from zero by adding
// ±0.5 and truncating (exact for these magnitudes, so the same as
// std::round; limiting before rounding gives the same as after).
__m128i waveValues(__m128d value) noexcept
{
    const __m128d sign = _mm_set1_pd(-0.0);
    value = _mm_mul_pd(value, _mm_set1_pd(32767.0));
    value = _mm_and_pd(value, _mm_cmpord_pd(value, value));
    value = _mm_max_pd(_mm_min_pd(value, _mm_set1_pd(32767.0)), _mm_set1_pd(-32768.0));
    const __m128d half = _mm_or_pd(_mm_and_pd(value, sign), _mm_set1_pd(0.5));
    return _mm_cvttpd_epi32(_mm_add_pd(value, half));
}

// Writes the wave samples of `values` to every kChannelSelectors-th element of `wave`.
void writeWave(const float *values, std::int16_t *wave) noexcept
{
    for (int n = 0; n < kWaveSamples; n += 2) {
        const __m128 pair = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(values + n)));
        const __m128i samples = waveValues(_mm_cvtps_pd(pair));
        wave[n * kChannelSelectors] = static_cast<std::int16_t>(_mm_cvtsi128_si32(samples));
        wave[(n + 1) * kChannelSelectors] = static_cast<std::int16_t>(_mm_cvtsi128_si32(_mm_srli_si128(samples, 4)));
    }
}

// |re + i·im| × kMagnitudeScale for every bin, limited to 0..1 (NaN, which
// limited input cannot produce, reads as 0). Squares and their sum are taken
// in double, where they cannot overflow or lose small bins, as the C
// library's float hypot does; the scale, a power of two, is applied in float
// after rounding, as before.
void writeMagnitudes(const kiss_fft_cpx *bins, float *magnitudes) noexcept
{
    static_assert(sizeof(kiss_fft_cpx) == 2 * sizeof(float));
    const __m128 scale = _mm_set1_ps(kMagnitudeScale), one = _mm_set1_ps(1.0f);
    for (int k = 0; k < kSpectrumBins; k += 2) {
        const __m128 pair = _mm_loadu_ps(&bins[k].r);  // r0 i0 r1 i1
        const __m128d re = _mm_cvtps_pd(_mm_shuffle_ps(pair, pair, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128d im = _mm_cvtps_pd(_mm_shuffle_ps(pair, pair, _MM_SHUFFLE(3, 1, 3, 1)));
        __m128 magnitude = _mm_cvtpd_ps(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(re, re), _mm_mul_pd(im, im))));
        magnitude = _mm_mul_ps(magnitude, scale);
        magnitude = _mm_and_ps(magnitude, _mm_cmpord_ps(magnitude, magnitude));
        magnitude = _mm_max_ps(_mm_setzero_ps(), _mm_min_ps(magnitude, one));
        _mm_storel_pi(reinterpret_cast<__m64 *>(magnitudes + k), magnitude);
    }
}

#else  // plain C++

// The helpers below do, one value at a time, what the SSE2 ones do two at a
// time; the comparisons are those of the SSE2 instructions.

// waveSample: value × 32767 (exact in double), NaN as 0, limited to the
// int16 range, then rounded half away from zero by adding ±0.5 and
// truncating (exact for these magnitudes, so the same as std::round;
// limiting before rounding gives the same as after).
std::int16_t waveValue(double value) noexcept
{
    value *= 32767.0;
    if (std::isnan(value)) {
        value = 0.0;
    }
    value = value < 32767.0 ? value : 32767.0;
    value = value > -32768.0 ? value : -32768.0;
    return static_cast<std::int16_t>(static_cast<int>(value + std::copysign(0.5, value)));
}

// Writes the wave samples of `values` to every kChannelSelectors-th element of `wave`.
void writeWave(const float *values, std::int16_t *wave) noexcept
{
    for (int n = 0; n < kWaveSamples; ++n) {
        wave[n * kChannelSelectors] = waveValue(values[n]);
    }
}

// |re + i·im| × kMagnitudeScale for every bin, limited to 0..1 (NaN, which
// limited input cannot produce, reads as 0). Squares and their sum are taken
// in double, where they cannot overflow or lose small bins, as the C
// library's float hypot does; the scale, a power of two, is applied in float
// after rounding.
void writeMagnitudes(const kiss_fft_cpx *bins, float *magnitudes) noexcept
{
    for (int k = 0; k < kSpectrumBins; ++k) {
        const double re = bins[k].r, im = bins[k].i;
        float magnitude = static_cast<float>(std::sqrt(re * re + im * im)) * kMagnitudeScale;
        if (std::isnan(magnitude)) {
            magnitude = 0.0f;
        }
        magnitude = magnitude < 1.0f ? magnitude : 1.0f;
        magnitudes[k] = 0.0f > magnitude ? 0.0f : magnitude;
    }
}

#endif

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
    // One row per channel selector: mix, left, right.
    alignas(16) float channels[kChannelSelectors][kFftSize];
    float *mix = channels[0], *left = channels[1], *right = channels[2];
    if (frames != nullptr) {
        for (int n = 0; n < kFftSize; ++n) {
            left[n] = frames[2 * n];
            right[n] = frames[2 * n + 1];
            mix[n] = 0.5f * (left[n] + right[n]);
        }
    } else {
        std::fill(&channels[0][0], &channels[0][0] + kChannelSelectors * kFftSize, 0.0f);
    }

    if (wave != nullptr) {
        for (int c = 0; c < kChannelSelectors; ++c) {
            writeWave(channels[c], wave + c);
        }
    }
    if (spectrum == nullptr) {
        return;
    }

    // Within full scale (the usual case) the limiting changes nothing, and the
    // spectrum of (L + R) / 2 is the mean of the two channels' spectra, so two
    // FFTs serve all three selectors. Otherwise the mix is limited after
    // mixing, which only its own FFT reproduces.
    bool withinFullScale = true;
    for (int n = 0; n < kFftSize; ++n) {
        withinFullScale &= std::fabs(left[n]) <= 1.0f;  // false for NaN
        withinFullScale &= std::fabs(right[n]) <= 1.0f;
    }

    kiss_fft_scalar time[kFftSize];
    kiss_fft_cpx bins[kChannelSelectors][kFftSize / 2 + 1];
    for (int c = 1; c < kChannelSelectors; ++c) {
        if (withinFullScale) {
            for (int n = 0; n < kFftSize; ++n) {
                time[n] = channels[c][n] * window_[n];
            }
        } else {
            for (int n = 0; n < kFftSize; ++n) {
                time[n] = spectrumInput(channels[c][n]) * window_[n];
            }
        }
        kiss_fftr(plan_, time, bins[c]);
    }
    if (withinFullScale) {
        for (int k = 0; k < kSpectrumBins; ++k) {
            bins[0][k].r = 0.5f * (bins[1][k].r + bins[2][k].r);
            bins[0][k].i = 0.5f * (bins[1][k].i + bins[2][k].i);
        }
    } else {
        for (int n = 0; n < kFftSize; ++n) {
            time[n] = spectrumInput(mix[n]) * window_[n];
        }
        kiss_fftr(plan_, time, bins[0]);
    }

    // The magnitudes reuse the rows of samples, which are no longer needed.
    for (int c = 0; c < kChannelSelectors; ++c) {
        writeMagnitudes(bins[c], channels[c]);
    }
    for (int k = 0; k < kSpectrumBins; ++k) {
        for (int c = 0; c < kChannelSelectors; ++c) {
            spectrum[k * kChannelSelectors + c] = channels[c][k];
        }
    }
}

std::int16_t waveSample(float value) noexcept
{
#if defined(SONBREL_DSP_SSE2)
    return static_cast<std::int16_t>(_mm_cvtsi128_si32(waveValues(_mm_set_sd(value))));
#else
    return waveValue(value);
#endif
}

std::int16_t levelFromPeak(float peak) noexcept
{
    if (std::isnan(peak)) {
        return 0;
    }
    const double scaled = std::round(std::fabs(static_cast<double>(peak)) * 32767.0);
    return static_cast<std::int16_t>(std::min(scaled, 32767.0));
}

}  // namespace audioengine
