#include "SoundOutput.h"

#include "SdlAudio.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

// What to play: a WAV file, or a WAV image in memory (then `file` is unused).
struct Sound {
    std::string file;
    std::vector<Uint8> image;
    bool loop = false;
};

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

    int play(Sound sound, unsigned flags)
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
            thread_ = sdl::startOwnThread([this, sound = std::move(sound), started = std::move(started)]() mutable {
                run(sound, started);
            });
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

    void run(const Sound &sound, std::promise<bool> &started)
    {
        bool ok = false;
        SDL_AudioDeviceID device = 0;
        Uint8 *samples = nullptr;
        Uint32 length = 0;
        SDL_AudioSpec wanted{};
        SDL_AudioSpec obtained{};
        const bool audioReady = sdl::startAudio();
        if (audioReady) {
            SDL_RWops *source = sound.image.empty()
                                    ? SDL_RWFromFile(sound.file.c_str(), "rb")
                                    : SDL_RWFromConstMem(sound.image.data(), static_cast<int>(sound.image.size()));
            if (source != nullptr && SDL_LoadWAV_RW(source, 1, &wanted, &samples, &length) != nullptr) {
                // No changes allowed: SDL converts the sound's format to the device's.
                device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
                ok = device != 0 && length > 0 && SDL_QueueAudio(device, samples, length) == 0;
            }
        }
        if (ok) {
            SDL_PauseAudioDevice(device, 0);
            started.set_value(true);
            waitUntilHeard(device, obtained, sound.loop ? samples : nullptr, length);
        }
        if (samples != nullptr)
            SDL_FreeWAV(samples);
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

    // Waits until the queued sound has been heard, the sound is stopped or
    // the device stops (lost). `loop`: the sound's samples, queued again
    // whenever less than one round of them is left, so it never runs dry.
    void waitUntilHeard(SDL_AudioDeviceID device, const SDL_AudioSpec &format, const Uint8 *loop, Uint32 length)
    {
        std::unique_lock lock(mutex_);
        while (!stopRequested_ && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING) {
            const Uint32 queued = SDL_GetQueuedAudioSize(device);
            if (loop != nullptr && queued < length) {
                if (SDL_QueueAudio(device, loop, length) != 0)
                    break;
            } else if (queued == 0) {
                break;
            }
            changed_.wait_for(lock, 10ms);
        }
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

namespace {

// The length of the WAV image at `data` from its RIFF header ("RIFF", the
// length of what follows, "WAVE"); 0 when it is no WAV image or too large
// to be a sound.
std::size_t wavImageLength(const char *data)
{
    constexpr std::uint32_t kLargest = 256u << 20;
    // strncmp first: it stops at a NUL, so a short text is never read past.
    if (std::strncmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data + 4);
    const std::uint32_t rest = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
    if (rest < 4 || rest > kLargest)
        return 0;
    return std::size_t{rest} + 8;
}

} // namespace

int sndPlaySoundA(const char *soundName, unsigned flags)
{
    SoundOutput &output = SoundOutput::instance();
    if (soundName == nullptr) {
        output.stop();
        return 1;
    }
    if ((flags & SND_LOOP) != 0 && (flags & SND_ASYNC) == 0)
        return 0; // a loop that never ends cannot be waited for
    Sound sound;
    sound.loop = (flags & SND_LOOP) != 0;
    if ((flags & SND_MEMORY) != 0) {
        const std::size_t length = wavImageLength(soundName);
        if (length == 0)
            return 0;
        sound.image.assign(soundName, soundName + length);
    } else {
        std::error_code error;
        if (*soundName == '\0' || !std::filesystem::is_regular_file(soundName, error))
            return 0;
        sound.file = soundName;
    }
    return output.play(std::move(sound), flags);
}

bool soundIsPlaying()
{
    return SoundOutput::instance().playing();
}

} // namespace platform
