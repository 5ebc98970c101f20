#pragma once

#include "sonbrel_mp3.h"

#include <cstdint>

struct kiss_fftr_state;

namespace audioengine {

inline constexpr int kWaveSamples = 256, kSpectrumBins = 128, kChannelSelectors = 3;
static_assert(kWaveSamples == SBMP3_WAVE_SAMPLES);
static_assert(kSpectrumBins == SBMP3_SPECTRUM_BINS);
static_assert(kChannelSelectors == SBMP3_CHANNEL_SELECTORS);

// The wave and spectrum pictures of the frames just heard, for get_status.
// Channel selector c: 0 = both channels ((L + R) / 2), 1 = left, 2 = right.
//
// The spectrum is the magnitude of a 256-point real FFT over the frames with
// a (periodic) Hann window, bins 0 to 127 (bin k lies at k × rate / 256 Hz),
// scaled by 4 / 256 so that a full-scale sine centred on a bin reads 1.0,
// then limited to 0..1.
class SpectrumAnalyzer {
public:
    SpectrumAnalyzer();  // allocates the FFT plan; throws std::bad_alloc
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer &) = delete;
    SpectrumAnalyzer &operator=(const SpectrumAnalyzer &) = delete;

    // frames: the last kWaveSamples interleaved stereo frames heard, oldest
    // first, values in [-1, 1] (NaN reads as 0, larger values as ±1 in the
    // spectrum). Writes kChannelSelectors × kWaveSamples samples to wave and
    // kChannelSelectors × kSpectrumBins magnitudes to spectrum, selector c of
    // index i at element i * 3 + c; a null wave or spectrum is skipped, null
    // frames read as silence. Never allocates. The FFT plan keeps scratch
    // space, so one analyzer serves one thread at a time.
    void analyze(const float *frames, std::int16_t *wave, float *spectrum) const noexcept;

private:
    kiss_fftr_state *plan_;
    float window_[kWaveSamples];
};

// A wave sample: value × 32767, rounded and limited to -32768..32767; NaN gives 0.
std::int16_t waveSample(float value) noexcept;

// A level for get_status: |peak| in [0, 1] as 0..32767, limited; NaN gives 0.
std::int16_t levelFromPeak(float peak) noexcept;

}  // namespace audioengine
