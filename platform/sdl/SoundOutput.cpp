#include "SoundOutput.h"

#include "SdlAudio.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

// The one sound that plays. Each sound has a thread of its own that starts
// SDL's audio, opens the device, queues the whole file, waits for it to be
// heard and closes everything again, so nothing of SDL stays open between
// sounds.
class SoundOutput {
public:
    static SoundOutput &instance()
    {
        static SoundOutput output;
        return output;
    }

    ~SoundOutput() { stop(); }

    int play(const std::string &file, unsigned flags)
    {
        std::uint64_t generation = 0;
        {
            std::lock_guard call(callMutex_);
            if ((flags & SND_NOSTOP) != 0 && playing())
                return 0;
            stopSound();

            std::promise<bool> started;
            std::future<bool> result = started.get_future();
            {
                std::lock_guard lock(mutex_);
                stopRequested_ = false;
                active_ = true;
                generation = ++started_;
            }
            thread_ = sdl::startOwnThread(
                [this, file, started = std::move(started)]() mutable { run(file, started); });
            if (!result.get()) {
                thread_.join();
                return 0;
            }
        }
        if ((flags & SND_ASYNC) == 0) {
            // Another thread may stop this sound or start the next one
            // meanwhile; either ends the wait.
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return finished_ >= generation; });
        }
        return 1;
    }

    void stop()
    {
        std::lock_guard call(callMutex_);
        stopSound();
    }

    bool playing()
    {
        std::lock_guard lock(mutex_);
        return active_;
    }

private:
    // Stops the sound that plays and waits for its thread; callMutex_ held.
    void stopSound()
    {
        {
            std::lock_guard lock(mutex_);
            stopRequested_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    void run(const std::string &file, std::promise<bool> &started)
    {
        bool ok = false;
        SDL_AudioDeviceID device = 0;
        Uint8 *samples = nullptr;
        Uint32 length = 0;
        SDL_AudioSpec wanted{};
        SDL_AudioSpec obtained{};
        const bool audioReady = sdl::startAudio();
        if (audioReady && SDL_LoadWAV(file.c_str(), &wanted, &samples, &length) != nullptr) {
            // No changes allowed: SDL converts the file's format to the device's.
            device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
            ok = device != 0 && SDL_QueueAudio(device, samples, length) == 0;
        }
        if (samples != nullptr)
            SDL_FreeWAV(samples);
        if (ok) {
            SDL_PauseAudioDevice(device, 0);
            started.set_value(true);
            waitUntilHeard(device, obtained);
        }
        if (device != 0)
            SDL_CloseAudioDevice(device);
        if (audioReady)
            sdl::stopAudio();
        {
            std::lock_guard lock(mutex_);
            active_ = false;
            finished_ = started_;
        }
        changed_.notify_all();
        if (!ok)
            started.set_value(false);
    }

    void waitUntilHeard(SDL_AudioDeviceID device, const SDL_AudioSpec &format)
    {
        std::unique_lock lock(mutex_);
        while (!stopRequested_ && SDL_GetQueuedAudioSize(device) > 0
               && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING)
            changed_.wait_for(lock, 10ms);
        // The queue is empty once the last data is in the device's buffer:
        // give that buffer the time to be heard.
        const auto lastBuffer = std::chrono::milliseconds(
            format.freq > 0 ? 2 * 1000 * std::int64_t{format.samples} / format.freq + 10 : 100);
        changed_.wait_for(lock, lastBuffer, [this] { return stopRequested_; });
    }

    std::mutex callMutex_; // one play or stop at a time
    std::mutex mutex_;     // guards what follows; the sound's thread takes it too
    std::condition_variable changed_;
    std::thread thread_;
    bool stopRequested_ = false;
    bool active_ = false;
    std::uint64_t started_ = 0;
    std::uint64_t finished_ = 0;
};

} // namespace

unsigned waveOutGetNumDevs()
{
    return sdl::runOnOwnThread([] {
        if (!sdl::startAudio())
            return 0u;
        const int devices = SDL_GetNumAudioDevices(0);
        sdl::stopAudio();
        // -1 means the driver cannot list its devices, not that it has none.
        return devices < 0 ? 1u : static_cast<unsigned>(devices);
    });
}

int sndPlaySoundA(const char *soundName, unsigned flags)
{
    SoundOutput &output = SoundOutput::instance();
    if (soundName == nullptr) {
        output.stop();
        return 1;
    }
    std::error_code error;
    if (*soundName == '\0' || !std::filesystem::is_regular_file(soundName, error))
        return 0;
    return output.play(soundName, flags);
}

bool soundIsPlaying()
{
    return SoundOutput::instance().playing();
}

} // namespace platform
