// The shared library as the control library sees it: loaded by path, its C
// functions found by name, nothing of its insides exported.

#include "SharedLibrary.h"
#include "sonbrel_mp3.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

QString loadError;

const platform::SharedLibrary *engineLibrary()
{
    static const std::optional<platform::SharedLibrary> library =
        platform::SharedLibrary::load(QStringLiteral(ENGINE_LIBRARY_PATH), &loadError);
    return library ? &*library : nullptr;
}

TEST(EngineExports, EveryFunctionIsFoundByNameAndNothingElse)
{
    const platform::SharedLibrary *library = engineLibrary();
    ASSERT_NE(library, nullptr) << loadError.toStdString();
    for (const char *name : {"play_mp3", "release_window", "play", "fade_in", "continue_playing", "pause_playing",
                             "stop_playing", "fade_out", "seek_playing", "set_vu_interval", "is_finished",
                             "get_status", "get_id3_tag", "set_id3_tag", "get_frame_info", "create_eq", "set_eq",
                             "set_gain", "eq_state"}) {
        const QFunctionPointer function = library->resolve(name);
        ASSERT_NE(function, nullptr) << name;
        EXPECT_EQ(platform::pathOfLoadedObject(reinterpret_cast<const void *>(function)).toStdString(),
                  ENGINE_LIBRARY_PATH)
            << name << " comes from the engine itself";
    }
    // Neither the engine's classes nor the static libraries it is made of leave it.
    for (const char *inside : {"_ZN11audioengine6Engine8instanceEv", "_ZN8platform3sdl10startAudioEv"})
        EXPECT_EQ(library->resolve(inside), nullptr) << inside;
}

TEST(EngineExports, AnswersThroughItsCInterface)
{
    const platform::SharedLibrary *library = engineLibrary();
    ASSERT_NE(library, nullptr) << loadError.toStdString();
    auto *frameInfo = library->function<decltype(get_frame_info)>("get_frame_info");
    auto *playFile = library->function<decltype(play)>("play");
    auto *finished = library->function<decltype(is_finished)>("is_finished");
    auto *status = library->function<decltype(get_status)>("get_status");

    char info[SBMP3_FRAME_INFO_SIZE];
    EXPECT_EQ(frameInfo((std::string(ENGINE_TEST_DATA_DIR) + "/tone_1k.mp3").c_str(), info), 1);
    EXPECT_EQ(std::string(info).substr(0, 4), "1|3|");
    EXPECT_EQ(playFile("/nonexistent/tune.mp3"), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(playFile(nullptr), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(finished(), 0);
    std::int16_t state = -1;
    status(&state, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(state, SBMP3_STATUS_STOPPED);
}

} // namespace
