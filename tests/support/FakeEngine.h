#pragma once

#include "CallLog.h"
#include "engine/AudioEngine.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <array>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace SonbrelMP3::testing {

// An engine for tests: records every call with its arguments, returns
// scripted results, and keeps per-file tag blocks and frame texts as a real
// engine keeps them in the files.
class FakeEngine : public AudioEngine {
public:
    struct Call {
        std::string function;
        CallLog<QVariantList> arguments;
    };
    using Calls = CallLog<std::vector<Call>>;

    // What the fake holds for one file name.
    struct File {
        QByteArray frameInfo;          // the text that get_frame_info writes
        std::int16_t frameResult = 1;  // 0 not audio, 53 missing, else success
        TagBlock tag{};                // what get_id3_tag returns
        std::int16_t tagResult = 0;    // result of get_id3_tag
        std::int16_t writeResult = 0;  // result of set_id3_tag; 0 stores the block
    };

    // A typical MPEG-1 layer III file: 128 kbit/s, 44.1 kHz, joint stereo,
    // 4,800,000 bytes, 11,500 frames, 300 seconds.
    static QByteArray typicalFrameInfo();
    // A tag block with the given texts (NUL-padded, as many tools write them).
    static TagBlock tagBlock(const QByteArray &title, const QByteArray &artist = {},
                             const QByteArray &album = {}, const QByteArray &year = {},
                             const QByteArray &comment = {}, unsigned char genre = 0);
    // Bytes as a tag block: copied, cut or zero-filled to 128.
    static TagBlock rawBlock(const QByteArray &bytes);

    File &addFile(const QString &name, const QByteArray &frameInfo = typicalFrameInfo());

    // Script: results for the next calls of a function, then the default.
    void queueResult(const std::string &function, std::int16_t result);
    // Script: a function that cannot be bound, or a library that cannot be loaded.
    std::set<std::string> unbound;
    bool libraryMissing = false;

    // Script for get_status and is_finished.
    std::int16_t status = SBMP3_STATUS_STOPPED;
    double position = 0.0;
    std::array<std::int16_t, SBMP3_CHANNEL_SELECTORS> levels{};
    std::array<std::int16_t, SBMP3_CHANNEL_SELECTORS * SBMP3_WAVE_SAMPLES> wave{};
    std::array<float, SBMP3_CHANNEL_SELECTORS * SBMP3_SPECTRUM_BINS> spectrum{};
    std::int16_t finished = 0;

    // The window last attached with play_mp3 and not released since.
    sbmp3_window *window = nullptr;
    // Calls the attached window's invalidate, as the engine does when new
    // status is ready. Returns false when no window is attached.
    bool invalidateWindow();

    Calls calls;
    Calls callsTo(const std::string &function) const;
    CallLog<std::vector<std::string>> callNames() const;
    std::map<QString, File> files;

    void play_mp3(std::int32_t reserved, sbmp3_window *window) override;
    void release_window(sbmp3_window *window) override;
    std::int16_t play(const QString &fileName) override;
    std::int16_t fade_in(const QString &fileName, float attackSeconds) override;
    void continue_playing() override;
    void pause_playing() override;
    void stop_playing() override;
    void fade_out(float decaySeconds) override;
    void seek_playing(double seconds) override;
    void set_vu_interval(std::int16_t &intervalMs) override;
    std::int16_t is_finished() override;
    void get_status(std::int16_t &status, double &position, std::int16_t *levels,
                    std::int16_t *wave, float *spectrum) override;
    std::int16_t get_id3_tag(const QString &fileName, TagBlock &tag) override;
    std::int16_t set_id3_tag(const QString &fileName, const TagBlock &tag) override;
    std::int16_t get_frame_info(const QString &fileName, FrameInfoBuffer &info) override;
    void create_eq(const std::int16_t *frequencies, std::int16_t count) override;
    void set_eq(const float *gains) override;
    void set_gain(const float &left, const float &right) override;
    void eq_state(std::int16_t on) override;

private:
    void record(const std::string &function, QVariantList arguments);
    std::int16_t nextResult(const std::string &function, std::int16_t fallback);
    std::map<std::string, std::deque<std::int16_t>> queued_;
};

}  // namespace SonbrelMP3::testing
