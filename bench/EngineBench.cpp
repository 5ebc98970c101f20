// The audio engine's costs, each measured against its goal:
//   Pipeline vs Mpg123TestMode  decoding with the equalizer and the analysis,
//                               against `mpg123 -t` on the same file in the
//                               same run (goal: at least 0.7 of its speed)
//   RealTimeCpu                 CPU while playing in real time on SDL's dummy
//                               driver (goal: under 1 % of one core)
//   FinishLatency               from the last sample handed to the device to
//                               is_finished reading 1 (goal: under 20 ms)
//
// The file is made at start from the test files: their frames repeated for
// two minutes of music (their Info frames left out, so that no decoder
// stops at the length an Info frame gives).

#include "Analyzer.h"
#include "Decoder.h"
#include "Engine.h"
#include "EqualizerFilter.h"
#include "Renderer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<char> readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Length of the MPEG-1 Layer III frame that starts at data.
std::size_t layer3FrameLength(const unsigned char *data)
{
    static const int kBitrates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[] = {44100, 48000, 32000, 0};
    const int bitrate = kBitrates[data[2] >> 4] * 1000;
    const int rate = kRates[(data[2] >> 2) & 3];
    const int padding = (data[2] >> 1) & 1;
    return rate == 0 ? 0 : static_cast<std::size_t>(144 * bitrate / rate + padding);
}

const fs::path &longFile()
{
    static const fs::path path = [] {
        const fs::path made = fs::temp_directory_path() / "sonbrel-bench-long.mp3";
        const std::vector<char> steps = readFile(fs::path(ENGINE_TEST_DATA_DIR) / "steps.mp3");
        const std::size_t info = layer3FrameLength(reinterpret_cast<const unsigned char *>(steps.data()));
        std::ofstream out(made, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 30; ++i) // 30 x 4 s
            out.write(steps.data() + info, static_cast<std::streamsize>(steps.size() - info));
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
// renderer, and analyse as often as the status interval asks.
// Arguments: the status interval in ms, and whether the equalizer is on.
void Pipeline(benchmark::State &state)
{
    const auto intervalMs = static_cast<int>(state.range(0));
    const fs::path &file = longFile();
    const double seconds = fileSeconds(file);
    audioengine::EqualizerSettings settings;
    settings.frequencies = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int i = 0; i < 10; ++i)
        settings.gains[static_cast<std::size_t>(i)] = static_cast<float>(i % 5) * 2.0f - 4.0f;
    settings.enabled = state.range(1) != 0;
    audioengine::SpectrumAnalyzer analyzer;
    std::vector<float> device(2 * audioengine::kChunkFrames);
    float recent[2 * audioengine::kWaveSamples];
    std::int16_t wave[audioengine::kWaveSamples * 3];
    float spectrum[audioengine::kSpectrumBins * 3];

    for (auto _ : state) {
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
            chunk->last = last = frames < audioengine::kChunkFrames;
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
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(Pipeline)
    ->ArgNames({"interval_ms", "equalizer"})
    ->Args({100, 1})
    ->Args({10, 1})
    ->Args({100, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

void Mpg123TestMode(benchmark::State &state)
{
    const fs::path &file = longFile();
    const double seconds = fileSeconds(file);
    for (auto _ : state) {
        pid_t child = 0;
        std::string program = "mpg123", quiet = "-q", test = "-t", name = file.string();
        char *argv[] = {program.data(), quiet.data(), test.data(), name.data(), nullptr};
        if (posix_spawnp(&child, "mpg123", nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("mpg123 is not installed (Debian package mpg123)");
            return;
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("mpg123 failed");
            return;
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(Mpg123TestMode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &value) { return value.tv_sec + value.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void RealTimeCpu(benchmark::State &state)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    audioengine::Engine engine;
    sbmp3_window window{[](sbmp3_window *) {}};
    engine.attachWindow(&window);
    engine.setStatusInterval(100);
    for (auto _ : state) {
        engine.play(longFile().c_str(), 0.0f);
        std::this_thread::sleep_for(1s); // past the start-up and the first fill
        const double cpuBefore = cpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(10s);
        const double cpu = cpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
        engine.stop();
    }
    engine.releaseWindow(&window);
}
BENCHMARK(RealTimeCpu)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void FinishLatency(benchmark::State &state)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    audioengine::Engine engine;
    const std::string file = std::string(ENGINE_TEST_DATA_DIR) + "/left_only.mp3";
    double worst = 0.0;
    double total = 0.0;
    int runs = 0;
    for (auto _ : state) {
        engine.play(file.c_str(), 0.0f);
        engine.seek(0.9); // the last tenth of a second
        const std::int64_t before = engine.endHandedOutAt();
        while (!engine.finished())
            std::this_thread::yield();
        const std::int64_t seen = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
        while (engine.endHandedOutAt() == before)
            std::this_thread::yield();
        const double latency = std::max<double>(0.0, static_cast<double>(seen - engine.endHandedOutAt())) / 1e6;
        worst = std::max(worst, latency);
        total += latency;
        ++runs;
    }
    state.counters["mean_ms"] = total / runs;
    state.counters["worst_ms"] = worst;
}
BENCHMARK(FinishLatency)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

} // namespace
