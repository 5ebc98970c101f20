#include "Equalizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonbrel {
namespace {

// Frames handled per pass over the bands; the working copies live on the stack.
constexpr std::size_t kChunkFrames = 256;

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

double inputSample(float value) noexcept
{
    if (std::isnan(value)) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(value), -double{kSampleLimit}, double{kSampleLimit});
}

float outputSample(double value) noexcept
{
    if (std::isnan(value)) {
        return 0.0f;
    }
    return static_cast<float>(std::clamp(value, -double{kSampleLimit}, double{kSampleLimit}));
}

}  // namespace

void Equalizer::Band::run(double *io, std::size_t frames) noexcept
{
    double l1 = state[0], l2 = state[1], r1 = state[2], r2 = state[3];
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
    // The filters are stable and their input is limited, so this never
    // fires in practice; should the history ever break, start it afresh
    // rather than emit NaN for the rest of the track.
    if (!std::isfinite(l1) || !std::isfinite(l2) || !std::isfinite(r1) || !std::isfinite(r2)) {
        l1 = l2 = r1 = r2 = 0.0;
    }
    state[0] = l1;
    state[1] = l2;
    state[2] = r1;
    state[3] = r2;
}

void Equalizer::Response::run(double *io, std::size_t frames) noexcept
{
    if (!enabled) {
        return;
    }
    if (bandCount > 0) {
        for (std::size_t i = 0; i < 2 * frames; ++i) {
            io[i] += kAntiDenormal;
        }
        for (int b = 0; b < bandCount; ++b) {
            bands[b].run(io, frames);
        }
        for (std::size_t i = 0; i < 2 * frames; ++i) {
            io[i] -= kAntiDenormal;
        }
    }
    if (leftGain != 1.0 || rightGain != 1.0) {
        for (std::size_t n = 0; n < frames; ++n) {
            io[2 * n] *= leftGain;
            io[2 * n + 1] *= rightGain;
        }
    }
}

void Equalizer::Response::clearState() noexcept
{
    for (Band &band : bands) {
        std::fill(std::begin(band.state), std::end(band.state), 0.0);
    }
}

bool Equalizer::Response::soundsLike(const Response &other) const noexcept
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
void Equalizer::Response::takeStateFrom(const Response &previous) noexcept
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

Equalizer::Response Equalizer::design(const EqualizerSettings &settings, int sampleRate)
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

Equalizer::Equalizer() noexcept = default;

int Equalizer::freeSlot() const noexcept
{
    for (int slot = 0;; ++slot) {
        if (slot != current_ && slot != target_ && slot != queued_) {
            return slot;
        }
    }
}

int Equalizer::latest() const noexcept
{
    if (queued_ >= 0) {
        return queued_;
    }
    return fading() ? target_ : current_;
}

void Equalizer::beginFade(int slot) noexcept
{
    responses_[slot].takeStateFrom(responses_[current_]);
    target_ = slot;
    fadePosition_ = 0;
    fadeLength_ = nextFadeLength_;
}

void Equalizer::finishFade() noexcept
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

void Equalizer::configure(const EqualizerSettings &settings, int sampleRate)
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

void Equalizer::reset() noexcept
{
    current_ = latest();
    target_ = queued_ = -1;
    fadePosition_ = 0;
    responses_[current_].clearState();
    fresh_ = true;
}

void Equalizer::process(float *interleavedStereo, std::size_t frames) noexcept
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
        if (fading()) {
            count = std::min(count, fadeLength_ - fadePosition_);
        }
        for (std::size_t i = 0; i < 2 * count; ++i) {
            incoming[i] = inputSample(io[i]);
        }

        if (!fading()) {
            responses_[current_].run(incoming, count);
        } else {
            // Both responses hear the same input; their outputs are alike,
            // so a straight-line crossfade keeps the level steady.
            std::copy(incoming, incoming + 2 * count, outgoing);
            responses_[current_].run(outgoing, count);
            responses_[target_].run(incoming, count);
            const double step = 1.0 / static_cast<double>(fadeLength_);
            for (std::size_t n = 0; n < count; ++n) {
                const double weight = static_cast<double>(fadePosition_ + n + 1) * step;
                for (std::size_t c = 2 * n; c < 2 * n + 2; ++c) {
                    incoming[c] = outgoing[c] + weight * (incoming[c] - outgoing[c]);
                }
            }
            fadePosition_ += count;
            if (fadePosition_ >= fadeLength_) {
                finishFade();
            }
        }

        for (std::size_t i = 0; i < 2 * count; ++i) {
            io[i] = outputSample(incoming[i]);
        }
        io += 2 * count;
        frames -= count;
    }
}

}  // namespace sonbrel
