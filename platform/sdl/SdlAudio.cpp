#include "SdlAudio.h"

#include <SDL.h>

#include <errno.h>  // program_invocation_short_name

#include <mutex>

namespace platform::sdl {

void setAudioHints()
{
    // SDL's hints are a list without a lock: set them once.
    static std::once_flag once;
    std::call_once(once, [] {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_GetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME) == nullptr)
            SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, program_invocation_short_name);
    });
}

bool startAudio()
{
    setAudioHints();
    // SDL itself honours SDL_AUDIODRIVER and otherwise tries its drivers in
    // order, leaving out the ones meant for tests.
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void stopAudio()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void releaseThreadData()
{
    SDL_TLSCleanup();
}

}  // namespace platform::sdl
