#include "engine/EngineBinding.h"

#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SonbrelMP3 {
namespace {

const QString kStubFolder = QStringLiteral(STUB_ENGINE_DIR);
const QString kStubPath = kStubFolder + QStringLiteral("/libSonbrelMP3.so");

// Whether the stub is mapped into this process, by the process's own map.
bool stubLoadedInProcess()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray canonical = QFile::encodeName(QFileInfo(kStubPath).canonicalFilePath());
    return !canonical.isEmpty() && maps.readAll().contains(canonical);
}

// A function of the stub that the binding has loaded; null before that.
template <typename Function>
Function *stubFunction(const char *name)
{
    if (!stubLoadedInProcess())
        return nullptr;
    const auto library = platform::SharedLibrary::load(kStubPath);
    return library ? library->function<Function>(name) : nullptr;
}

// Each test runs in a process of its own (CTest runs them one by one), so the
// stub is not loaded when a test starts.
TEST(EngineBinding, LoadsNothingBeforeTheFirstCallThenBindsFromTheFolder)
{
    EngineBinding binding(QStringLiteral("libSonbrelMP3.so"), {QStringLiteral("/nonexistent"), kStubFolder});
    EXPECT_FALSE(binding.isLoaded());
    EXPECT_FALSE(stubLoadedInProcess());

    EXPECT_EQ(binding.is_finished(), 1);
    EXPECT_TRUE(binding.isLoaded());
    EXPECT_TRUE(stubLoadedInProcess());
    EXPECT_EQ(QFileInfo(binding.loadedPath()).canonicalFilePath(),
              QFileInfo(kStubPath).canonicalFilePath());

    EXPECT_EQ(binding.play(QStringLiteral("/music/ä.mp3")), 30101);
    EXPECT_STREQ(stubFunction<const char *()>("stub_last_name")(), "/music/ä.mp3");

    std::int16_t interval = 1000;
    binding.set_vu_interval(interval);
    EXPECT_EQ(interval, 250) << "the engine receives the caller's variable";

    FrameInfoBuffer info{};
    EXPECT_EQ(binding.get_frame_info(QStringLiteral("/a.mp3"), info), 1);
    EXPECT_EQ(QByteArray(info.data(), 4), QByteArray("1|3|"));
}

TEST(EngineBinding, MissingFunctionIsSkippedAndTheRestWork)
{
    EngineBinding binding(QStringLiteral("libSonbrelMP3.so"), {kStubFolder});
    try {
        binding.stop_playing();
        FAIL() << "a missing function was called";
    } catch (const EngineUnavailable &error) {
        EXPECT_EQ(error.number(), 453);
        EXPECT_TRUE(error.description().contains(QStringLiteral("stop_playing")));
    }

    std::int16_t result = 0;
    EXPECT_FALSE(runStep([&] { result = binding.fade_in(QStringLiteral("/a.mp3"), 1.0F); }));
    EXPECT_EQ(result, 0) << "a skipped step reads 0";
    EXPECT_EQ(binding.is_finished(), 1);
    EXPECT_THROW(binding.stop_playing(), EngineUnavailable) << "and stays missing";
}

TEST(EngineBinding, MissingLibraryIsSkippedOnEveryCall)
{
    EngineBinding binding(QStringLiteral("libNoSuchEngine.so"), {kStubFolder});
    std::int16_t result = 0;
    EXPECT_FALSE(runStep([&] { result = binding.play(QStringLiteral("/a.mp3")); }));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(binding.isLoaded());
    EXPECT_FALSE(binding.loadError().isEmpty());
    try {
        binding.is_finished();
        FAIL() << "a call without a library went through";
    } catch (const EngineUnavailable &error) {
        EXPECT_EQ(error.number(), 48);
        // Where it was looked for, and what the loader said.
        EXPECT_TRUE(error.description().contains(kStubFolder + QStringLiteral("/libNoSuchEngine.so: no such file")))
            << error.description().toStdString();
        EXPECT_TRUE(error.description().contains(QStringLiteral("cannot open shared object file")))
            << error.description().toStdString();
    }
}

TEST(EngineBinding, NameWithNulNeverReachesTheEngine)
{
    EngineBinding binding(QStringLiteral("libSonbrelMP3.so"), {kStubFolder});
    ASSERT_EQ(binding.is_finished(), 1);
    const int before = stubFunction<int()>("stub_play_calls")();
    EXPECT_EQ(binding.play(QStringLiteral("/music/a.mp3") + QChar(u'\0') + QStringLiteral(".txt")), 53);
    EXPECT_EQ(stubFunction<int()>("stub_play_calls")(), before);
}

TEST(EngineBinding, LooksFirstBesideTheControlLibrary)
{
    const QString folder = EngineBinding::folderOfControlLibrary();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("libTarnelMP3.so"))))
        << folder.toStdString();
}

}  // namespace
}  // namespace SonbrelMP3
