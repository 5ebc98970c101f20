#pragma once

#include <cstddef>
#include <cstdint>

namespace audioengine {

// The engine's one way to SDL's audio output: the hints, the audio
// subsystem, and opening and closing the default output device. Nothing
// else in the engine talks to SDL's audio.
//
// SDL keeps data per thread (its error text) and frees it only for threads
// it made itself, so open() and close() do their SDL work on a short-lived
// thread of their own, which cleans up after itself; the host's threads
// never hold any. The audio subsystem is up exactly while a device is open.
//
// Not thread-safe: the owner serialises the calls (the engine holds its lock).
class AudioDevice {
public:
    // Fills frames interleaved stereo frames; called on SDL's audio thread.
    using Callback = void (*)(void *context, float *interleavedStereo, std::size_t frames);

    AudioDevice() = default;
    ~AudioDevice() { close(); }
    AudioDevice(const AudioDevice &) = delete;
    AudioDevice &operator=(const AudioDevice &) = delete;

    // Opens the default output for stereo floats at rate, asking for
    // bufferFrames frames per callback (SDL converts to whatever the
    // hardware takes), and starts it: the first callback may come before
    // this returns. Returns 0, or SBMP3_ERR_NO_AUDIO_DEVICE. An open device
    // is closed first.
    std::int16_t open(int rate, int bufferFrames, Callback callback, void *context);

    // Closes the device, once the callback has returned for good, and
    // shuts SDL's audio down. Does nothing when nothing is open.
    void close();

    bool isOpen() const noexcept { return id_ != 0; }
    int rate() const noexcept { return rate_; }
    int bufferFrames() const noexcept { return bufferFrames_; }

    // Whether the open device has stopped by itself (unplugged, sound server gone).
    bool lost() const;

    // Frees what SDL keeps for the calling thread, for a thread of the
    // engine's that touched SDL and is about to end.
    static void releaseThreadData();

private:
    static void onAudio(void *self, std::uint8_t *stream, int length);

    std::uint32_t id_ = 0;
    int rate_ = 0;
    int bufferFrames_ = 0;
    Callback callback_ = nullptr;
    void *context_ = nullptr;
};

} // namespace audioengine
