#pragma once

#include "sonbrel_mp3.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audioengine {

inline constexpr int kEqGainSlots = 32;
static_assert(kEqGainSlots == SBMP3_EQ_GAIN_SLOTS);

// What the host asked for through create_eq, set_eq, set_gain and eq_state.
struct EqualizerSettings {
    std::vector<int> frequencies;             // band centre frequencies in Hz, in band order (not sorted)
    std::array<float, kEqGainSlots> gains{};  // dB per band, in band order; bands past 32 have no slot (gain 0)
    float leftGainDb = 0.0f, rightGainDb = 0.0f;  // overall gain per channel, dB
    bool enabled = false;
};

// Limits applied to the settings; values outside are clamped, NaN or infinite
// band gains count as 0 dB and a NaN overall gain as 0 dB.
inline constexpr float kMinBandGainDb = -24.0f, kMaxBandGainDb = 24.0f;
inline constexpr float kMinOverallGainDb = -60.0f, kMaxOverallGainDb = 20.0f;
inline constexpr double kMinBandHz = 10.0;       // lowest centre frequency
inline constexpr double kMaxBandFraction = 0.45; // highest centre frequency, × sample rate
inline constexpr double kMinQ = 0.3, kMaxQ = 12.0;
// Length of the crossfade from one response to the next.
inline constexpr double kCrossfadeSeconds = 0.020;
// Input samples are limited to this magnitude before filtering (NaN reads as
// silence) and output samples never exceed it: far above full scale, so it
// never shapes real music, yet it keeps extreme settings from overflowing.
inline constexpr float kSampleLimit = 64.0f;

// The arithmetic the equalizer runs on. All run the same filters in double
// precision and give the same response (to far below 0.001 dB); the wider
// ones are faster.
//   Plain   portable C++: band after band over each block
//   Sse2    both channels of a frame in one SSE2 register, four bands at once
//   Avx2    the bands in the lanes of AVX2 registers (two bands, both
//           channels, per register), each band a frame behind the one
//           before it, so that all of them work at once; with FMA
enum class EqualizerKernel : std::uint8_t { Plain, Sse2, Avx2 };

// Whether this build, on this processor, can run the kernel.
bool equalizerKernelAvailable(EqualizerKernel kernel) noexcept;

// The fastest kernel available.
EqualizerKernel fastestEqualizerKernel() noexcept;

// The graphic equalizer: one peaking (bell) biquad per band with a non-zero
// gain, then a gain per channel. Each band reaches halfway (geometrically) to
// its neighbours in frequency, so neighbouring bells meet at their edges;
// the outermost bands mirror their one neighbour and a lone band spans one
// octave.
//
// Not thread-safe: configure(), reset() and process() must not overlap
// (the owner applies new settings between blocks on the decoding thread, or
// holds its own lock).
class EqualizerFilter {
public:
    // Runs on the given kernel, or on the fastest one when this processor
    // lacks it.
    explicit EqualizerFilter(EqualizerKernel kernel = fastestEqualizerKernel()) noexcept;

    // Takes new settings. The next process() calls fade from the response
    // heard so far to the new one over kCrossfadeSeconds, so a change never
    // clicks; settings that arrive during a fade wait for it to finish (only
    // the latest waits). Before any audio has gone through (after
    // construction or reset()) the settings apply at once. Settings that
    // sound the same as the latest ones change nothing.
    void configure(const EqualizerSettings &settings, int sampleRate);

    // Forgets the filter history, for a new track or after a seek, and
    // applies the latest settings at once.
    void reset() noexcept;

    // Equalizes interleaved stereo frames in place. While the equalizer is
    // switched off (and no fade is running) the samples are left untouched.
    // Never allocates.
    void process(float *interleavedStereo, std::size_t frames) noexcept;

    // True while a fade from one response to another is running.
    bool fading() const noexcept { return target_ >= 0; }

private:
    // One peaking filter and its history for both channels (transposed
    // direct form II, in double so low bands at high rates stay accurate).
    struct Band {
        double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
        // left z1, right z1, left z2, right z2: each delay holds both
        // channels side by side, so one SIMD lane serves each channel
        double state[4] = {};
        int slot = 0;  // position of the band in the settings
    };

    // Everything that shapes the sound, with the filters' history.
    struct Response {
        std::array<Band, kEqGainSlots> bands{};
        int bandCount = 0;
        double leftGain = 1.0, rightGain = 1.0;
        bool enabled = false;  // false: the samples pass as they are

        // Filters `frames` interleaved frames of `input` into `output`,
        // which may be `input` itself when both are float. The input is
        // limited first (NaN reads as silence); float output is limited as
        // well, double output (one side of a crossfade) is left as it comes.
        // `scratch` holds 2 × frames doubles between passes over the bands;
        // double output serves as its own scratch (pass the same pointer).
        template <class Sample>
        void run(EqualizerKernel kernel, const float *input, Sample *output, double *scratch,
                 std::size_t frames) noexcept;
        template <class Sample>
        void runPlain(const float *input, Sample *output, double *scratch, std::size_t frames) noexcept;
        template <class Sample>
        void runSse2(const float *input, Sample *output, double *scratch, std::size_t frames) noexcept;
        void clearState() noexcept;
        bool soundsLike(const Response &other) const noexcept;
        void takeStateFrom(const Response &previous) noexcept;
    };

    static Response design(const EqualizerSettings &settings, int sampleRate);
    int freeSlot() const noexcept;
    int latest() const noexcept;
    void beginFade(int slot) noexcept;
    void finishFade() noexcept;

    EqualizerKernel kernel_;
    std::array<Response, 3> responses_{};
    int current_ = 0;   // what is heard (fading out while a fade runs)
    int target_ = -1;   // what is fading in
    int queued_ = -1;   // what fades in next
    std::size_t fadeLength_ = 1, fadePosition_ = 0, nextFadeLength_ = 1;
    bool fresh_ = true; // no audio since construction or reset()
};

}  // namespace audioengine
