#pragma once

#include "Analyzer.h"
#include "AudioDevice.h"
#include "Decoder.h"
#include "EqualizerFilter.h"
#include "Renderer.h"

#include "sonbrel_mp3.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include <semaphore.h>

namespace audioengine {

// The engine's one current track, its decoding thread and the audio device.
//
// Threads: the host calls the public members from any thread (in practice
// its UI thread); a worker thread decodes ahead, runs the equalizer, tells
// the attached window about new status and closes the device once playback
// has ended; the device's callback runs Renderer::render. The worker exists
// only while a track plays or the device is open, so an idle engine has no
// thread of its own and holds no device.
//
// Waking costs more than the work while a track plays, so the worker wakes
// only to tell the window (and tops the queue up then), or, with no window
// attached, when the callback finds the queue running low; the device's
// buffers are long while no window wants status, and no longer than half the
// status interval otherwise.
class Engine {
public:
    // The process's engine. It lives until the process ends; at exit the
    // device is closed and the worker joined.
    static Engine &instance();

    Engine();
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    void attachWindow(sbmp3_window *window);
    void releaseWindow(sbmp3_window *window);

    std::int16_t play(const char *path, float fadeInSeconds);
    void resume();
    void pause();
    void stop();
    void fadeOut(float seconds);
    void seek(double seconds);
    void setStatusInterval(int milliseconds);
    bool finished() const noexcept;
    void status(std::int16_t *status, double *position, std::int16_t *levels, std::int16_t *wave,
                float *spectrum);

    void setBandFrequencies(const std::int16_t *frequencies, int count);
    void setBandGains(const float *gains);
    void setOverallGains(const float *left, const float *right);
    void setEqualizerEnabled(bool enabled);

    // Closes the device and joins the worker; later calls start afresh.
    void shutdown();

    // For tests: whether the device is open and the worker runs.
    bool deviceOpen() const;
    bool workerRunning() const;
    // For benchmarks: when the last frame of the latest track, and the first
    // one, were handed to the device (steady clock, nanoseconds), 0 before.
    std::int64_t endHandedOutAt() const noexcept { return renderer_.endHandedOutAt(); }
    std::int64_t startHandedOutAt() const noexcept { return renderer_.startHandedOutAt(); }
    // For tests: device callbacks that found a start without its audio.
    std::uint64_t startsThatWaited() const noexcept { return renderer_.startsThatWaited(); }
    // For tests: frames per device callback, 0 while no device is open.
    int deviceBufferFrames() const;

    // How long the device stays open after playback has ended.
    static constexpr std::chrono::milliseconds kIdleClose{1000};

private:
    enum class State { Idle, Playing, Paused, Stopped, Ended };

    static void audioCallback(void *engine, float *out, std::size_t frames);
    static void wakeWorker(void *engine);

    bool active() const { return state_ == State::Playing || state_ == State::Paused; }
    int deviceBufferFor(int sampleRate) const;
    void closeDevice();
    void ensureWorker();
    void workerLoop();
    bool refreshState();
    void produce(std::size_t most = kQueueChunks, std::size_t upTo = kDecodeAhead);
    void endTrack(State next);
    double currentPosition() const;
    void notifyWindow();
    std::uint64_t nextEpoch();

    mutable std::mutex mutex_;
    std::recursive_mutex windowMutex_;
    sbmp3_window *window_ = nullptr;
    std::atomic<bool> windowAttached_{false};

    Renderer renderer_;
    SpectrumAnalyzer analyzer_;
    sem_t wake_{};

    std::thread worker_;
    bool workerRunning_ = false;
    bool quit_ = false;

    State state_ = State::Idle;
    bool endReported_ = true;
    bool fadingOut_ = false;
    std::uint64_t epochCounter_ = 0;
    std::atomic<std::uint64_t> epoch_{0}; // the epoch whose end counts as the track's end
    std::uint64_t trackEpoch_ = 0;        // the epoch the current track started with
    std::atomic<int> intervalMs_{100};

    std::unique_ptr<Decoder> decoder_;
    int sampleRate_ = 44100;
    std::uint64_t decoderEpoch_ = 0;
    std::int64_t decodeFrame_ = 0;
    bool decoderAtEnd_ = false;
    bool seekPending_ = false;
    std::int64_t seekTarget_ = 0;
    std::int64_t startFrame_ = 0; // where the latest start or seek begins
    double lastPosition_ = 0.0;

    EqualizerSettings eqSettings_;
    bool eqDirty_ = true;
    EqualizerFilter equalizer_;

    AudioDevice device_;
    std::chrono::steady_clock::time_point idleSince_{};
};

} // namespace audioengine
