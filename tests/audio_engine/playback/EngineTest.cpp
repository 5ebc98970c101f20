// The engine end to end: real files decoded and played through SDL's "disk"
// driver (which writes what the device would hear to a file) or its "dummy"
// driver. Each test runs in a process of its own, so the SDL environment
// variables set here apply to that test only.

#include "Engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace audioengine {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string dataFile(const char *name)
{
    return std::string(ENGINE_TEST_DATA_DIR) + "/" + name;
}

struct CountingWindow : sbmp3_window {
    std::atomic<int> calls{0};
    CountingWindow() { invalidate = [](sbmp3_window *self) { ++static_cast<CountingWindow *>(self)->calls; }; }
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("sonbrel-engine-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        output_ = folder_ / "heard.f32";
    }
    void TearDown() override
    {
        engine_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Plays through the disk driver: in real time, or about ten times faster.
    void useDisk(bool fast)
    {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
        if (fast)
            ::setenv("SDL_DISKAUDIODELAY", "2", 1);
        else
            ::unsetenv("SDL_DISKAUDIODELAY");
        engine_ = std::make_unique<Engine>();
    }

    template <typename Condition>
    static bool waitFor(Condition condition, std::chrono::milliseconds limit = 5000ms)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    std::int16_t status(double *position = nullptr)
    {
        std::int16_t value = -1;
        double where = -1;
        engine_->status(&value, &where, nullptr, nullptr, nullptr);
        if (position != nullptr)
            *position = where;
        return value;
    }

    // The left channel of what the device was handed, from the disk file.
    std::vector<float> heardLeft() const
    {
        std::ifstream in(output_, std::ios::binary);
        std::vector<char> bytes(fs::file_size(output_));
        std::vector<float> samples;
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        const std::size_t frames = bytes.size() / (2 * sizeof(float));
        samples.resize(frames);
        for (std::size_t i = 0; i < frames; ++i)
            std::memcpy(&samples[i], bytes.data() + i * 2 * sizeof(float), sizeof(float));
        return samples;
    }

    fs::path folder_;
    fs::path output_;
    std::unique_ptr<Engine> engine_;
};

// Root mean square of the track's audio, silence left out (the fast disk
// driver hears silence whenever decoding falls behind), skipping the first
// and last quarter.
double steadyLevelDb(const std::vector<float> &samples)
{
    std::vector<float> sounding;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(sounding),
                 [](float sample) { return sample != 0.0f; });
    const std::size_t from = sounding.size() / 4;
    const std::size_t to = sounding.size() - from;
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(sounding[i]) * sounding[i];
    return 10.0 * std::log10(sum / static_cast<double>(std::max<std::size_t>(to - from, 1)));
}

TEST_F(EngineTest, BeforeAnythingPlayedEveryCallIsHarmless)
{
    engine_ = std::make_unique<Engine>();
    std::int16_t state = -1;
    double position = -1;
    std::int16_t levels[3] = {9, 9, 9};
    std::int16_t wave[768];
    float spectrum[384];
    std::fill(std::begin(wave), std::end(wave), 9);
    std::fill(std::begin(spectrum), std::end(spectrum), 9.0f);
    engine_->stop();
    engine_->pause();
    engine_->resume();
    engine_->seek(3.0);
    engine_->fadeOut(1.0f);
    engine_->status(&state, &position, levels, wave, spectrum);
    EXPECT_EQ(state, SBMP3_STATUS_STOPPED);
    EXPECT_EQ(position, 0.0);
    EXPECT_TRUE(std::all_of(std::begin(levels), std::end(levels), [](auto v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(std::begin(wave), std::end(wave), [](auto v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(std::begin(spectrum), std::end(spectrum), [](auto v) { return v == 0.0f; }));
    engine_->status(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(engine_->finished());
    EXPECT_FALSE(engine_->deviceOpen());
    EXPECT_FALSE(engine_->workerRunning());
}

TEST_F(EngineTest, RefusesWhatIsNotMpegAudioWithoutOpeningTheDevice)
{
    useDisk(true);
    const fs::path text = folder_ / "notes.mp3";
    std::ofstream(text) << "Shopping list: milk, bread, coffee.\n";
    const fs::path empty = folder_ / "empty.mp3";
    std::ofstream(empty).close();

    EXPECT_EQ(engine_->play(nullptr, 0.0f), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(engine_->play("", 0.0f), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(engine_->play((folder_ / "missing.mp3").c_str(), 0.0f), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(engine_->play(folder_.c_str(), 0.0f), SBMP3_ERR_NOT_AUDIO);
    EXPECT_EQ(engine_->play(text.c_str(), 0.0f), SBMP3_ERR_NOT_AUDIO);
    EXPECT_EQ(engine_->play(empty.c_str(), 0.0f), SBMP3_ERR_NOT_AUDIO);
    EXPECT_EQ(engine_->play(dataFile("random.mp3").c_str(), 0.0f), SBMP3_ERR_NOT_AUDIO);
    EXPECT_EQ(engine_->play(dataFile("not_audio.wav").c_str(), 1.0f), SBMP3_ERR_NOT_AUDIO);
    EXPECT_FALSE(engine_->deviceOpen());
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
}

TEST_F(EngineTest, NoAudioDeviceIsReportedAndLeavesTheEngineStopped)
{
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    engine_ = std::make_unique<Engine>();
    EXPECT_EQ(engine_->play(dataFile("tone_1k.mp3").c_str(), 0.0f), SBMP3_ERR_NO_AUDIO_DEVICE);
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
    EXPECT_FALSE(engine_->finished());
    EXPECT_FALSE(engine_->workerRunning());
}

TEST_F(EngineTest, PlaysToTheEndReportsTheEndOnceThenClosesTheDevice)
{
    useDisk(true);
    CountingWindow window;
    engine_->attachWindow(&window);
    engine_->setStatusInterval(10);
    ASSERT_EQ(engine_->play(dataFile("left_only.mp3").c_str(), 0.0f), 0);
    EXPECT_TRUE(engine_->deviceOpen());
    EXPECT_FALSE(engine_->finished());
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));

    double position = 0;
    EXPECT_EQ(status(&position), SBMP3_STATUS_ENDED);
    EXPECT_NEAR(position, 1.0, 0.001);
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
    EXPECT_TRUE(engine_->finished()) << "finished stays set until the next start";
    engine_->stop();
    EXPECT_TRUE(engine_->finished());
    EXPECT_GT(window.calls.load(), 0);

    ASSERT_TRUE(waitFor([&] { return !engine_->deviceOpen() && !engine_->workerRunning(); }, 4000ms))
        << "the device is let go soon after the end";
    const std::vector<float> heard = heardLeft();
    const auto sounding = std::count_if(heard.begin(), heard.end(), [](float s) { return s != 0.0f; });
    EXPECT_NEAR(static_cast<double>(sounding), 44100.0, 500.0) << "the whole second was handed to the device";

    ASSERT_EQ(engine_->play(dataFile("left_only.mp3").c_str(), 0.0f), 0);
    EXPECT_FALSE(engine_->finished()) << "a new start clears it";
    EXPECT_EQ(status(), SBMP3_STATUS_PLAYING);
    engine_->releaseWindow(&window);
}

TEST_F(EngineTest, ACutFileStillPlaysToItsEnd)
{
    useDisk(true);
    ASSERT_EQ(engine_->play(dataFile("truncated.mp3").c_str(), 0.0f), 0);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
    EXPECT_EQ(status(), SBMP3_STATUS_ENDED);
}

TEST_F(EngineTest, PauseResumeStopAndFadeOutReportTheirStates)
{
    useDisk(false);
    ASSERT_EQ(engine_->play(dataFile("tone_1k.mp3").c_str(), 0.0f), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(status(), SBMP3_STATUS_PLAYING);

    engine_->pause();
    double paused = 0;
    EXPECT_EQ(status(&paused), SBMP3_STATUS_PAUSED);
    std::this_thread::sleep_for(150ms);
    double still = 0;
    EXPECT_EQ(status(&still), SBMP3_STATUS_PAUSED);
    EXPECT_NEAR(still, paused, 0.01) << "a paused track holds its place";
    EXPECT_GT(paused, 0.1);

    engine_->resume();
    std::this_thread::sleep_for(150ms);
    double resumed = 0;
    EXPECT_EQ(status(&resumed), SBMP3_STATUS_PLAYING);
    EXPECT_GT(resumed, paused + 0.05);

    engine_->fadeOut(0.2f);
    EXPECT_EQ(status(), SBMP3_STATUS_PLAYING) << "still playing while it fades";
    ASSERT_TRUE(waitFor([&] { return status() == SBMP3_STATUS_STOPPED; }, 2000ms));
    EXPECT_FALSE(engine_->finished()) << "a fade-out is no end of the track";

    ASSERT_EQ(engine_->play(dataFile("tone_1k.mp3").c_str(), 0.0f), 0);
    engine_->stop();
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
    EXPECT_FALSE(engine_->finished());
}

TEST_F(EngineTest, TheSpectrumPeaksAtTheTonesBinAndLevelsFollowTheChannels)
{
    useDisk(false);
    ASSERT_EQ(engine_->play(dataFile("left_only.mp3").c_str(), 0.0f), 0);
    double heard = 0;
    ASSERT_TRUE(waitFor([&] { return status(&heard) == SBMP3_STATUS_PLAYING && heard > 0.2; }));
    std::int16_t state = 0;
    double position = 0;
    std::int16_t levels[3] = {};
    std::int16_t wave[768] = {};
    float spectrum[384] = {};
    engine_->status(&state, &position, levels, wave, spectrum);
    EXPECT_GT(position, 0.1);
    int peakBin = 0;
    for (int i = 1; i < 128; ++i)
        if (spectrum[i * 3 + 1] > spectrum[peakBin * 3 + 1])
            peakBin = i;
    EXPECT_EQ(peakBin, 6) << "1000 Hz at 44100 Hz over 256 samples";
    EXPECT_GT(spectrum[6 * 3 + 1], 0.2f);
    EXPECT_LT(spectrum[6 * 3 + 2], 0.01f) << "the right channel is silent";
    EXPECT_NEAR(levels[1], 0.5 * 32767, 0.1 * 32767);
    EXPECT_LT(levels[2], 100);
    EXPECT_EQ(levels[0], levels[1]);
    const auto waveMax = [&](int channel) {
        int most = 0;
        for (int i = 0; i < 256; ++i)
            most = std::max(most, std::abs(static_cast<int>(wave[i * 3 + channel])));
        return most;
    };
    EXPECT_GT(waveMax(1), 10000);
    EXPECT_LT(waveMax(2), 100);
}

TEST_F(EngineTest, ASeekLandsWhereAsked)
{
    useDisk(false);
    ASSERT_EQ(engine_->play(dataFile("steps.mp3").c_str(), 0.0f), 0);
    std::this_thread::sleep_for(100ms);
    engine_->seek(2.5);
    double position = 0;
    EXPECT_EQ(status(&position), SBMP3_STATUS_PLAYING);
    EXPECT_DOUBLE_EQ(position, 2.5) << "at once, before a sample of the new place is heard";
    // Once 256 samples of the new place have been heard:
    ASSERT_TRUE(waitFor([&] { return status(&position) == SBMP3_STATUS_PLAYING && position > 2.51; }, 2000ms));
    float spectrum[384] = {};
    engine_->status(nullptr, &position, nullptr, nullptr, spectrum);
    EXPECT_LT(position, 2.95) << "real time from 2.5 on, not from where it was";
    int peakBin = 0;
    for (int i = 1; i < 128; ++i)
        if (spectrum[i * 3] > spectrum[peakBin * 3])
            peakBin = i;
    EXPECT_EQ(peakBin, 10) << "the third second is 1760 Hz";

    engine_->pause();
    engine_->seek(1.25);
    EXPECT_EQ(status(&position), SBMP3_STATUS_PAUSED) << "a seek keeps a paused track paused";
    EXPECT_DOUBLE_EQ(position, 1.25);

    engine_->resume();
    engine_->seek(99.0);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }, 2000ms)) << "past the end is the end";
    EXPECT_EQ(status(&position), SBMP3_STATUS_ENDED);
    EXPECT_NEAR(position, 4.0, 0.001);
}

TEST_F(EngineTest, FadeInStartsSilentAndReachesFullLevel)
{
    useDisk(false);
    ASSERT_EQ(engine_->play(dataFile("tone_1k.mp3").c_str(), 1.0f), 0);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
    // The disk driver writes its last buffers after the end is reported; the file is whole once the device is closed.
    ASSERT_TRUE(waitFor([&] { return !engine_->deviceOpen(); }));
    const std::vector<float> heard = heardLeft();
    const auto first = std::find_if(heard.begin(), heard.end(), [](float s) { return s != 0.0f; });
    ASSERT_NE(first, heard.end());
    const auto start = static_cast<std::size_t>(first - heard.begin());
    ASSERT_GT(heard.size(), start + 88200);
    const auto peakBetween = [&](double from, double to) {
        float most = 0.0f;
        for (auto i = start + static_cast<std::size_t>(from * 44100); i < start + static_cast<std::size_t>(to * 44100); ++i)
            most = std::max(most, std::fabs(heard[i]));
        return most;
    };
    EXPECT_LT(peakBetween(0.0, 0.02), 0.011f) << "the first 20 ms are near silence";
    EXPECT_NEAR(peakBetween(0.45, 0.55), 0.25f, 0.04f) << "half way up at half the attack";
    EXPECT_NEAR(peakBetween(1.2, 1.8), 0.5f, 0.03f) << "full level after the attack";
}

TEST_F(EngineTest, AnEqualizerBandRaisesItsFrequencyAndLeavesOthers)
{
    useDisk(true);
    const auto levelOf = [&](const char *file, bool equalized) {
        engine_->setEqualizerEnabled(equalized);
        ASSERT_EQ(engine_->play(dataFile(file).c_str(), 0.0f), 0);
        EXPECT_TRUE(waitFor([&] { return engine_->finished(); }));
        ASSERT_TRUE(waitFor([&] { return !engine_->deviceOpen(); }));
        return;
    };
    const std::int16_t band = 1000;
    const float gains[32] = {12.0f};
    const float overall = -12.0f; // keeps the raised tone clear of full scale
    engine_->setBandFrequencies(&band, 1);
    engine_->setBandGains(gains);
    engine_->setOverallGains(&overall, &overall);

    std::vector<double> db;
    for (const char *file : {"tone_1k.mp3", "tone_100.mp3"}) {
        for (bool equalized : {false, true}) {
            levelOf(file, equalized);
            db.push_back(steadyLevelDb(heardLeft()));
        }
    }
    EXPECT_NEAR(db[1] - db[0] - overall, 12.0, 1.0) << "1000 Hz through a +12 dB band at 1000 Hz";
    EXPECT_NEAR(db[3] - db[2] - overall, 0.0, 1.0) << "100 Hz is left alone";
}

TEST_F(EngineTest, AReleasedWindowIsNeverCalledAgain)
{
    useDisk(false);
    CountingWindow window;
    engine_->attachWindow(&window);
    engine_->setStatusInterval(10);
    ASSERT_EQ(engine_->play(dataFile("tone_1k.mp3").c_str(), 0.0f), 0);
    ASSERT_TRUE(waitFor([&] { return window.calls.load() >= 5; }, 2000ms)) << "every 10 ms while playing";
    engine_->releaseWindow(&window);
    const int calls = window.calls.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(window.calls.load(), calls);

    CountingWindow slow;
    engine_->attachWindow(&slow);
    engine_->setStatusInterval(5000); // clamped to 250 ms
    std::this_thread::sleep_for(600ms);
    EXPECT_GE(slow.calls.load(), 1);
    EXPECT_LE(slow.calls.load(), 4);
    engine_->releaseWindow(&slow);
}

TEST_F(EngineTest, TenThousandCommandsFromTwoThreadsEndWhereTheLastOneSaid)
{
    // The dummy driver asks for audio every 93 ms; thousands of commands
    // come in between, and not one may be lost.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    engine_ = std::make_unique<Engine>();
    const std::string file = dataFile("steps.mp3"); // 4 s
    enum class Said { Playing, Paused, Stopped };
    Said said = Said::Playing;
    std::mutex order; // which command came last
    ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
    const auto hammer = [&](unsigned seed) {
        std::mt19937 random(seed);
        for (int i = 0; i < 5000; ++i) {
            std::lock_guard lock(order);
            const unsigned kind = random() % 20;
            if (kind < 12) {
                engine_->seek(static_cast<double>(random() % 3000) / 1000.0);
            } else if (kind < 15) {
                engine_->pause();
                said = said == Said::Playing ? Said::Paused : said;
            } else if (kind < 18) {
                engine_->resume();
                said = said == Said::Paused ? Said::Playing : said;
            } else if (kind < 19) {
                engine_->stop();
                said = Said::Stopped;
            } else {
                ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
                said = Said::Playing;
            }
        }
    };
    std::thread other(hammer, 3u);
    hammer(4u);
    other.join();

    double before = 0;
    double after = 0;
    const std::int16_t expected = said == Said::Playing  ? SBMP3_STATUS_PLAYING
                                  : said == Said::Paused ? SBMP3_STATUS_PAUSED
                                                         : SBMP3_STATUS_STOPPED;
    EXPECT_EQ(status(&before), expected);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(status(&after), expected);
    if (said != Said::Playing) {
        EXPECT_EQ(after, before) << "paused or stopped, it holds its place";
    }

    // One more burst, far faster than the device asks for audio, ending on
    // a seek to 1 s and a resume: the device plays from there.
    if (said == Said::Stopped) {
        ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
    }
    for (int i = 0; i < 300; ++i) {
        engine_->seek(static_cast<double>(i % 30) / 10.0);
        engine_->pause();
        engine_->resume();
    }
    engine_->pause();
    engine_->seek(1.0);
    engine_->resume();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(status(&before), SBMP3_STATUS_PLAYING);
    EXPECT_GT(before, 1.05) << "the device plays what the host last asked for";
    EXPECT_LT(before, 1.9);

    engine_->seek(3.8);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }, 3000ms)) << "and then the track ends";
    EXPECT_EQ(status(&after), SBMP3_STATUS_ENDED);
    EXPECT_NEAR(after, 4.0, 0.001);
}

TEST_F(EngineTest, EveryStartFindsItsFirstAudioQueuedForTheDevice)
{
    // From idle, over a playing track, after a stop and after the end: the
    // first callback that sees the start hands out the track's first frames.
    useDisk(true);
    const std::string file = dataFile("left_only.mp3");
    ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
    std::this_thread::sleep_for(20ms);
    engine_->stop();
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(engine_->play(file.c_str(), 0.0f), 0);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
    ASSERT_EQ(engine_->play(file.c_str(), 0.5f), 0);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
    EXPECT_EQ(engine_->startsThatWaited(), 0u);
}

TEST_F(EngineTest, PlaysStreamsThatChangeHideOrMisleadToTheirEnd)
{
    useDisk(true);
    struct Case {
        const char *name;
        double seconds;
    };
    // rate_change.mp3: 0.5 s at 44100 Hz, then 6912 samples at 11025 Hz and
    // 25344 at 48000 Hz, each at its own speed. Free format and a long junk
    // prefix used to be refused.
    const Case cases[] = {{"rate_change.mp3", 0.5 + 6912.0 / 11025 + 25344.0 / 48000},
                          {"free_format.mp3", 0.5},
                          {"junk_prefix.mp3", 0.5},
                          {"channel_change.mp3", 0.5 + 21 * 1152.0 / 44100}};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_EQ(engine_->play(dataFile(test.name).c_str(), 0.0f), 0);
        ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
        double position = 0;
        EXPECT_EQ(status(&position), SBMP3_STATUS_ENDED);
        EXPECT_NEAR(position, test.seconds, 0.001);
    }

    // An Info frame that claims 0xFFFFFFFF frames: a seek to the end ends
    // the track where its audio ends, not 112 million seconds in.
    ASSERT_EQ(engine_->play(dataFile("huge_count.mp3").c_str(), 0.0f), 0);
    engine_->seek(1e12);
    ASSERT_TRUE(waitFor([&] { return engine_->finished(); }));
    double position = 0;
    EXPECT_EQ(status(&position), SBMP3_STATUS_ENDED);
    EXPECT_NEAR(position, 0.55, 0.05);
}

TEST_F(EngineTest, CallsFromTwoThreadsInAnyOrderNeitherCrashNorHang)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    engine_ = std::make_unique<Engine>();
    CountingWindow window;
    const std::int16_t bands[] = {60, 250, 1000, 4000, 16000};
    const auto hammer = [&](unsigned seed) {
        std::mt19937 random(seed);
        const char *files[] = {"tone_1k.mp3", "steps.mp3", "mono_mpeg2.mp3", "layer2.mp2", "random.mp3"};
        for (int i = 0; i < 400; ++i) {
            float gains[32];
            std::fill(std::begin(gains), std::end(gains), static_cast<float>(random() % 40) - 20.0f);
            std::int16_t state = 0;
            double position = 0;
            std::int16_t levels[3];
            std::int16_t wave[768];
            float spectrum[384];
            switch (random() % 12) {
            case 0: engine_->play(dataFile(files[random() % 5]).c_str(), static_cast<float>(random() % 3)); break;
            case 1: engine_->stop(); break;
            case 2: engine_->pause(); break;
            case 3: engine_->resume(); break;
            case 4: engine_->seek(static_cast<double>(random() % 50) / 10.0); break;
            case 5: engine_->fadeOut(static_cast<float>(random() % 3) / 10.0f); break;
            case 6: engine_->status(&state, &position, levels, wave, spectrum); break;
            case 7: engine_->setBandFrequencies(bands, static_cast<int>(random() % 5) + 1); break;
            case 8: engine_->setBandGains(gains); break;
            case 9: engine_->setEqualizerEnabled(random() % 2 == 0); break;
            case 10: engine_->attachWindow(&window); break;
            default: engine_->releaseWindow(&window); break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        }
    };
    std::thread other(hammer, 1u);
    hammer(2u);
    other.join();
    engine_->releaseWindow(&window);
    engine_->stop();
    EXPECT_EQ(status(), SBMP3_STATUS_STOPPED);
}

} // namespace
} // namespace audioengine
