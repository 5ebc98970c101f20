#include "AudioDevice.h"

#include "sonbrel_mp3.h"

#include <SDL.h>

#include <cerrno>
#include <thread>

namespace audioengine {

namespace {

// Runs work on a thread of its own and lets SDL free what it keeps for that
// thread before it ends.
template <typename Work>
void onOwnThread(Work work)
{
    std::thread([&] {
        work();
        SDL_TLSCleanup();
    }).join();
}

} // namespace

void AudioDevice::onAudio(void *self, std::uint8_t *stream, int length)
{
    auto *device = static_cast<AudioDevice *>(self);
    device->callback_(device->context_, reinterpret_cast<float *>(stream),
                      static_cast<std::size_t>(length) / (2 * sizeof(float)));
}

std::int16_t AudioDevice::open(int rate, int bufferFrames, Callback callback, void *context)
{
    close();
    callback_ = callback;
    context_ = context;
    std::int16_t result = SBMP3_ERR_NO_AUDIO_DEVICE;
    onOwnThread([&] {
        // The host owns its signals; SDL must not take SIGINT or SIGTERM.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_GetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME) == nullptr)
            SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, program_invocation_short_name);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return;
        SDL_AudioSpec wanted{};
        wanted.freq = rate;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = static_cast<Uint16>(bufferFrames);
        wanted.callback = &AudioDevice::onAudio;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // No changes allowed: SDL converts to whatever the hardware takes.
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (id == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return;
        }
        id_ = id;
        rate_ = rate;
        bufferFrames_ = bufferFrames;
        SDL_PauseAudioDevice(id, 0);
        result = 0;
    });
    return result;
}

void AudioDevice::close()
{
    if (id_ == 0)
        return;
    onOwnThread([this] {
        SDL_CloseAudioDevice(id_); // returns once the callback has finished for good
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    });
    id_ = 0;
    rate_ = bufferFrames_ = 0;
}

void AudioDevice::releaseThreadData()
{
    SDL_TLSCleanup();
}

bool AudioDevice::lost() const
{
    return id_ != 0 && SDL_GetAudioDeviceStatus(id_) != SDL_AUDIO_PLAYING;
}

} // namespace audioengine
