// The shared library as the control library sees it: loaded by path, its C
// functions found by name, nothing of its insides exported.

#include "sonbrel_mp3.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

void *engineLibrary()
{
    static void *handle = dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

TEST(EngineExports, EveryFunctionIsFoundByNameAndNothingElse)
{
    void *library = engineLibrary();
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char *name : {"play_mp3", "release_window", "play", "fade_in", "continue_playing", "pause_playing",
                             "stop_playing", "fade_out", "seek_playing", "set_vu_interval", "is_finished",
                             "get_status", "get_id3_tag", "set_id3_tag", "get_frame_info", "create_eq", "set_eq",
                             "set_gain", "eq_state"}) {
        void *function = dlsym(library, name);
        ASSERT_NE(function, nullptr) << name;
        Dl_info where{};
        ASSERT_NE(dladdr(function, &where), 0);
        EXPECT_EQ(std::string(where.dli_fname), ENGINE_LIBRARY_PATH) << name << " comes from the engine itself";
    }
    EXPECT_EQ(dlsym(library, "_ZN7sonbrel6Engine8instanceEv"), nullptr) << "the engine's classes stay inside";
}

TEST(EngineExports, AnswersThroughItsCInterface)
{
    void *library = engineLibrary();
    ASSERT_NE(library, nullptr) << dlerror();
    auto *frameInfo = reinterpret_cast<decltype(&get_frame_info)>(dlsym(library, "get_frame_info"));
    auto *playFile = reinterpret_cast<decltype(&play)>(dlsym(library, "play"));
    auto *finished = reinterpret_cast<decltype(&is_finished)>(dlsym(library, "is_finished"));
    auto *status = reinterpret_cast<decltype(&get_status)>(dlsym(library, "get_status"));

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
