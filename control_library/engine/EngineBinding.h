#pragma once

#include "engine/AudioEngine.h"

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <bitset>
#include <memory>
#include <mutex>

namespace platform {
class SharedLibrary;
}

namespace SonbrelMP3 {

// The engine library bound at run time. Nothing is loaded until the first
// call; the library is then looked for in each of the given folders and,
// failing that, through the dynamic loader's usual search. Each function is
// looked up by name at its own first call. A library that cannot be loaded
// is not tried again; a function that is missing fails each call with
// EngineUnavailable, and the functions that exist go on working.
class EngineBinding final : public AudioEngine {
public:
    static constexpr char kDefaultLibraryName[] = "libSonbrelMP3.so";

    // By default the library is looked for first beside libTarnelMP3.so.
    explicit EngineBinding(QString libraryName = QString::fromLatin1(kDefaultLibraryName),
                           QStringList folders = {folderOfControlLibrary()});
    ~EngineBinding() override;

    EngineBinding(const EngineBinding &) = delete;
    EngineBinding &operator=(const EngineBinding &) = delete;

    // Whether the library has been loaded (by an earlier call).
    bool isLoaded() const;
    // The path of the loaded library, or why it could not be loaded.
    QString loadedPath() const;
    QString loadError() const;

    // The folder that holds libTarnelMP3.so.
    static QString folderOfControlLibrary();

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
    enum Function {
        PlayMp3, ReleaseWindow, Play, FadeIn, ContinuePlaying, PausePlaying, StopPlaying,
        FadeOut, SeekPlaying, SetVuInterval, IsFinished, GetStatus, GetId3Tag, SetId3Tag,
        GetFrameInfo, CreateEq, SetEq, SetGain, EqState, FunctionCount
    };

    template <typename Signature>
    Signature *bind(Function function);
    QFunctionPointer resolve(Function function);
    void loadLibrary();

    const QString libraryName_;
    const QStringList folders_;

    mutable std::mutex mutex_;
    bool loadTried_ = false;
    std::unique_ptr<platform::SharedLibrary> library_;
    QString loadedPath_;
    QString loadError_;
    std::array<std::atomic<QFunctionPointer>, FunctionCount> addresses_{};
    std::bitset<FunctionCount> missingReported_;
};

}  // namespace SonbrelMP3
