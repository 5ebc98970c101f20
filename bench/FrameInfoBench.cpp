// frameInfoOfFile, the engine's get_frame_info, as a playlist uses it: over
// 10,000 files (copies of two small test files, one with an ID3v2 tag in front
// and one with an ID3v1 tag at the end, both with a LAME Info frame), made
// once in a temporary folder and read with a warm cache. Then files without a
// Xing frame, whose frames are all walked: a 3-second VBR file, and the same
// frames repeated to about 10 minutes.
#include "StreamFiles.h"
#include "TempFolder.h"
#include "sonbrel_mp3.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kData = ENGINE_TEST_DATA_DIR;
constexpr int kFileCount = 10000;

TempFolder &folder()
{
    static TempFolder temp;
    return temp;
}

const std::vector<std::string> &manyFiles()
{
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> made;
        const fs::path sources[] = {kData / "id3v2_front.mp3", kData / "with_id3v1.mp3"};
        for (int i = 0; i < kFileCount; ++i) {
            const fs::path path = folder().path / ("track" + std::to_string(i) + ".mp3");
            fs::copy_file(sources[i % 2], path);
            made.push_back(path.string());
        }
        return made;
    }();
    return paths;
}

const std::string &longFileWithoutXing()
{
    static const std::string path = [] {
        std::ifstream in(kData / "vbr_noxing.mp3", std::ios::binary);
        const std::string frames{std::istreambuf_iterator<char>(in), {}};
        const fs::path made = folder().path / "long_noxing.mp3";
        std::ofstream out(made, std::ios::binary);
        for (int i = 0; i < 200; ++i)
            out << frames;
        return made.string();
    }();
    return path;
}

void infoOf(benchmark::State &state, const std::vector<std::string> &paths)
{
    char info[SBMP3_FRAME_INFO_SIZE];
    for (const std::string &path : paths)  // warm the cache
        audioengine::frameInfoOfFile(path.c_str(), info);
    for (auto _ : state) {
        for (const std::string &path : paths) {
            if (audioengine::frameInfoOfFile(path.c_str(), info) != 1) {
                state.SkipWithError("a file gave no frame information");
                return;
            }
            benchmark::DoNotOptimize(info);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}

void BM_FrameInfoOf10000Files(benchmark::State &state)
{
    infoOf(state, manyFiles());
}
BENCHMARK(BM_FrameInfoOf10000Files)->Unit(benchmark::kMillisecond);

void BM_FrameInfoWalk3SecondVbr(benchmark::State &state)
{
    infoOf(state, {(kData / "vbr_noxing.mp3").string()});
}
BENCHMARK(BM_FrameInfoWalk3SecondVbr)->Unit(benchmark::kMicrosecond);

void BM_FrameInfoWalk10MinuteVbr(benchmark::State &state)
{
    infoOf(state, {longFileWithoutXing()});
}
BENCHMARK(BM_FrameInfoWalk10MinuteVbr)->Unit(benchmark::kMillisecond);

}  // namespace
