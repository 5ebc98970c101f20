#include "AudioDevice.h"

#include "SdlAudio.h"
#include "sonbrel_mp3.h"

#include <SDL.h>

namespace audioengine {

using platform::sdl::runOnOwnThread;

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
    runOnOwnThread([&] {
        if (!platform::sdl::startAudio())
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
            platform::sdl::stopAudio();
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
    runOnOwnThread([this] {
        SDL_CloseAudioDevice(id_); // returns once the callback has finished for good
        platform::sdl::stopAudio();
    });
    id_ = 0;
    rate_ = bufferFrames_ = 0;
}

void AudioDevice::releaseThreadData()
{
    platform::sdl::releaseThreadData();
}

bool AudioDevice::lost() const
{
    return id_ != 0 && SDL_GetAudioDeviceStatus(id_) != SDL_AUDIO_PLAYING;
}

} // namespace audioengine
