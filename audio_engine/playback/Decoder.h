#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct mpg123_handle_struct;

namespace audioengine {

// One MPEG audio file decoded by libmpg123 into interleaved stereo floats at
// the file's own sample rate (mono files are spread to both channels).
// Gapless: the encoder's delay and padding are cut, so frame 0 is the first
// sample of the music and seeks are exact to the sample.
class Decoder {
public:
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Opens the file. Returns 0 and the decoder, or an engine error number:
    // 53 missing, 75 unreadable, 30075 not MPEG audio, 30104 out of memory.
    static std::int16_t open(const char *path, std::unique_ptr<Decoder> &decoder);

    int sampleRate() const noexcept { return rate_; }
    // Length in frames, or -1 while unknown (libmpg123 may estimate it for
    // files without an Info frame until it has seen the whole file).
    std::int64_t lengthFrames() const noexcept;

    // Decodes up to frames stereo frames into out. Returns how many were
    // written; fewer than asked only at the end of the track. A stream error
    // that libmpg123 cannot step over ends the track.
    std::size_t read(float *out, std::size_t frames) noexcept;

    // Moves to a track frame (clamped to 0). Returns false when the stream
    // cannot go there, which callers treat as the end of the track.
    bool seek(std::int64_t frame) noexcept;

private:
    Decoder() = default;

    mpg123_handle_struct *handle_ = nullptr;
    int rate_ = 0;
    bool ended_ = false;
};

} // namespace audioengine
