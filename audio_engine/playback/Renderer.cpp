#include "Renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace audioengine {

namespace {

std::uint32_t levelOf(float peak) noexcept
{
    // peak is already clamped to [0, 1]
    return static_cast<std::uint32_t>(std::lround(peak * 32767.0f));
}

void raiseTo(std::atomic<std::uint32_t> &target, std::uint32_t value) noexcept
{
    std::uint32_t seen = target.load(std::memory_order_relaxed);
    while (seen < value && !target.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

float clampSample(float value) noexcept
{
    // Also turns NaN into silence: comparisons with NaN are false.
    if (!(value > -1.0f))
        return value <= -1.0f ? -1.0f : 0.0f;
    return value < 1.0f ? value : 1.0f;
}

} // namespace

Renderer::Renderer(int sampleRate, WakeFunction wake, void *wakeContext)
    : wake_(wake), wakeContext_(wakeContext)
{
    reset(sampleRate);
}

void Renderer::reset(int sampleRate) noexcept
{
    while (chunks_.front() != nullptr)
        chunks_.pop();
    asked_ = {};
    now_ = {};
    control_.reset(asked_);
    rampFrames_ = std::max(1, static_cast<int>(std::lround(std::max(sampleRate, 1) * kClickRampSeconds)));
    active_ = wanted_ = retired_ = playingTrack_ = fadeOutsDone_ = highestSeen_ = 0;
    startWaitedInThisCall_ = false;
    paused_ = false;
    click_ = 0;
    fade_ = 1.0;
    fadeStep_ = 0.0;
    offset_ = 0;
    endedInThisCall_ = startedInThisCall_ = finishedInThisCall_ = false;
}

void Renderer::post(const RenderCommand &command) noexcept
{
    switch (command.kind) {
    case RenderCommand::Kind::Start:
        asked_.epoch = asked_.track = command.epoch;
        asked_.frame = command.frame;
        asked_.fadeInFrames = std::max<std::int64_t>(command.fadeFrames, 0);
        asked_.paused = false;
        asked_.fadeOutTrack = 0;
        break;
    case RenderCommand::Kind::Seek:
        // A seek before a start took effect still starts the track: the
        // track stays what it was.
        asked_.epoch = command.epoch;
        asked_.frame = command.frame;
        break;
    case RenderCommand::Kind::Pause:
        asked_.paused = true;
        break;
    case RenderCommand::Kind::Resume:
        asked_.paused = false;
        break;
    case RenderCommand::Kind::Stop:
        asked_.epoch = 0;
        asked_.paused = false;
        asked_.fadeOutTrack = 0;
        break;
    case RenderCommand::Kind::FadeOut:
        if (asked_.epoch == 0)
            return;
        ++asked_.fadeOutSerial;
        asked_.fadeOutTrack = asked_.track;
        asked_.fadeOutFrames = command.fadeFrames;
        break;
    }
    control_.publish(asked_);
}

void Renderer::takeControl() noexcept
{
    now_ = control_.read();
    highestSeen_ = std::max(highestSeen_, now_.epoch);
    // An epoch that has played to its end or faded out stays silent.
    wanted_ = now_.epoch > retired_ ? now_.epoch : 0;
    paused_ = now_.paused;
    fadeOutWhenAsked();
    if (active_ == 0 && wanted_ == 0) {
        // Silent: what is left of epochs asked for so far will never play,
        // and the room is wanted for the next start's first audio.
        for (AudioChunk *chunk = chunks_.front(); chunk != nullptr && chunk->epoch <= highestSeen_;
             chunk = chunks_.front())
            chunks_.pop();
    }
}

void Renderer::fadeOutWhenAsked() noexcept
{
    if (now_.fadeOutSerial != fadeOutsDone_ && active_ != 0 && active_ == wanted_ && now_.fadeOutTrack == playingTrack_) {
        startFadeOut(now_.fadeOutFrames);
        fadeOutsDone_ = now_.fadeOutSerial;
    }
}

void Renderer::startFadeOut(std::int64_t frames) noexcept
{
    // From whatever level the envelope has now down to silence.
    const double length = static_cast<double>(std::max<std::int64_t>(frames, 1));
    fadeStep_ = -std::max(fade_, 1e-6) / length;
}

void Renderer::adoptWantedEpoch() noexcept
{
    if (wanted_ != 0) {
        // Whatever is older goes; the epoch begins once its audio is there.
        for (AudioChunk *chunk = chunks_.front(); chunk != nullptr && chunk->epoch < wanted_; chunk = chunks_.front())
            chunks_.pop();
        const AudioChunk *first = chunks_.front();
        if (first == nullptr || first->epoch != wanted_) {
            active_ = 0;
            offset_ = 0;
            startWaitedInThisCall_ = startWaitedInThisCall_ || now_.track != playingTrack_;
            return;
        }
    }
    active_ = wanted_;
    offset_ = 0;
    if (active_ == 0)
        return;
    if (now_.track != playingTrack_) {
        playingTrack_ = now_.track;
        fade_ = now_.fadeInFrames > 0 ? 0.0 : 1.0;
        fadeStep_ = now_.fadeInFrames > 0 ? 1.0 / static_cast<double>(now_.fadeInFrames) : 0.0;
        startedInThisCall_ = true;
    }
    fadeOutWhenAsked();
    heardFrame_.store(now_.frame, std::memory_order_release);
    heardEpoch_.store(active_, std::memory_order_release);
}

AudioChunk *Renderer::currentChunk() noexcept
{
    for (AudioChunk *chunk = chunks_.front(); chunk != nullptr; chunk = chunks_.front()) {
        if (chunk->epoch > active_)
            return nullptr; // the next epoch's audio: not ours to play
        if (chunk->epoch == active_ && offset_ < chunk->frames)
            return chunk;
        const bool endOfTrack = chunk->epoch == active_ && chunk->last;
        chunks_.pop();
        offset_ = 0;
        if (endOfTrack) {
            finishEpoch();
            return nullptr;
        }
    }
    return nullptr;
}

void Renderer::finishEpoch() noexcept
{
    endedEpoch_.store(active_, std::memory_order_release);
    endedInThisCall_ = finishedInThisCall_ = true;
    retired_ = std::max(retired_, active_);
    if (wanted_ == active_)
        wanted_ = 0;
    active_ = 0;
    click_ = 0;
    offset_ = 0;
}

bool Renderer::nextFrame(float &left, float &right) noexcept
{
    if (active_ != wanted_ && click_ == 0)
        adoptWantedEpoch();
    if (active_ == 0)
        return false;
    const bool running = active_ == wanted_ && !paused_;
    if (!running && click_ == 0)
        return false; // paused: silent, and the queue keeps its place

    AudioChunk *chunk = currentChunk();
    if (chunk == nullptr) {
        // Underrun, or nothing left of an epoch we were leaving: switch at once.
        if (active_ != wanted_)
            click_ = 0;
        return false;
    }

    const float gain = static_cast<float>(click_) / static_cast<float>(rampFrames_) * static_cast<float>(fade_);
    left = clampSample(chunk->samples[2 * offset_] * gain);
    right = clampSample(chunk->samples[2 * offset_ + 1] * gain);
    ++offset_;

    click_ = running ? std::min(rampFrames_, click_ + 1) : std::max(0, click_ - 1);
    if (fadeStep_ != 0.0) {
        fade_ += fadeStep_;
        if (fade_ >= 1.0) {
            fade_ = 1.0;
            fadeStep_ = 0.0;
        } else if (fade_ <= 0.0) {
            fade_ = 0.0;
            fadeStep_ = 0.0;
            fadedOutEpoch_.store(active_, std::memory_order_release);
            retired_ = std::max(retired_, active_);
            finishedInThisCall_ = true;
            if (wanted_ == active_) {
                wanted_ = 0;
                click_ = 0; // already silent: no ramp needed
            }
        }
    }
    if (active_ == wanted_)
        heardFrame_.store(chunk->firstFrame + offset_, std::memory_order_release);
    if (offset_ >= chunk->frames) {
        const bool endOfTrack = chunk->last;
        chunks_.pop();
        offset_ = 0;
        if (endOfTrack && active_ != 0)
            finishEpoch();
    }
    return true;
}

void Renderer::render(float *out, std::size_t frames) noexcept
{
    takeControl();

    float peakLeft = 0.0f;
    float peakRight = 0.0f;
    std::uint64_t count = historyCount_.load(std::memory_order_relaxed);
    std::size_t done = 0;
    while (done < frames) {
        // Steady playing, the usual case: whole runs of a chunk at one gain.
        if (active_ != 0 && active_ == wanted_ && !paused_ && click_ == rampFrames_ && fadeStep_ == 0.0) {
            if (AudioChunk *chunk = currentChunk()) {
                const std::size_t run = std::min<std::size_t>(frames - done, chunk->frames - offset_);
                copyRun(chunk->samples.data() + 2 * offset_, out + 2 * done, run, static_cast<float>(fade_),
                        peakLeft, peakRight, count);
                done += run;
                offset_ += static_cast<std::uint32_t>(run);
                heardFrame_.store(chunk->firstFrame + offset_, std::memory_order_release);
                if (offset_ >= chunk->frames) {
                    const bool endOfTrack = chunk->last;
                    chunks_.pop();
                    offset_ = 0;
                    if (endOfTrack)
                        finishEpoch();
                }
                continue;
            }
        }
        // Ramps, fades, switches and silence: one frame at a time.
        float left = 0.0f;
        float right = 0.0f;
        if (nextFrame(left, right)) {
            recordFrame(left, right, peakLeft, peakRight, count);
        }
        out[2 * done] = left;
        out[2 * done + 1] = right;
        ++done;
    }
    // A track whose last chunk came empty (nothing after a seek to its end)
    // ends now, not one call later.
    if (active_ != 0 && active_ == wanted_)
        currentChunk();

    historyCount_.store(count, std::memory_order_release);
    raiseTo(peakLeft_, levelOf(peakLeft));
    raiseTo(peakRight_, levelOf(peakRight));
    if (startWaitedInThisCall_) {
        startsThatWaited_.fetch_add(1, std::memory_order_relaxed);
        startWaitedInThisCall_ = false;
    }
    if (endedInThisCall_ || startedInThisCall_) {
        const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
        if (endedInThisCall_)
            endHandedOutAt_.store(now, std::memory_order_release);
        if (startedInThisCall_)
            startHandedOutAt_.store(now, std::memory_order_release);
        endedInThisCall_ = startedInThisCall_ = false;
    }

    // The producer hears of an end or a finished fade-out at once, and of a
    // queue running low once until it has topped the queue up.
    if (wake_ != nullptr) {
        const bool low = chunks_.size() <= refillLevel_.load(std::memory_order_relaxed)
                         && !wakeRequested_.exchange(true, std::memory_order_acq_rel);
        if (low || finishedInThisCall_)
            wake_(wakeContext_);
    }
    finishedInThisCall_ = false;
}

void Renderer::recordFrame(float left, float right, float &peakLeft, float &peakRight, std::uint64_t &count) noexcept
{
    const std::size_t at = static_cast<std::size_t>(count % kHistoryFrames) * 2;
    history_[at].store(left, std::memory_order_relaxed);
    history_[at + 1].store(right, std::memory_order_relaxed);
    ++count;
    peakLeft = std::max(peakLeft, std::fabs(left));
    peakRight = std::max(peakRight, std::fabs(right));
}

void Renderer::copyRun(const float *in, float *out, std::size_t frames, float gain, float &peakLeft,
                       float &peakRight, std::uint64_t &count) noexcept
{
#if defined(__SSE2__)
    // Two frames at a time: left, right, left, right. NaN reads as silence,
    // as in clampSample.
    const __m128 scale = _mm_set1_ps(gain);
    const __m128 high = _mm_set1_ps(1.0f);
    const __m128 low = _mm_set1_ps(-1.0f);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 peaks = _mm_setzero_ps();
    std::size_t i = 0;
    for (; i + 2 <= frames; i += 2) {
        __m128 value = _mm_mul_ps(_mm_loadu_ps(in + 2 * i), scale);
        value = _mm_and_ps(value, _mm_cmpord_ps(value, value));
        value = _mm_min_ps(_mm_max_ps(value, low), high);
        _mm_storeu_ps(out + 2 * i, value);
        peaks = _mm_max_ps(peaks, _mm_and_ps(value, magnitude));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, peaks);
    float left = std::max({peakLeft, lanes[0], lanes[2]});
    float right = std::max({peakRight, lanes[1], lanes[3]});
#else
    std::size_t i = 0;
    float left = peakLeft;
    float right = peakRight;
#endif
    for (; i < frames; ++i) {
        const float l = clampSample(in[2 * i] * gain);
        const float r = clampSample(in[2 * i + 1] * gain);
        out[2 * i] = l;
        out[2 * i + 1] = r;
        left = std::max(left, std::fabs(l));
        right = std::max(right, std::fabs(r));
    }
    peakLeft = left;
    peakRight = right;
    // Only the newest frames can still be asked for.
    const std::size_t keep = std::min(frames, kHistoryFrames);
    for (std::size_t k = frames - keep; k < frames; ++k) {
        const std::size_t at = static_cast<std::size_t>((count + k) % kHistoryFrames) * 2;
        history_[at].store(out[2 * k], std::memory_order_relaxed);
        history_[at + 1].store(out[2 * k + 1], std::memory_order_relaxed);
    }
    count += frames;
}

void Renderer::takePeaks(std::int16_t &left, std::int16_t &right) noexcept
{
    left = static_cast<std::int16_t>(peakLeft_.exchange(0, std::memory_order_relaxed));
    right = static_cast<std::int16_t>(peakRight_.exchange(0, std::memory_order_relaxed));
}

void Renderer::copyRecent(float *out, std::size_t count) const noexcept
{
    const std::uint64_t written = historyCount_.load(std::memory_order_acquire);
    count = std::min(count, kHistoryFrames);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t back = count - i; // 1 = the newest frame
        if (back > written) {
            out[2 * i] = out[2 * i + 1] = 0.0f;
            continue;
        }
        const std::size_t at = static_cast<std::size_t>((written - back) % kHistoryFrames) * 2;
        out[2 * i] = history_[at].load(std::memory_order_relaxed);
        out[2 * i + 1] = history_[at + 1].load(std::memory_order_relaxed);
    }
}

} // namespace audioengine
