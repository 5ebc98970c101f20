// The C interface of libSonbrelMP3.so. Each function forwards to the
// process's one Engine; no C++ exception crosses into the host.

#include "Engine.h"
#include "StreamFiles.h"

#include "sonbrel_mp3.h"

#include <new>

namespace {

using audioengine::Engine;

template <typename Action>
std::int16_t guarded(Action &&action) noexcept
{
    try {
        return action();
    } catch (const std::bad_alloc &) {
        return SBMP3_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return SBMP3_ERR_UNKNOWN_MEDIA;
    }
}

template <typename Action>
void guardedVoid(Action &&action) noexcept
{
    try {
        action();
    } catch (...) {
        // Nothing to report through a function without a result; the
        // engine's state is unchanged by a step that threw.
    }
}

} // namespace

extern "C" {

SBMP3_API void play_mp3(int32_t, sbmp3_window *window)
{
    guardedVoid([&] { Engine::instance().attachWindow(window); });
}

SBMP3_API void release_window(sbmp3_window *window)
{
    guardedVoid([&] { Engine::instance().releaseWindow(window); });
}

SBMP3_API int16_t play(const char *file_name)
{
    return guarded([&] { return Engine::instance().play(file_name, 0.0f); });
}

SBMP3_API int16_t fade_in(const char *file_name, float attack_seconds)
{
    return guarded([&] { return Engine::instance().play(file_name, attack_seconds); });
}

SBMP3_API void continue_playing(void)
{
    guardedVoid([] { Engine::instance().resume(); });
}

SBMP3_API void pause_playing(void)
{
    guardedVoid([] { Engine::instance().pause(); });
}

SBMP3_API void stop_playing(void)
{
    guardedVoid([] { Engine::instance().stop(); });
}

SBMP3_API void fade_out(float decay_seconds)
{
    guardedVoid([&] { Engine::instance().fadeOut(decay_seconds); });
}

SBMP3_API void seek_playing(double seconds)
{
    guardedVoid([&] { Engine::instance().seek(seconds); });
}

SBMP3_API void set_vu_interval(int16_t *interval_ms)
{
    if (interval_ms != nullptr)
        guardedVoid([&] { Engine::instance().setStatusInterval(*interval_ms); });
}

SBMP3_API int16_t is_finished(void)
{
    return guarded([] { return static_cast<std::int16_t>(Engine::instance().finished() ? 1 : 0); });
}

SBMP3_API void get_status(int16_t *status, double *position, int16_t *levels, int16_t *wave, float *spectrum)
{
    guardedVoid([&] { Engine::instance().status(status, position, levels, wave, spectrum); });
}

SBMP3_API int16_t get_id3_tag(const char *file_name, char *tag)
{
    return guarded([&] { return audioengine::readTagBlockOfFile(file_name, tag); });
}

SBMP3_API int16_t set_id3_tag(const char *file_name, const char *tag)
{
    return guarded([&] { return audioengine::writeTagBlockToFile(file_name, tag); });
}

SBMP3_API int16_t get_frame_info(const char *file_name, char *info)
{
    return guarded([&] { return audioengine::frameInfoOfFile(file_name, info); });
}

SBMP3_API void create_eq(const int16_t *frequencies, int16_t count)
{
    guardedVoid([&] { Engine::instance().setBandFrequencies(frequencies, count); });
}

SBMP3_API void set_eq(const float *gains)
{
    guardedVoid([&] { Engine::instance().setBandGains(gains); });
}

SBMP3_API void set_gain(const float *left, const float *right)
{
    guardedVoid([&] { Engine::instance().setOverallGains(left, right); });
}

SBMP3_API void eq_state(int16_t on)
{
    guardedVoid([&] { Engine::instance().setEqualizerEnabled(on != 0); });
}

} // extern "C"
