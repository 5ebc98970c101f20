// The library's own work around the engine calls: binding an entry, reading
// its tag and parsing frame information, with the engine faked out.
#include "FakeEngine.h"
#include "LookupTables.h"
#include "playlist/FrameInfo.h"
#include "playlist/PlayListEntry.h"

#include <benchmark/benchmark.h>

#include <cstring>

using namespace SonbrelMP3;

static void BindEntry(benchmark::State &state)
{
    testing::FakeEngine engine;
    engine.addFile(QStringLiteral("/music/a.mp3")).tag =
        testing::FakeEngine::tagBlock("Title", "Artist", "Album", "2001", "Comment", 17);
    PlayListEntry entry(engine);
    for (auto _ : state) {
        benchmark::DoNotOptimize(entry.SetFileName(QStringLiteral("/music/a.mp3")));
        engine.calls.clear();
    }
}
BENCHMARK(BindEntry);

static void ReadAllTagFields(benchmark::State &state)
{
    testing::FakeEngine engine;
    engine.addFile(QStringLiteral("/music/a.mp3")).tag =
        testing::FakeEngine::tagBlock("Title", "Artist", "Album", "2001", "Comment", 17);
    PlayListEntry entry(engine);
    entry.SetFileName(QStringLiteral("/music/a.mp3"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(entry.ID3Title());
        benchmark::DoNotOptimize(entry.ID3Artist());
        benchmark::DoNotOptimize(entry.ID3Album());
        benchmark::DoNotOptimize(entry.ID3Year());
        benchmark::DoNotOptimize(entry.ID3Comment());
        benchmark::DoNotOptimize(entry.ID3Genre());
        engine.calls.clear();
    }
}
BENCHMARK(ReadAllTagFields);

static void ParseFrameInfo(benchmark::State &state)
{
    FrameInfoBuffer buffer{};
    const QByteArray text = testing::FakeEngine::typicalFrameInfo();
    std::memcpy(buffer.data(), text.constData(), static_cast<std::size_t>(text.size()));
    for (auto _ : state)
        benchmark::DoNotOptimize(parseFrameInfo(buffer));
}
BENCHMARK(ParseFrameInfo);

static void GenreNames(benchmark::State &state)
{
    for (auto _ : state) {
        for (int genre = 0; genre < kGenreCount; ++genre)
            benchmark::DoNotOptimize(GenreName(genre));
    }
}
BENCHMARK(GenreNames);
