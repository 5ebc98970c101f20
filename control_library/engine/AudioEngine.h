#pragma once

#include "RaisedError.h"

#include <sonbrel_mp3.h>

#include <QString>

#include <array>
#include <cstdint>

namespace SonbrelMP3 {

using TagBlock = std::array<char, SBMP3_TAG_BLOCK_SIZE>;
using FrameInfoBuffer = std::array<char, SBMP3_FRAME_INFO_SIZE>;

// A call into the engine that could not be made: the engine library could
// not be loaded (48), or it has no function of that name (453). Members in
// continue-on-error mode skip the step, so the step's result reads 0.
class EngineUnavailable : public RaisedError {
public:
    using RaisedError::RaisedError;
};

// The audio engine as the library's classes see it: one member per engine
// function, with the engine's names, argument order and widths. File names
// are passed as text and converted to the file system's encoding by the
// implementation. Every member may throw EngineUnavailable.
//
// The library's classes reach the engine only through this interface, so
// tests can put a fake in its place.
class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    virtual void play_mp3(std::int32_t reserved, sbmp3_window *window) = 0;
    virtual void release_window(sbmp3_window *window) = 0;
    virtual std::int16_t play(const QString &fileName) = 0;
    virtual std::int16_t fade_in(const QString &fileName, float attackSeconds) = 0;
    virtual void continue_playing() = 0;
    virtual void pause_playing() = 0;
    virtual void stop_playing() = 0;
    virtual void fade_out(float decaySeconds) = 0;
    virtual void seek_playing(double seconds) = 0;
    virtual void set_vu_interval(std::int16_t &intervalMs) = 0;
    virtual std::int16_t is_finished() = 0;
    virtual void get_status(std::int16_t &status, double &position, std::int16_t *levels,
                            std::int16_t *wave, float *spectrum) = 0;
    virtual std::int16_t get_id3_tag(const QString &fileName, TagBlock &tag) = 0;
    virtual std::int16_t set_id3_tag(const QString &fileName, const TagBlock &tag) = 0;
    virtual std::int16_t get_frame_info(const QString &fileName, FrameInfoBuffer &info) = 0;
    virtual void create_eq(const std::int16_t *frequencies, std::int16_t count) = 0;
    virtual void set_eq(const float *gains) = 0;
    virtual void set_gain(const float &left, const float &right) = 0;
    virtual void eq_state(std::int16_t on) = 0;
};

// The engine of this process: libSonbrelMP3.so, loaded at the first call.
AudioEngine &processEngine();

}  // namespace SonbrelMP3
