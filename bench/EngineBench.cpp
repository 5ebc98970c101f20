// The audio engine's costs, each measured against an anchor in the same run
// and reported as a ratio (see bench/README.md for the goals):
//   DecodeSpeed/equalizer:1|0  decoding, a ten-band equalizer (or none), the
//                              device callback's work and the analysis at the
//                              100 ms status interval, against `mpg123 -q -t`
//                              on the same file: speed_vs_mpg123
//   RealTimeCpu/host:...       CPU of the engine and a player host while
//                              playing in real time on SDL's dummy driver,
//                              against `mpg123 -q -s FILE | bench_pacer`:
//                              cpu_vs_anchor
//   FinishLatency              from the callback that hands out a track's last
//                              frame to is_finished reading 1, worst case over
//                              lengths that are and are not whole chunks
//   StartLatency/...           from play() to the callback that hands out the
//                              track's first frame
//   FrameInfo                  get_frame_info per file over 10,000 files, warm,
//                              against one 4 KiB read per file: vs_floor
//
// The file is music-like (pink noise and sweeps, LAME -V 2, 5 minutes), made
// at the first run by bench/make-music-file.sh into the temporary folder.

#include "Analyzer.h"
#include "Decoder.h"
#include "Engine.h"
#include "EqualizerFilter.h"
#include "Renderer.h"
#include "StreamFiles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const fs::path kData = ENGINE_TEST_DATA_DIR;

// Rounds of each measurement; the best round of the subject and of its
// anchor are compared, which keeps other load on the machine out of it.
constexpr int kRounds = 3;

double seconds(const timespec &value)
{
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_nsec) / 1e9;
}

double threadCpu()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return seconds(now);
}

[[maybe_unused]] double processCpu()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return seconds(now);
}

// CPU time of another process of ours, all its threads.
[[maybe_unused]] double processCpu(pid_t pid)
{
    clockid_t clock{};
    timespec now{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0)
        return 0.0;
    return seconds(now);
}

pid_t spawn(std::vector<std::string> arguments, int in = -1, int out = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child = 0;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// User and system time of a child that has ended, or -1 when it failed.
double waitCpu(pid_t child)
{
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    const auto value = [](const timeval &time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return value(usage.ru_utime) + value(usage.ru_stime);
}

const fs::path &musicFile()
{
    static const fs::path path = [] {
        const fs::path made = fs::temp_directory_path() / "sonbrel-bench-music-300s.mp3";
        if (!fs::exists(made)) {
            std::fprintf(stderr, "making %s (needs sox and lame)...\n", made.c_str());
            const pid_t child = spawn({BENCH_MUSIC_SCRIPT, made.string(), "300"});
            if (child == 0 || waitCpu(child) < 0) {
                std::fprintf(stderr, "bench/make-music-file.sh failed\n");
                std::exit(1);
            }
        }
        return made;
    }();
    return path;
}

double fileSeconds(const fs::path &path)
{
    std::unique_ptr<audioengine::Decoder> decoder;
    audioengine::Decoder::open(path.c_str(), decoder);
    std::vector<float> block(2 * 4096);
    std::size_t frames = 0;
    while (const std::size_t got = decoder->read(block.data(), 4096))
        frames += got;
    return static_cast<double>(frames) / decoder->sampleRate();
}

// Everything the engine does to a track but the device: decode, equalize
// (ten bands, eight of them raising or cutting), hand out through the
// renderer as the callback does, and analyse as often as the status
// interval asks. Returns the CPU seconds it took.
double pipelineCpu(const fs::path &file, bool equalized, int intervalMs)
{
    audioengine::EqualizerSettings settings;
    settings.frequencies = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int i = 0; i < 10; ++i)
        settings.gains[static_cast<std::size_t>(i)] = static_cast<float>(i % 5) * 2.0f - 4.0f;
    settings.enabled = equalized;
    audioengine::SpectrumAnalyzer analyzer;
    std::vector<float> device(2 * audioengine::kChunkFrames);
    float recent[2 * audioengine::kWaveSamples];
    std::int16_t wave[audioengine::kWaveSamples * 3];
    float spectrum[audioengine::kSpectrumBins * 3];

    const double start = threadCpu();
    std::unique_ptr<audioengine::Decoder> decoder;
    audioengine::Decoder::open(file.c_str(), decoder);
    audioengine::EqualizerFilter equalizer;
    equalizer.configure(settings, decoder->sampleRate());
    audioengine::Renderer renderer(decoder->sampleRate());
    renderer.post({audioengine::RenderCommand::Kind::Start, 1, 0, 0});
    std::int64_t first = 0;
    std::size_t sinceAnalysis = 0;
    const auto analysisEvery = static_cast<std::size_t>(decoder->sampleRate() * intervalMs / 1000);
    bool last = false;
    while (!last) {
        audioengine::AudioChunk *chunk = renderer.chunks().beginWrite();
        const std::size_t frames = decoder->read(chunk->samples.data(), audioengine::kChunkFrames);
        equalizer.process(chunk->samples.data(), frames);
        chunk->epoch = 1;
        chunk->firstFrame = first;
        chunk->frames = static_cast<std::uint32_t>(frames);
        chunk->last = last = frames < audioengine::kChunkFrames || decoder->atEnd();
        renderer.chunks().commitWrite();
        first += static_cast<std::int64_t>(frames);
        renderer.render(device.data(), audioengine::kChunkFrames);
        sinceAnalysis += audioengine::kChunkFrames;
        while (sinceAnalysis >= analysisEvery) {
            renderer.copyRecent(recent, audioengine::kWaveSamples);
            analyzer.analyze(recent, wave, spectrum);
            sinceAnalysis -= analysisEvery;
        }
    }
    benchmark::DoNotOptimize(device.data());
    return threadCpu() - start;
}

double mpg123TestCpu(const fs::path &file)
{
    const pid_t child = spawn({"mpg123", "-q", "-t", file.string()});
    return child == 0 ? -1.0 : waitCpu(child);
}

void DecodeSpeed(benchmark::State &state)
{
    const fs::path &file = musicFile();
    const bool equalized = state.range(0) != 0;
    const double audio = fileSeconds(file);
    double engineBest = 1e9;
    double anchorBest = 1e9;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const double anchor = mpg123TestCpu(file);
            if (anchor < 0) {
                state.SkipWithError("mpg123 -q -t failed (Debian package mpg123)");
                return;
            }
            anchorBest = std::min(anchorBest, anchor);
            engineBest = std::min(engineBest, pipelineCpu(file, equalized, 100));
        }
    }
    state.counters["engine_x_realtime"] = audio / engineBest;
    state.counters["mpg123_x_realtime"] = audio / anchorBest;
    state.counters["speed_vs_mpg123"] = anchorBest / engineBest;
}
BENCHMARK(DecodeSpeed)->ArgName("equalizer")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
