// Reordering a large playlist: sorting 10,000 entries by title (goal: under
// 50 ms) and shuffling them, with the engine faked out.
#include "Enumerations.h"
#include "FakeEngine.h"
#include "playlist/EntryCollection.h"
#include "playlist/PlayListEntry.h"
#include "playlist/PlayListOrder.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace SonbrelMP3;

namespace {

constexpr int kEntries = 10000;

// 10,000 entries over fake files whose titles repeat in mixed case, in an
// order unrelated to the titles.
struct LargeList {
    LargeList()
    {
        for (int i = 0; i < kEntries; ++i) {
            const QString file = QStringLiteral("/music/track%1.mp3").arg(i);
            const int word = (i * 7919) % 2500;
            const QByteArray title = (i % 2 ? "Song " : "song ") + QByteArray::number(word);
            engine.addFile(file).tag = testing::FakeEngine::tagBlock(title, "Artist");
            auto entry = std::make_shared<PlayListEntry>(engine);
            entry->SetFileName(file);
            list.Add(std::move(entry), QString::number(i));
        }
        engine.calls.clear();
    }

    testing::FakeEngine engine;
    EntryCollection list;
};

}  // namespace

static void SortByTitle(benchmark::State &state)
{
    LargeList large;
    SystemRandomSource random;
    for (auto _ : state) {
        state.PauseTiming();
        EntryCollection list = large.list;
        large.engine.calls.clear();
        state.ResumeTiming();
        Sort(list, sbrMP3SortByID3Title, sbrMP3SortAscending, random);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(SortByTitle)->Unit(benchmark::kMillisecond);

static void SortByTime(benchmark::State &state)
{
    LargeList large;
    SystemRandomSource random;
    for (auto _ : state) {
        state.PauseTiming();
        EntryCollection list = large.list;
        state.ResumeTiming();
        Sort(list, sbrMP3SortByTime, sbrMP3SortDescending, random);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(SortByTime)->Unit(benchmark::kMillisecond);

static void Shuffle(benchmark::State &state)
{
    LargeList large;
    SystemRandomSource random;
    for (auto _ : state) {
        Sort(large.list, sbrMP3SortByFile, sbrMP3SortRandom, random);
        benchmark::DoNotOptimize(large.list.Count());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(Shuffle)->Unit(benchmark::kMillisecond);

static void MoveToTop(benchmark::State &state)
{
    LargeList large;
    SystemRandomSource random;
    for (auto _ : state)
        MovePlayListEntry(large.list, kEntries, sbrMP3MoveToTop, 0, random);
}
BENCHMARK(MoveToTop)->Unit(benchmark::kMicrosecond);
