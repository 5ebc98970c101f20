// The playlist control over the real engine and real files:
//   Load          loading a 10,000-entry playlist of small MP3 files, each
//                 entry reading its tag and stream information through the
//                 engine (goal: under 2 s with a warm cache)
//   Save          saving those 10,000 entries
//   SortByTitle   sorting them by title, each title read from its file
//   Shuffle       shuffling them
// The files are hard links to one test file in a temporary folder.

#include "playlist/SBMP3PlayList.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>

namespace {

using SonbrelMP3::SBMP3PlayList;
constexpr int kEntries = 10000;

QTemporaryDir &folder()
{
    static QTemporaryDir made;
    static const bool filled = [] {
        const std::filesystem::path source = ENGINE_TEST_DATA_DIR "/with_id3v1.mp3";
        QFile list(made.filePath(QStringLiteral("all.m3u")));
        list.open(QIODevice::WriteOnly);
        list.write("#EXTM3U\r\n");
        for (int i = 0; i < kEntries; ++i) {
            const QString name = QStringLiteral("tune%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
            const std::filesystem::path target = made.filePath(name).toStdString();
            std::error_code error;
            std::filesystem::create_hard_link(source, target, error);
            if (error)
                std::filesystem::copy_file(source, target, error);
            list.write(name.toUtf8() + "\r\n"); // relative: found beside the playlist
        }
        return true;
    }();
    (void)filled;
    return made;
}

QString playList()
{
    return folder().filePath(QStringLiteral("all.m3u"));
}

void Load(benchmark::State &state)
{
    SBMP3PlayList list;
    list.LoadPlayList(playList()); // warms the cache
    for (auto _ : state)
        list.LoadPlayList(playList());
    state.counters["entries"] = list.Count();
}
BENCHMARK(Load)->Unit(benchmark::kMillisecond)->UseRealTime();

void Save(benchmark::State &state)
{
    SBMP3PlayList list;
    list.LoadPlayList(playList());
    const QString saved = folder().filePath(QStringLiteral("saved.m3u"));
    for (auto _ : state)
        list.SavePlayList(saved);
}
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->UseRealTime();

void SortByTitle(benchmark::State &state)
{
    SBMP3PlayList list;
    list.LoadPlayList(playList());
    int order = 1;
    for (auto _ : state) {
        list.Sort(1, order);
        order = -order;
    }
}
BENCHMARK(SortByTitle)->Unit(benchmark::kMillisecond)->UseRealTime();

void Shuffle(benchmark::State &state)
{
    SBMP3PlayList list;
    list.LoadPlayList(playList());
    for (auto _ : state)
        list.Sort(0, 0);
}
BENCHMARK(Shuffle)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
