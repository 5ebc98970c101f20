#include "EqualizerFilter.h"

// SSE2 comes with every x86-64 processor; AVX2 with FMA, where the
// processor has it, carries the fastest path, chosen at run time. Any other
// processor takes plain C++ that does the same arithmetic in the same order
// as the SSE2 path. SONBREL_DSP_SCALAR leaves only the plain C++ on x86 as
// well, so its tests run there too.
#if defined(__SSE2__) && !defined(SONBREL_DSP_SCALAR)
#define SONBREL_DSP_SSE2 1
#include <emmintrin.h>
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SONBREL_DSP_AVX2 1
#include <immintrin.h>
#endif
#endif

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace audioengine {
namespace {

// Frames handled per pass over the bands; the working copies live on the stack.
constexpr std::size_t kChunkFrames = 1024;

// A constant this small rides on the filter input and is taken off again at
// the output. Every peaking section passes DC unchanged, so on silence the
// filter history settles at this tiny level instead of decaying into
// subnormal numbers, which are very slow on most CPUs.
constexpr double kAntiDenormal = 1e-18;

constexpr std::size_t kMinFadeFrames = 64, kMaxFadeFrames = 16384;

float bandGainDb(float db) noexcept
{
    if (!std::isfinite(db)) {
        return 0.0f;
    }
    return std::clamp(db, kMinBandGainDb, kMaxBandGainDb);
}

double overallGain(float db) noexcept
{
    if (std::isnan(db)) {
        db = 0.0f;
    }
    return std::pow(10.0, std::clamp(db, kMinOverallGainDb, kMaxOverallGainDb) / 20.0);
}

std::size_t fadeFramesFor(int sampleRate) noexcept
{
    if (sampleRate <= 0) {
        return kMinFadeFrames;
    }
    const auto frames = static_cast<std::size_t>(std::lround(kCrossfadeSeconds * sampleRate));
    return std::clamp(frames, kMinFadeFrames, kMaxFadeFrames);
}

// Width in octaves of the band centred on `centre`: its edges lie at the
// geometric means with the neighbouring distinct frequencies; a band with one
// neighbour mirrors that edge, a lone band spans one octave.
double bandwidthOctaves(const std::vector<double> &distinctSorted, double centre)
{
    const auto at = std::lower_bound(distinctSorted.begin(), distinctSorted.end(), centre);
    const bool hasLower = at != distinctSorted.begin();
    const bool hasUpper = at != distinctSorted.end() && std::next(at) != distinctSorted.end();
    if (hasLower && hasUpper) {
        return 0.5 * std::log2(*std::next(at) / *std::prev(at));
    }
    if (hasLower) {
        return std::log2(centre / *std::prev(at));
    }
    if (hasUpper) {
        return std::log2(*std::next(at) / centre);
    }
    return 1.0;
}

float outputSample(double value) noexcept
{
    if (std::isnan(value)) {
        return 0.0f;
    }
    return static_cast<float>(std::clamp(value, -double{kSampleLimit}, double{kSampleLimit}));
}

#if defined(SONBREL_DSP_SSE2)

// Both channels of a frame side by side in one SSE2 register (left in the
// low lane): every step of the filters works on the two channels at once,
// with the same arithmetic, in the same order, as one channel alone.
using Pair = __m128d;

// NaN becomes 0, then the value is limited to ±kSampleLimit.
Pair limited(Pair value) noexcept
{
    const Pair limit = _mm_set1_pd(double{kSampleLimit});
    value = _mm_and_pd(value, _mm_cmpord_pd(value, value));
    return _mm_max_pd(_mm_min_pd(value, limit), _mm_sub_pd(_mm_setzero_pd(), limit));
}

Pair loadFrame(const float *frame) noexcept
{
    const __m128i bits = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(frame));
    return limited(_mm_cvtps_pd(_mm_castsi128_ps(bits)));
}

void storeFrame(float *frame, Pair value) noexcept
{
    const __m128 samples = _mm_cvtpd_ps(limited(value));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(frame), _mm_castps_si128(samples));
}

void storeFrame(double *frame, Pair value) noexcept
{
    _mm_storeu_pd(frame, value);
}

// Runs one group of `Count` bands over the frames, frame by frame: each
// band's recursion waits on its own previous output, so interleaving the
// bands lets the CPU work on all of them at once, their history staying in
// registers. `source(n)` gives frame n before the first band, `sink(n, y)`
// takes it after the last.
template <int Count, class Filter, class Source, class Sink>
void runGroup(Filter *bands, std::size_t frames, Source source, Sink sink) noexcept
{
    Pair b0[Count], b1[Count], b2[Count], a1[Count], a2[Count], z1[Count], z2[Count];
    for (int b = 0; b < Count; ++b) {
        b0[b] = _mm_set1_pd(bands[b].b0);
        b1[b] = _mm_set1_pd(bands[b].b1);
        b2[b] = _mm_set1_pd(bands[b].b2);
        a1[b] = _mm_set1_pd(bands[b].a1);
        a2[b] = _mm_set1_pd(bands[b].a2);
        z1[b] = _mm_loadu_pd(bands[b].state);
        z2[b] = _mm_loadu_pd(bands[b].state + 2);
    }
    for (std::size_t n = 0; n < frames; ++n) {
        Pair x = source(n);
#pragma GCC unroll 8
        for (int b = 0; b < Count; ++b) {
            const Pair y = _mm_add_pd(_mm_mul_pd(b0[b], x), z1[b]);
            z1[b] = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(b1[b], x), _mm_mul_pd(a1[b], y)), z2[b]);
            z2[b] = _mm_sub_pd(_mm_mul_pd(b2[b], x), _mm_mul_pd(a2[b], y));
            x = y;
        }
        sink(n, x);
    }
    for (int b = 0; b < Count; ++b) {
        _mm_storeu_pd(bands[b].state, z1[b]);
        _mm_storeu_pd(bands[b].state + 2, z2[b]);
        // The filters are stable and their input is limited, so this never
        // fires in practice; should the history ever break, start it afresh
        // rather than emit NaN for the rest of the track.
        if (!std::all_of(std::begin(bands[b].state), std::end(bands[b].state),
                         [](double v) { return std::isfinite(v); })) {
            std::fill(std::begin(bands[b].state), std::end(bands[b].state), 0.0);
        }
    }
}

// Bands per group: four keep every history and the working values within
// the sixteen SSE registers, and are enough to keep the arithmetic units busy.
constexpr int kGroupBands = 4;

template <class Filter, class Source, class Sink>
void runGroup(Filter *bands, int count, std::size_t frames, Source source, Sink sink) noexcept
{
    static_assert(kGroupBands == 4);
    switch (count) {
    case 1:
        runGroup<1>(bands, frames, source, sink);
        break;
    case 2:
        runGroup<2>(bands, frames, source, sink);
        break;
    case 3:
        runGroup<3>(bands, frames, source, sink);
        break;
    default:
        runGroup<4>(bands, frames, source, sink);
        break;
    }
}

#endif

// NaN becomes 0, then the value is limited to ±kSampleLimit; the comparisons
// are those of the SSE2 path.
double limited(double value) noexcept
{
    constexpr double limit = kSampleLimit;
    if (std::isnan(value)) {
        value = 0.0;
    }
    value = value < limit ? value : limit;
    return value > -limit ? value : -limit;
}

double loadSample(float value) noexcept
{
    return limited(static_cast<double>(value));
}

void storeSample(float *sample, double value) noexcept
{
    *sample = static_cast<float>(limited(value));
}

void storeSample(double *sample, double value) noexcept
{
    *sample = value;
}

// Runs one band over `frames` interleaved frames of `io` in place, left and
// right each through their own history, with the SSE2 path's arithmetic.
template <class Filter>
void runBand(Filter &band, double *io, std::size_t frames) noexcept
{
    const double b0 = band.b0, b1 = band.b1, b2 = band.b2, a1 = band.a1, a2 = band.a2;
    double l1 = band.state[0], r1 = band.state[1], l2 = band.state[2], r2 = band.state[3];
    for (std::size_t n = 0; n < frames; ++n) {
        const double xl = io[2 * n], xr = io[2 * n + 1];
        const double yl = b0 * xl + l1;
        const double yr = b0 * xr + r1;
        l1 = b1 * xl - a1 * yl + l2;
        l2 = b2 * xl - a2 * yl;
        r1 = b1 * xr - a1 * yr + r2;
        r2 = b2 * xr - a2 * yr;
        io[2 * n] = yl;
        io[2 * n + 1] = yr;
    }
    band.state[0] = l1;
    band.state[1] = r1;
    band.state[2] = l2;
    band.state[3] = r2;
    // The filters are stable and their input is limited, so this never
    // fires in practice; should the history ever break, start it afresh
    // rather than emit NaN for the rest of the track.
    if (!std::all_of(std::begin(band.state), std::end(band.state), [](double v) { return std::isfinite(v); })) {
        std::fill(std::begin(band.state), std::end(band.state), 0.0);
    }
}

#if defined(SONBREL_DSP_AVX2)

// The bands in the lanes of AVX2 registers, two bands per register, left
// and right side by side: lanes 0 to 3 of register v hold band 2v left and
// right, band 2v + 1 left and right. Band b works on frame t - b while band
// 0 takes frame t, so at each step every band computes at once, and between
// steps the outputs move up by one band (two lanes) to become the next
// band's input. Each band is the same transposed direct form II as in the
// other paths, its update rearranged so that its history depends on itself
// through one multiply-add:
//   y  = b0 x + z1
//   z1 = b1 (1 - b0) x - b1 z1 + z2     (b1 (x - y) + z2, as a1 = b1)
//   z2 = (b2 - a2 b0) x - a2 z1         (b2 x - a2 y)
#define SONBREL_AVX2 __attribute__((target("avx2,fma")))

using Quad = __m256d;

// A register's worth of bands: the coefficients of each lane. They stay in
// memory (read as operands); the histories and outputs stay in registers.
struct SkewedBands {
    Quad b0, c1, nb1, c2, na2;
};

SONBREL_AVX2 inline Quad pairOfBands(double first, double second)
{
    return _mm256_set_pd(second, second, first, first);
}

// The input, limited (NaN reads as silence) and offset, as doubles in
// scratch: two frames at a time.
SONBREL_AVX2 inline void takeInput(const float *input, double *scratch, std::size_t frames)
{
    const Quad limit = _mm256_set1_pd(double{kSampleLimit});
    const Quad lowest = _mm256_set1_pd(-double{kSampleLimit});
    const Quad offset = _mm256_set1_pd(kAntiDenormal);
    std::size_t i = 0;
    for (; i + 4 <= 2 * frames; i += 4) {
        Quad value = _mm256_cvtps_pd(_mm_loadu_ps(input + i));
        value = _mm256_and_pd(value, _mm256_cmp_pd(value, value, _CMP_ORD_Q));
        value = _mm256_max_pd(_mm256_min_pd(value, limit), lowest);
        _mm256_storeu_pd(scratch + i, _mm256_add_pd(value, offset));
    }
    for (; i < 2 * frames; ++i)
        scratch[i] = limited(static_cast<double>(input[i])) + kAntiDenormal;
}

// The last band's outputs in scratch, offset removed, times the gains, into
// the output (float output limited as well).
SONBREL_AVX2 inline Quad finished(const double *scratch, Quad gain)
{
    return _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(scratch), _mm256_set1_pd(kAntiDenormal)), gain);
}

SONBREL_AVX2 inline void giveOutput(const double *scratch, float *output, std::size_t frames, double leftGain,
                                    double rightGain)
{
    const Quad gain = _mm256_set_pd(rightGain, leftGain, rightGain, leftGain);
    const Quad limit = _mm256_set1_pd(double{kSampleLimit});
    const Quad lowest = _mm256_set1_pd(-double{kSampleLimit});
    std::size_t i = 0;
    for (; i + 4 <= 2 * frames; i += 4) {
        Quad value = finished(scratch + i, gain);
        value = _mm256_and_pd(value, _mm256_cmp_pd(value, value, _CMP_ORD_Q));
        value = _mm256_max_pd(_mm256_min_pd(value, limit), lowest);
        _mm_storeu_ps(output + i, _mm256_cvtpd_ps(value));
    }
    for (; i < 2 * frames; ++i)
        output[i] = static_cast<float>(limited((scratch[i] - kAntiDenormal) * (i % 2 == 0 ? leftGain : rightGain)));
}

SONBREL_AVX2 inline void giveOutput(const double *scratch, double *output, std::size_t frames, double leftGain,
                                    double rightGain)
{
    const Quad gain = _mm256_set_pd(rightGain, leftGain, rightGain, leftGain);
    std::size_t i = 0;
    for (; i + 4 <= 2 * frames; i += 4)
        _mm256_storeu_pd(output + i, finished(scratch + i, gain));
    for (; i < 2 * frames; ++i)
        output[i] = (scratch[i] - kAntiDenormal) * (i % 2 == 0 ? leftGain : rightGain);
}

// Frame t of the prepared input in both halves (both bands' lanes); silence
// past the end.
SONBREL_AVX2 inline Quad frameAt(const double *scratch, std::ptrdiff_t t, std::ptrdiff_t frames)
{
    if (t >= frames)
        return _mm256_setzero_pd();
    return _mm256_broadcast_pd(reinterpret_cast<const __m128d *>(scratch + 2 * t));
}

// The last band's output (the upper half of the last register) is frame n
// of the output, when n is one; it waits in scratch, whose frame n has
// been read already.
SONBREL_AVX2 inline void outputAt(double *scratch, Quad last, std::ptrdiff_t n, std::ptrdiff_t frames)
{
    if (n >= 0 && n < frames)
        _mm_storeu_pd(scratch + 2 * n, _mm256_extractf128_pd(last, 1));
}

// Which lanes have a frame at step t: band b has frame t - b when
// 0 <= t - b < frames.
template <int V>
SONBREL_AVX2 inline void laneMask(const Quad (&laneBand)[V], std::ptrdiff_t t, std::ptrdiff_t frames, Quad (&active)[V])
{
    const Quad step = _mm256_set1_pd(static_cast<double>(t));
    const Quad past = _mm256_set1_pd(static_cast<double>(t - frames));
    for (int v = 0; v < V; ++v)
        active[v] = _mm256_and_pd(_mm256_cmp_pd(laneBand[v], step, _CMP_LE_OQ),
                                  _mm256_cmp_pd(laneBand[v], past, _CMP_GT_OQ));
}

// One step: every band takes its input, and the new outputs wait in y.
// Lanes outside `active` (filling and draining at the ends of a block) keep
// their history.
template <int V, bool Masked>
SONBREL_AVX2 __attribute__((always_inline)) inline void skewedStep(const SkewedBands (&bands)[V], Quad (&z1)[V],
                                                                    Quad (&z2)[V], Quad (&y)[V], Quad input,
                                                                    const Quad (&active)[V])
{
    Quad x[V];
    x[0] = _mm256_permute2f128_pd(y[0], input, 0x03);
#pragma GCC unroll 16
    for (int v = 1; v < V; ++v)
        x[v] = _mm256_permute2f128_pd(y[v], y[v - 1], 0x03);
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
        const SkewedBands &band = bands[v];
        y[v] = _mm256_fmadd_pd(band.b0, x[v], z1[v]);
        const Quad first = _mm256_fmadd_pd(band.nb1, z1[v], _mm256_fmadd_pd(band.c1, x[v], z2[v]));
        const Quad second = _mm256_fmadd_pd(band.na2, z1[v], _mm256_mul_pd(band.c2, x[v]));
        if constexpr (Masked) {
            z1[v] = _mm256_blendv_pd(z1[v], first, active[v]);
            z2[v] = _mm256_blendv_pd(z2[v], second, active[v]);
        } else {
            z1[v] = first;
            z2[v] = second;
        }
    }
}

// Steps from..to. The histories and outputs are copied into locals of
// this function for the loop, so that they stay in registers throughout.
template <int V, bool Masked>
SONBREL_AVX2 void runSteps(const SkewedBands (&bands)[V], Quad (&z1)[V], Quad (&z2)[V], Quad (&y)[V],
                           const Quad (&laneBand)[V], double *scratch, std::ptrdiff_t from, std::ptrdiff_t to,
                           std::ptrdiff_t frames) noexcept
{
    constexpr std::ptrdiff_t depth = 2 * V - 1;  // steps from a frame's input to its output
    Quad first[V];
    Quad second[V];
    Quad out[V];
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
        first[v] = z1[v];
        second[v] = z2[v];
        out[v] = y[v];
    }
    Quad active[V] = {};
    for (std::ptrdiff_t t = from; t < to; ++t) {
        if constexpr (Masked)
            laneMask(laneBand, t, frames, active);
        skewedStep<V, Masked>(bands, first, second, out, frameAt(scratch, t, frames), active);
        outputAt(scratch, out[V - 1], t - depth, frames);
    }
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) {
        z1[v] = first[v];
        z2[v] = second[v];
        y[v] = out[v];
    }
}

// Runs `count` bands (V registers' worth, the last one padded with a band
// that passes its input) over the frames: input limited and offset, output
// offset removed, times the gains (float output limited as well).
template <int V, class Filter, class Sample>
SONBREL_AVX2 void runSkewed(Filter *filters, int count, const float *input, Sample *output, double *scratch,
                            std::size_t frames, double leftGain, double rightGain) noexcept
{
    SkewedBands bands[V];
    Quad z1[V];
    Quad z2[V];
    for (int v = 0; v < V; ++v) {
        double b0[2] = {1.0, 1.0}, c1[2] = {}, nb1[2] = {}, c2[2] = {}, na2[2] = {};
        double first[4] = {}, second[4] = {};
        for (int k = 0; k < 2; ++k) {
            const int b = 2 * v + k;
            if (b >= count)
                continue;  // passes its input: y = x, history stays 0
            const Filter &f = filters[b];
            b0[k] = f.b0;
            c1[k] = f.b1 * (1.0 - f.b0);
            nb1[k] = -f.b1;
            c2[k] = f.b2 - f.a2 * f.b0;
            na2[k] = -f.a2;
            first[2 * k] = f.state[0];
            first[2 * k + 1] = f.state[1];
            second[2 * k] = f.state[2];
            second[2 * k + 1] = f.state[3];
        }
        bands[v] = {pairOfBands(b0[0], b0[1]), pairOfBands(c1[0], c1[1]), pairOfBands(nb1[0], nb1[1]),
                    pairOfBands(c2[0], c2[1]), pairOfBands(na2[0], na2[1])};
        z1[v] = _mm256_loadu_pd(first);
        z2[v] = _mm256_loadu_pd(second);
    }

    takeInput(input, scratch, frames);
    const auto in = static_cast<std::ptrdiff_t>(frames);
    constexpr std::ptrdiff_t depth = 2 * V - 1;  // steps from a frame's input to its output
    Quad y[V];
    Quad laneBand[V];  // the band of each lane, to tell which lanes have a frame at a step
    for (int v = 0; v < V; ++v) {
        y[v] = _mm256_setzero_pd();
        laneBand[v] = pairOfBands(2.0 * v, 2.0 * v + 1.0);
    }

    // Filling: band b has a frame once t >= b. Steady: every band has one.
    // Draining: band b has one while t - b < frames.
    const std::ptrdiff_t steps = in + depth;
    const std::ptrdiff_t filled = std::min(depth, steps);
    runSteps<V, true>(bands, z1, z2, y, laneBand, scratch, 0, filled, in);
    runSteps<V, false>(bands, z1, z2, y, laneBand, scratch, filled, std::max(filled, in), in);
    runSteps<V, true>(bands, z1, z2, y, laneBand, scratch, std::max(filled, in), steps, in);
    giveOutput(scratch, output, frames, leftGain, rightGain);

    for (int v = 0; v < V; ++v) {
        alignas(32) double first[4];
        alignas(32) double second[4];
        _mm256_store_pd(first, z1[v]);
        _mm256_store_pd(second, z2[v]);
        for (int k = 0; k < 2 && 2 * v + k < count; ++k) {
            Filter &f = filters[2 * v + k];
            f.state[0] = first[2 * k];
            f.state[1] = first[2 * k + 1];
            f.state[2] = second[2 * k];
            f.state[3] = second[2 * k + 1];
            if (!std::all_of(std::begin(f.state), std::end(f.state), [](double value) { return std::isfinite(value); }))
                std::fill(std::begin(f.state), std::end(f.state), 0.0);
        }
    }
}

template <class Filter, class Sample>
SONBREL_AVX2 void runSkewed(Filter *filters, int count, const float *input, Sample *output, double *scratch,
                            std::size_t frames, double leftGain, double rightGain) noexcept
{
    switch ((count + 1) / 2) {
    case 1:
        return runSkewed<1>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 2:
        return runSkewed<2>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 3:
        return runSkewed<3>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 4:
        return runSkewed<4>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 5:
        return runSkewed<5>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 6:
        return runSkewed<6>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    case 7:
    case 8:
        return runSkewed<8>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    default:
        return runSkewed<16>(filters, count, input, output, scratch, frames, leftGain, rightGain);
    }
}

#endif

}  // namespace

bool equalizerKernelAvailable(EqualizerKernel kernel) noexcept
{
    switch (kernel) {
    case EqualizerKernel::Plain:
        return true;
    case EqualizerKernel::Sse2:
#if defined(SONBREL_DSP_SSE2)
        return true;
#else
        return false;
#endif
    case EqualizerKernel::Avx2:
#if defined(SONBREL_DSP_AVX2)
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
        return false;
#endif
    }
    return false;
}

EqualizerKernel fastestEqualizerKernel() noexcept
{
    static const EqualizerKernel fastest = [] {
        for (const EqualizerKernel kernel : {EqualizerKernel::Avx2, EqualizerKernel::Sse2}) {
            if (equalizerKernelAvailable(kernel))
                return kernel;
        }
        return EqualizerKernel::Plain;
    }();
    return fastest;
}

template <class Sample>
void EqualizerFilter::Response::run([[maybe_unused]] EqualizerKernel kernel, const float *input, Sample *output,
                                    double *scratch, std::size_t frames) noexcept
{
#if defined(SONBREL_DSP_AVX2)
    if (kernel == EqualizerKernel::Avx2 && enabled && bandCount > 0) {
        runSkewed(bands.data(), bandCount, input, output, scratch, frames, leftGain, rightGain);
        return;
    }
#endif
#if defined(SONBREL_DSP_SSE2)
    if (kernel != EqualizerKernel::Plain) {
        runSse2(input, output, scratch, frames);
        return;
    }
#endif
    runPlain(input, output, scratch, frames);
}

#if defined(SONBREL_DSP_SSE2)

template <class Sample>
void EqualizerFilter::Response::runSse2(const float *input, Sample *output, double *scratch, std::size_t frames) noexcept
{
    auto read = [input](std::size_t n) { return loadFrame(input + 2 * n); };
    if (!enabled) {
        for (std::size_t n = 0; n < frames; ++n) {
            storeFrame(output + 2 * n, read(n));
        }
        return;
    }
    const Pair gain = _mm_set_pd(rightGain, leftGain);
    if (bandCount == 0) {
        for (std::size_t n = 0; n < frames; ++n) {
            storeFrame(output + 2 * n, _mm_mul_pd(read(n), gain));
        }
        return;
    }

    // The anti-denormal offset goes on as the samples are read and comes off
    // as they are written; between groups the frames wait in `scratch`.
    const Pair offset = _mm_set1_pd(kAntiDenormal);
    auto first = [&](std::size_t n) { return _mm_add_pd(read(n), offset); };
    auto middle = [scratch](std::size_t n) { return _mm_loadu_pd(scratch + 2 * n); };
    auto keep = [scratch](std::size_t n, Pair y) { _mm_storeu_pd(scratch + 2 * n, y); };
    auto last = [&](std::size_t n, Pair y) { storeFrame(output + 2 * n, _mm_mul_pd(_mm_sub_pd(y, offset), gain)); };

    const int groups = (bandCount + kGroupBands - 1) / kGroupBands;
    Band *group = bands.data();
    int left = bandCount;
    for (int g = 0; g < groups; ++g) {
        const int count = left / (groups - g);  // spread the bands evenly over the groups
        if (groups == 1) {
            runGroup(group, count, frames, first, last);
        } else if (g == 0) {
            runGroup(group, count, frames, first, keep);
        } else if (g + 1 < groups) {
            runGroup(group, count, frames, middle, keep);
        } else {
            runGroup(group, count, frames, middle, last);
        }
        group += count;
        left -= count;
    }
}

#endif

// The bands run one after the other over the whole block in `scratch`
// instead of frame by frame; each band sees the same samples either way.
template <class Sample>
void EqualizerFilter::Response::runPlain(const float *input, Sample *output, double *scratch, std::size_t frames) noexcept
{
    if (!enabled) {
        for (std::size_t i = 0; i < 2 * frames; ++i) {
            storeSample(output + i, loadSample(input[i]));
        }
        return;
    }
    if (bandCount == 0) {
        for (std::size_t n = 0; n < frames; ++n) {
            storeSample(output + 2 * n, loadSample(input[2 * n]) * leftGain);
            storeSample(output + 2 * n + 1, loadSample(input[2 * n + 1]) * rightGain);
        }
        return;
    }

    // The anti-denormal offset goes on as the samples are read and comes off
    // as they are written.
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        scratch[i] = loadSample(input[i]) + kAntiDenormal;
    }
    for (int b = 0; b < bandCount; ++b) {
        runBand(bands[b], scratch, frames);
    }
    for (std::size_t n = 0; n < frames; ++n) {
        storeSample(output + 2 * n, (scratch[2 * n] - kAntiDenormal) * leftGain);
        storeSample(output + 2 * n + 1, (scratch[2 * n + 1] - kAntiDenormal) * rightGain);
    }
}


void EqualizerFilter::Response::clearState() noexcept
{
    for (Band &band : bands) {
        std::fill(std::begin(band.state), std::end(band.state), 0.0);
    }
}

bool EqualizerFilter::Response::soundsLike(const Response &other) const noexcept
{
    if (!enabled || !other.enabled) {
        return enabled == other.enabled;
    }
    if (leftGain != other.leftGain || rightGain != other.rightGain || bandCount != other.bandCount) {
        return false;
    }
    return std::equal(bands.begin(), bands.begin() + bandCount, other.bands.begin(),
                      [](const Band &a, const Band &b) {
                          return a.slot == b.slot && a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2
                                 && a.a1 == b.a1 && a.a2 == b.a2;
                      });
}

// Starts each band from the history of the same band in the response heard
// so far: after a small change (a slider being dragged) that history is
// nearly right, so the new filters need no time to settle.
void EqualizerFilter::Response::takeStateFrom(const Response &previous) noexcept
{
    clearState();
    int p = 0;  // a response that is switched off has no bands
    for (int b = 0; b < bandCount; ++b) {
        while (p < previous.bandCount && previous.bands[p].slot < bands[b].slot) {
            ++p;
        }
        if (p < previous.bandCount && previous.bands[p].slot == bands[b].slot) {
            std::copy(std::begin(previous.bands[p].state), std::end(previous.bands[p].state),
                      std::begin(bands[b].state));
        }
    }
}

EqualizerFilter::Response EqualizerFilter::design(const EqualizerSettings &settings, int sampleRate)
{
    Response response;
    response.enabled = settings.enabled;
    if (!response.enabled) {
        return response;
    }
    response.leftGain = overallGain(settings.leftGainDb);
    response.rightGain = overallGain(settings.rightGainDb);

    const double rate = sampleRate;
    const double maxHz = kMaxBandFraction * rate;
    if (maxHz < kMinBandHz) {
        return response;  // no usable sample rate: the overall gains only
    }

    // Every band counts for its neighbours' width, including bands past the
    // last gain slot.
    std::vector<double> centres;
    centres.reserve(settings.frequencies.size());
    for (const int hz : settings.frequencies) {
        centres.push_back(std::clamp(static_cast<double>(hz), kMinBandHz, maxHz));
    }
    std::vector<double> distinct = centres;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    const int slots = static_cast<int>(std::min<std::size_t>(centres.size(), kEqGainSlots));
    for (int slot = 0; slot < slots; ++slot) {
        const float gainDb = bandGainDb(settings.gains[slot]);
        if (gainDb == 0.0f) {
            continue;
        }
        const double centre = centres[slot];
        const double octaves = bandwidthOctaves(distinct, centre);
        const double q = std::clamp(1.0 / (2.0 * std::sinh(std::numbers::ln2 / 2.0 * octaves)), kMinQ, kMaxQ);

        // Peaking EQ from R. Bristow-Johnson's audio-EQ cookbook.
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * std::numbers::pi * centre / rate;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double cosW0 = std::cos(w0);
        const double a0 = 1.0 + alpha / a;

        Band &band = response.bands[response.bandCount++];
        band.slot = slot;
        band.b0 = (1.0 + alpha * a) / a0;
        band.b1 = -2.0 * cosW0 / a0;
        band.b2 = (1.0 - alpha * a) / a0;
        band.a1 = band.b1;
        band.a2 = (1.0 - alpha / a) / a0;
    }
    return response;
}

EqualizerFilter::EqualizerFilter(EqualizerKernel kernel) noexcept
    : kernel_(equalizerKernelAvailable(kernel) ? kernel : fastestEqualizerKernel())
{
}

int EqualizerFilter::freeSlot() const noexcept
{
    for (int slot = 0;; ++slot) {
        if (slot != current_ && slot != target_ && slot != queued_) {
            return slot;
        }
    }
}

int EqualizerFilter::latest() const noexcept
{
    if (queued_ >= 0) {
        return queued_;
    }
    return fading() ? target_ : current_;
}

void EqualizerFilter::beginFade(int slot) noexcept
{
    responses_[slot].takeStateFrom(responses_[current_]);
    target_ = slot;
    fadePosition_ = 0;
    fadeLength_ = nextFadeLength_;
}

void EqualizerFilter::finishFade() noexcept
{
    current_ = target_;
    target_ = -1;
    fadePosition_ = 0;
    if (queued_ >= 0) {
        const int next = queued_;
        queued_ = -1;
        beginFade(next);
    }
}

void EqualizerFilter::configure(const EqualizerSettings &settings, int sampleRate)
{
    Response next = design(settings, sampleRate);
    nextFadeLength_ = fadeFramesFor(sampleRate);

    if (fresh_) {
        target_ = queued_ = -1;
        responses_[current_] = next;
        return;
    }
    if (next.soundsLike(responses_[latest()])) {
        return;
    }
    if (!fading()) {
        const int slot = freeSlot();
        responses_[slot] = next;
        beginFade(slot);
        return;
    }
    if (next.soundsLike(responses_[target_])) {
        queued_ = -1;  // back to what is fading in already
        return;
    }
    const int slot = queued_ >= 0 ? queued_ : freeSlot();
    responses_[slot] = next;
    queued_ = slot;
}

void EqualizerFilter::reset() noexcept
{
    current_ = latest();
    target_ = queued_ = -1;
    fadePosition_ = 0;
    responses_[current_].clearState();
    fresh_ = true;
}

void EqualizerFilter::process(float *interleavedStereo, std::size_t frames) noexcept
{
    if (interleavedStereo == nullptr || frames == 0) {
        return;
    }
    fresh_ = false;

    double outgoing[2 * kChunkFrames];
    double incoming[2 * kChunkFrames];
    float *io = interleavedStereo;
    while (frames > 0) {
        if (!fading() && !responses_[current_].enabled) {
            return;  // switched off: the samples stay exactly as they are
        }
        std::size_t count = std::min(frames, kChunkFrames);
        if (!fading()) {
            responses_[current_].run(kernel_, io, io, incoming, count);
        } else {
            count = std::min(count, fadeLength_ - fadePosition_);
            // Both responses hear the same input; their outputs are alike,
            // so a straight-line crossfade keeps the level steady.
            responses_[current_].run(kernel_, io, outgoing, outgoing, count);
            responses_[target_].run(kernel_, io, incoming, incoming, count);
            const double step = 1.0 / static_cast<double>(fadeLength_);
            for (std::size_t n = 0; n < count; ++n) {
                const double weight = static_cast<double>(fadePosition_ + n + 1) * step;
                for (std::size_t c = 2 * n; c < 2 * n + 2; ++c) {
                    io[c] = outputSample(outgoing[c] + weight * (incoming[c] - outgoing[c]));
                }
            }
            fadePosition_ += count;
            if (fadePosition_ >= fadeLength_) {
                finishFade();
            }
        }
        io += 2 * count;
        frames -= count;
    }
}

}  // namespace audioengine
