#pragma once

#include "LatestValue.h"
#include "SpscQueue.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace audioengine {

inline constexpr std::size_t kChunkFrames = 1024;   // frames per decoded chunk
inline constexpr std::size_t kQueueChunks = 32;     // room in the queue
inline constexpr std::size_t kDecodeAhead = 16;     // chunks decoded ahead: about 0.37 s at 44.1 kHz;
                                                    // the rest is room for a new start's first audio
inline constexpr std::size_t kHistoryFrames = 256;  // frames kept for the wave and spectrum
inline constexpr double kClickRampSeconds = 0.005;  // ramp that keeps pause, stop and seek free of clicks

// Decoded audio on its way to the device: interleaved stereo floats. Each
// start and each seek opens a new epoch; chunks of an older epoch are
// dropped unheard, so nothing has to flush the queue from the producer side.
struct AudioChunk {
    std::uint64_t epoch = 0;
    std::int64_t firstFrame = 0; // track frame of samples[0]
    std::uint32_t frames = 0;
    bool last = false;           // the track ends with this chunk
    std::array<float, kChunkFrames * 2> samples{};
};

// What the control side asks of the callback, in the order it asks it.
struct RenderCommand {
    enum class Kind : std::uint8_t { Start, Seek, Pause, Resume, Stop, FadeOut };
    Kind kind = Kind::Stop;
    std::uint64_t epoch = 0;     // Start, Seek: the epoch to play from now on
    std::int64_t frame = 0;      // Start, Seek: the track frame where that epoch begins
    std::int64_t fadeFrames = 0; // Start: fade-in length (0: full level at once); FadeOut: decay length
};

// The sum of all commands so far: what the callback is to do now. The
// control side folds each command into it and publishes the whole, so no
// command is ever lost however many come between two callbacks, and only
// the latest seek counts.
struct RenderControl {
    std::uint64_t epoch = 0;         // the epoch to play, 0 for silence
    std::int64_t frame = 0;          // the track frame where that epoch begins
    std::uint64_t track = 0;         // the epoch the current track started with
    std::int64_t fadeInFrames = 0;   // that start's fade-in
    bool paused = false;
    std::uint64_t fadeOutSerial = 0; // counts fade-out requests
    std::uint64_t fadeOutTrack = 0;  // the track the latest one is for, 0 none
    std::int64_t fadeOutFrames = 0;
};

using ChunkQueue = SpscQueue<AudioChunk, kQueueChunks>;

// The body of the audio callback. It mixes nothing and decodes nothing: it
// takes decoded chunks, applies the click ramp and the fade envelope, clamps,
// and records what it hands out (position, peaks, the last frames) for the
// status readers. It never allocates, locks or touches a file.
//
// An epoch takes over once its first audio is queued, so a start or a seek
// never begins with a stretch of silence; the end of a track is reported by
// the call that hands out its last frame.
//
// Threads: post() from the control side (one at a time), chunks() filled by
// the decoding thread (or the control side, one at a time), render() from
// the audio callback, the readers from anywhere.
class Renderer {
public:
    using WakeFunction = void (*)(void *context);

    explicit Renderer(int sampleRate = 44100, WakeFunction wake = nullptr, void *wakeContext = nullptr);

    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // Forgets everything, for a device opened anew. Only while no callback runs.
    void reset(int sampleRate) noexcept;

    // Takes a command into account; the next render() follows it.
    void post(const RenderCommand &command) noexcept;
    ChunkQueue &chunks() noexcept { return chunks_; }

    void render(float *out, std::size_t frames) noexcept;

    // The producer calls this before it tops the queue up; render() wakes it
    // again once no more than the refill level of chunks are left, and
    // whenever an epoch ends or fades out.
    void clearWakeRequest() noexcept { wakeRequested_.store(false, std::memory_order_release); }
    void setRefillLevel(std::size_t chunks) noexcept { refillLevel_.store(chunks, std::memory_order_relaxed); }

    std::uint64_t endedEpoch() const noexcept { return endedEpoch_.load(std::memory_order_acquire); }
    // When (steady clock, nanoseconds) the callback that handed out the last
    // frame of a track returned it to the device: for measuring how soon the
    // end is seen.
    std::int64_t endHandedOutAt() const noexcept { return endHandedOutAt_.load(std::memory_order_acquire); }
    // The same for the first frame of the latest track: how soon a start is heard.
    std::int64_t startHandedOutAt() const noexcept { return startHandedOutAt_.load(std::memory_order_acquire); }
    // Calls that found a start posted but its audio not yet queued, and so
    // handed out silence where the track should have begun.
    std::uint64_t startsThatWaited() const noexcept { return startsThatWaited_.load(std::memory_order_relaxed); }
    std::uint64_t fadedOutEpoch() const noexcept { return fadedOutEpoch_.load(std::memory_order_acquire); }
    std::uint64_t heardEpoch() const noexcept { return heardEpoch_.load(std::memory_order_acquire); }
    std::int64_t heardFrame() const noexcept { return heardFrame_.load(std::memory_order_acquire); }

    // Peak levels (0-32767) of left and right since the previous call.
    void takePeaks(std::int16_t &left, std::int16_t &right) noexcept;
    // The last count frames handed out (interleaved stereo, oldest first);
    // zeros where fewer have been heard.
    void copyRecent(float *out, std::size_t count) const noexcept;

private:
    bool nextFrame(float &left, float &right) noexcept;
    void takeControl() noexcept;
    void adoptWantedEpoch() noexcept;
    void fadeOutWhenAsked() noexcept;
    AudioChunk *currentChunk() noexcept;
    void startFadeOut(std::int64_t frames) noexcept;
    void finishEpoch() noexcept;
    void recordFrame(float left, float right, float &peakLeft, float &peakRight, std::uint64_t &count) noexcept;
    void copyRun(const float *in, float *out, std::size_t frames, float gain, float &peakLeft, float &peakRight,
                 std::uint64_t &count) noexcept;

    ChunkQueue chunks_;
    RenderControl asked_;                 // control side: the commands so far
    LatestValue<RenderControl> control_;  // from the control side to the callback
    WakeFunction wake_;
    void *wakeContext_;

    // Callback state.
    RenderControl now_;         // the latest control taken
    int rampFrames_ = 1;
    std::uint64_t active_ = 0;  // epoch being played, 0 none
    std::uint64_t wanted_ = 0;  // epoch to move to, 0 silence
    std::uint64_t retired_ = 0; // latest epoch that played to its end or faded out
    std::uint64_t playingTrack_ = 0; // the track of active_
    std::uint64_t fadeOutsDone_ = 0; // fade-out requests acted on
    std::uint64_t highestSeen_ = 0;  // the latest epoch ever asked for
    bool startWaitedInThisCall_ = false;
    bool paused_ = false;
    int click_ = 0;             // click-ramp position, 0 (silent) to rampFrames_
    double fade_ = 1.0;         // fade envelope
    double fadeStep_ = 0.0;
    std::uint32_t offset_ = 0;  // frames of the front chunk already handed out
    bool endedInThisCall_ = false;
    bool startedInThisCall_ = false;
    bool finishedInThisCall_ = false; // an epoch ended or faded out

    // Published state.
    std::atomic<bool> wakeRequested_{false};
    std::atomic<std::size_t> refillLevel_{kDecodeAhead / 2};
    std::atomic<std::uint64_t> endedEpoch_{0};
    std::atomic<std::uint64_t> fadedOutEpoch_{0};
    std::atomic<std::int64_t> endHandedOutAt_{0};
    std::atomic<std::int64_t> startHandedOutAt_{0};
    std::atomic<std::uint64_t> startsThatWaited_{0};
    std::atomic<std::uint64_t> heardEpoch_{0};
    std::atomic<std::int64_t> heardFrame_{0};
    std::atomic<std::uint32_t> peakLeft_{0};
    std::atomic<std::uint32_t> peakRight_{0};
    std::array<std::atomic<float>, kHistoryFrames * 2> history_{};
    std::atomic<std::uint64_t> historyCount_{0};
};

} // namespace audioengine
