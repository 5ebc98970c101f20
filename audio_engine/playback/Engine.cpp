#include "Engine.h"

#include "StreamFiles.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace audioengine {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLongestFade = 3600.0; // seconds; keeps frame counts in range
constexpr double kLongestFadeOut = 20.0;

// Waits until the semaphore is posted or the deadline passes. steady_clock
// is CLOCK_MONOTONIC on Linux, so the deadline converts directly.
void waitUntil(sem_t &semaphore, Clock::time_point deadline)
{
    if (deadline == Clock::time_point::max()) {
        while (sem_wait(&semaphore) != 0 && errno == EINTR) {
        }
        return;
    }
    const auto since = deadline.time_since_epoch();
    timespec until{};
    until.tv_sec = static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    until.tv_nsec = static_cast<long>((since - std::chrono::seconds(until.tv_sec)).count());
    while (sem_clockwait(&semaphore, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
    }
}

void closeEngineAtExit()
{
    Engine::instance().shutdown();
}

} // namespace

Engine &Engine::instance()
{
    // Never destroyed: hosts may still release their windows while the
    // process winds down. The exit handler only closes the device.
    static Engine *engine = [] {
        auto *created = new Engine;
        std::atexit(closeEngineAtExit);
        return created;
    }();
    return *engine;
}

Engine::Engine() : renderer_(44100, &Engine::wakeWorker, this)
{
    sem_init(&wake_, 0, 0);
}

Engine::~Engine()
{
    shutdown();
    sem_destroy(&wake_);
}

void Engine::wakeWorker(void *engine)
{
    // sem_post takes no lock, so the audio callback may call it.
    sem_post(&static_cast<Engine *>(engine)->wake_);
}

void Engine::audioCallback(void *engine, float *out, std::size_t frames)
{
    static_cast<Engine *>(engine)->renderer_.render(out, frames);
}

std::uint64_t Engine::nextEpoch()
{
    epoch_.store(++epochCounter_, std::memory_order_release);
    return epochCounter_;
}

// --- Windows -------------------------------------------------------------

void Engine::attachWindow(sbmp3_window *window)
{
    {
        std::lock_guard lock(windowMutex_);
        window_ = window;
        windowAttached_.store(window != nullptr, std::memory_order_relaxed);
    }
    sem_post(&wake_); // a playing track's worker starts telling it
}

void Engine::releaseWindow(sbmp3_window *window)
{
    // The worker calls invalidate with this mutex held, so once we hold it
    // no call to the window is under way, and none will follow.
    std::lock_guard lock(windowMutex_);
    if (window_ == window) {
        window_ = nullptr;
        windowAttached_.store(false, std::memory_order_relaxed);
    }
}

void Engine::notifyWindow()
{
    std::lock_guard lock(windowMutex_);
    if (window_ != nullptr && window_->invalidate != nullptr)
        window_->invalidate(window_);
}

// --- Transport -----------------------------------------------------------

std::int16_t Engine::play(const char *path, float fadeInSeconds)
{
    if (path == nullptr || *path == '\0')
        return SBMP3_ERR_BAD_FILE_NAME;
    // The probe rejects what is not MPEG audio before libmpg123, which is
    // lenient enough to find "frames" in random bytes.
    if (const std::int16_t probe = probeMpegFile(path); probe != 0)
        return probe;
    std::unique_ptr<Decoder> decoder;
    if (const std::int16_t opened = Decoder::open(path, decoder); opened != 0)
        return opened;

    std::lock_guard lock(mutex_);
    if (active()) {
        endTrack(State::Stopped);
        renderer_.post({RenderCommand::Kind::Stop});
    }
    const int rate = decoder->sampleRate();
    const int buffer = deviceBufferFor(rate);
    const bool reopen =
        !device_.isOpen() || device_.rate() != rate || device_.bufferFrames() != buffer || device_.lost();
    if (reopen) {
        closeDevice();
        renderer_.reset(rate); // no callback runs while the device is closed
    }

    sampleRate_ = rate;
    double fade = std::isfinite(fadeInSeconds) ? std::clamp<double>(fadeInSeconds, 0.0, kLongestFade) : 0.0;
    const auto fadeFrames = static_cast<std::int64_t>(std::llround(fade * sampleRate_));
    const std::uint64_t epoch = nextEpoch();
    decoder_ = std::move(decoder);
    decoderEpoch_ = trackEpoch_ = epoch;
    decodeFrame_ = startFrame_ = 0;
    decoderAtEnd_ = seekPending_ = fadingOut_ = false;
    eqDirty_ = true;
    equalizer_.reset();
    lastPosition_ = 0.0;
    // The worker tops the queue up at each status tick while a window
    // listens; the callback wakes it sooner only when the queue holds no
    // more than two of its buffers.
    const auto twoBuffers = static_cast<std::size_t>((2 * buffer + kChunkFrames - 1) / kChunkFrames);
    renderer_.setRefillLevel(std::min(twoBuffers + 1, kDecodeAhead / 2));

    state_ = State::Playing;
    endReported_ = false;
    // The first buffer the device asks for is there before the start is
    // posted, so the track begins with its first sample, not with silence.
    // The queue keeps room for it beyond what is decoded ahead.
    produce(static_cast<std::size_t>(buffer) / kChunkFrames + 1, kQueueChunks);
    renderer_.post({RenderCommand::Kind::Start, epoch, 0, fadeFrames});
    if (reopen) {
        if (const std::int16_t opened = device_.open(rate, buffer, &Engine::audioCallback, this); opened != 0) {
            endTrack(State::Stopped);
            return opened;
        }
    }
    ensureWorker();
    sem_post(&wake_);
    return 0;
}

void Engine::pause()
{
    std::lock_guard lock(mutex_);
    refreshState();
    if (state_ != State::Playing || fadingOut_)
        return;
    renderer_.post({RenderCommand::Kind::Pause});
    state_ = State::Paused;
}

void Engine::resume()
{
    std::lock_guard lock(mutex_);
    refreshState();
    if (state_ != State::Paused)
        return;
    renderer_.post({RenderCommand::Kind::Resume});
    state_ = State::Playing;
    sem_post(&wake_);
}

void Engine::stop()
{
    std::lock_guard lock(mutex_);
    refreshState();
    if (!active())
        return;
    renderer_.post({RenderCommand::Kind::Stop});
    endTrack(State::Stopped);
    sem_post(&wake_);
}

void Engine::fadeOut(float seconds)
{
    std::lock_guard lock(mutex_);
    refreshState();
    if (state_ == State::Paused) {
        // Already silent: nothing to fade.
        renderer_.post({RenderCommand::Kind::Stop});
        endTrack(State::Stopped);
        sem_post(&wake_);
        return;
    }
    if (state_ != State::Playing)
        return;
    const double decay = std::isfinite(seconds) ? std::clamp<double>(seconds, 0.0, kLongestFadeOut) : 0.0;
    // A zero decay still takes the few milliseconds of the click ramp.
    const auto frames = std::max<std::int64_t>(
        std::llround(std::max(decay, kClickRampSeconds) * sampleRate_), 1);
    renderer_.post({RenderCommand::Kind::FadeOut, 0, 0, frames});
    fadingOut_ = true;
}

void Engine::seek(double seconds)
{
    std::lock_guard lock(mutex_);
    refreshState();
    // A track that is fading out is on its way to silence; a seek would
    // only restart it mid-fade.
    if (!active() || fadingOut_ || !decoder_ || std::isnan(seconds))
        return;
    double frame = std::max(seconds, 0.0) * sampleRate_;
    const std::int64_t length = decoder_->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, static_cast<double>(length));
    frame = std::min(frame, 9.0e15);
    seekTarget_ = startFrame_ = static_cast<std::int64_t>(std::llround(frame));
    seekPending_ = true;
    const std::uint64_t epoch = nextEpoch();
    renderer_.post({RenderCommand::Kind::Seek, epoch, seekTarget_, 0});
    sem_post(&wake_);
}

void Engine::setStatusInterval(int milliseconds)
{
    intervalMs_.store(std::clamp(milliseconds, 10, 250), std::memory_order_relaxed);
}

bool Engine::finished() const noexcept
{
    const std::uint64_t epoch = epoch_.load(std::memory_order_acquire);
    return epoch != 0 && renderer_.endedEpoch() == epoch;
}

void Engine::endTrack(State next)
{
    lastPosition_ = currentPosition();
    state_ = next;
    decoder_.reset();
    seekPending_ = fadingOut_ = false;
    idleSince_ = Clock::now();
    if (next == State::Stopped)
        nextEpoch(); // a stopped track did not play to its end
}

// Takes over what the callback has reported: the end of the track, or the
// end of a fade-out. Returns true when the state changed.
bool Engine::refreshState()
{
    if (!active())
        return false;
    if (renderer_.endedEpoch() == epoch_.load(std::memory_order_acquire)) {
        endTrack(State::Ended);
        endReported_ = false;
        return true;
    }
    if (fadingOut_ && renderer_.fadedOutEpoch() >= trackEpoch_) {
        endTrack(State::Stopped);
        return true;
    }
    return false;
}

double Engine::currentPosition() const
{
    if (state_ == State::Idle || state_ == State::Stopped)
        return lastPosition_;
    const std::int64_t frame = renderer_.heardEpoch() == epoch_.load(std::memory_order_acquire)
                                   ? renderer_.heardFrame()
                                   : startFrame_;
    return static_cast<double>(frame) / sampleRate_;
}

void Engine::status(std::int16_t *status, double *position, std::int16_t *levels, std::int16_t *wave,
                    float *spectrum)
{
    std::lock_guard lock(mutex_);
    refreshState();
    if (status != nullptr) {
        switch (state_) {
        case State::Playing:
            *status = SBMP3_STATUS_PLAYING;
            break;
        case State::Paused:
            *status = SBMP3_STATUS_PAUSED;
            break;
        case State::Ended:
            *status = endReported_ ? SBMP3_STATUS_STOPPED : SBMP3_STATUS_ENDED;
            endReported_ = true;
            break;
        default:
            *status = SBMP3_STATUS_STOPPED;
        }
    }
    if (position != nullptr)
        *position = currentPosition();
    if (levels != nullptr) {
        std::int16_t left = 0;
        std::int16_t right = 0;
        renderer_.takePeaks(left, right);
        levels[0] = std::max(left, right);
        levels[1] = left;
        levels[2] = right;
    }
    if (wave != nullptr || spectrum != nullptr) {
        float frames[kWaveSamples * 2];
        renderer_.copyRecent(frames, kWaveSamples);
        std::int16_t waveOut[kWaveSamples * kChannelSelectors];
        float spectrumOut[kSpectrumBins * kChannelSelectors];
        analyzer_.analyze(frames, wave != nullptr ? wave : waveOut, spectrum != nullptr ? spectrum : spectrumOut);
    }
}

// --- Equalizer -----------------------------------------------------------

void Engine::setBandFrequencies(const std::int16_t *frequencies, int count)
{
    if (frequencies == nullptr || count <= 0)
        return; // no bands: the equalizer keeps the set it has
    std::lock_guard lock(mutex_);
    eqSettings_.frequencies.assign(frequencies, frequencies + count);
    eqDirty_ = true;
}

void Engine::setBandGains(const float *gains)
{
    if (gains == nullptr)
        return;
    std::lock_guard lock(mutex_);
    std::copy(gains, gains + kEqGainSlots, eqSettings_.gains.begin());
    eqDirty_ = true;
}

void Engine::setOverallGains(const float *left, const float *right)
{
    std::lock_guard lock(mutex_);
    if (left != nullptr)
        eqSettings_.leftGainDb = *left;
    if (right != nullptr)
        eqSettings_.rightGainDb = *right;
    eqDirty_ = true;
}

void Engine::setEqualizerEnabled(bool enabled)
{
    std::lock_guard lock(mutex_);
    eqSettings_.enabled = enabled;
    eqDirty_ = true;
}

// --- Device and worker ---------------------------------------------------

int Engine::deviceBufferFor(int sampleRate) const
{
    // About 93 ms while no window wants status; with one, half the status
    // interval, so that each status finds audio heard since the last one.
    // A power of two of frames, 256 at the least.
    const double seconds = windowAttached_.load(std::memory_order_relaxed)
                               ? intervalMs_.load(std::memory_order_relaxed) / 2000.0
                               : 0.093;
    int frames = 256;
    while (frames < 8192 && frames * 2 <= seconds * sampleRate)
        frames *= 2;
    return frames;
}

void Engine::closeDevice()
{
    if (!device_.isOpen())
        return;
    device_.close(); // returns once the callback has finished for good
    if (active())
        endTrack(State::Stopped);
}

void Engine::ensureWorker()
{
    if (workerRunning_)
        return;
    if (worker_.joinable())
        worker_.join(); // it has left the loop already
    quit_ = false;
    workerRunning_ = true;
    worker_ = std::thread([this] { workerLoop(); });
}

// Decodes ahead into the queue: at most `most` chunks, and no further than
// until it holds `upTo`.
void Engine::produce(std::size_t most, std::size_t upTo)
{
    if (!decoder_ || !active())
        return;
    if (eqDirty_) {
        equalizer_.configure(eqSettings_, sampleRate_);
        eqDirty_ = false;
    }
    if (seekPending_) {
        decodeFrame_ = decoder_->seek(seekTarget_);
        decoderAtEnd_ = false;
        decoderEpoch_ = epoch_.load(std::memory_order_relaxed);
        equalizer_.reset();
        seekPending_ = false;
    }
    if (decoderAtEnd_)
        return; // the callback wakes the worker at the end; no refills to ask for
    renderer_.clearWakeRequest();
    ChunkQueue &queue = renderer_.chunks();
    for (std::size_t made = 0; made < most && !decoderAtEnd_ && queue.size() < upTo; ++made) {
        AudioChunk *chunk = queue.beginWrite();
        if (chunk == nullptr)
            break;
        const std::size_t frames = decoder_->read(chunk->samples.data(), kChunkFrames);
        equalizer_.process(chunk->samples.data(), frames);
        chunk->epoch = decoderEpoch_;
        chunk->firstFrame = decodeFrame_;
        chunk->frames = static_cast<std::uint32_t>(frames);
        // The decoder looks one MPEG frame ahead, so the chunk that holds the
        // last of the track says so, whatever the track's length.
        chunk->last = frames < kChunkFrames || decoder_->atEnd();
        queue.commitWrite();
        decodeFrame_ += static_cast<std::int64_t>(frames);
        decoderAtEnd_ = chunk->last;
    }
}

void Engine::workerLoop()
{
    Clock::time_point nextTick = Clock::now();
    Clock::time_point deadline = Clock::now();
    for (;;) {
        waitUntil(wake_, deadline);
        bool notify = false;
        bool leave = false;
        {
            std::lock_guard lock(mutex_);
            if (quit_) {
                workerRunning_ = false;
                break;
            }
            notify = refreshState();
            if (active() && device_.lost()) {
                // The device went away (unplugged, server gone): the track
                // cannot go on, and waiting for its end would wait forever.
                endTrack(State::Stopped);
                closeDevice();
                notify = true;
            }
            produce();
            const Clock::time_point now = Clock::now();
            deadline = Clock::time_point::max();
            if (state_ == State::Playing && windowAttached_.load(std::memory_order_relaxed)) {
                // While a track plays the window hears about new status at
                // every interval. Without a window nothing is due: the
                // callback wakes the worker when the queue runs low or the
                // track ends.
                if (now >= nextTick) {
                    notify = true;
                    nextTick = now + std::chrono::milliseconds(intervalMs_.load(std::memory_order_relaxed));
                }
                deadline = nextTick;
            } else if (!active() && device_.isOpen()) {
                if (now - idleSince_ >= kIdleClose)
                    closeDevice();
                else
                    deadline = idleSince_ + kIdleClose;
            }
            leave = !active() && !device_.isOpen();
        }
        if (notify)
            notifyWindow();
        if (leave) {
            // Only now, after the last call to the window, may a new start
            // join this thread; so look again whether there is still
            // nothing to do, and leave without calling anyone.
            std::lock_guard lock(mutex_);
            if (!active() && !device_.isOpen()) {
                workerRunning_ = false;
                break;
            }
        }
    }
    AudioDevice::releaseThreadData();
}

void Engine::shutdown()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        if (active())
            endTrack(State::Stopped);
        closeDevice();
    }
    sem_post(&wake_);
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

bool Engine::deviceOpen() const
{
    std::lock_guard lock(mutex_);
    return device_.isOpen();
}

int Engine::deviceBufferFrames() const
{
    std::lock_guard lock(mutex_);
    return device_.bufferFrames();
}

bool Engine::workerRunning() const
{
    std::lock_guard lock(mutex_);
    return workerRunning_;
}

} // namespace audioengine
