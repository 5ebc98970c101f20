// The playlist control with 100,000 entries, its engine answering every file
// at once (no recording, no files), so only the control's own work counts:
//   Clear         emptying a list of 100,000 entries (goal: under 50 ms)
//   LoadPlayList  loading a 100,000-entry playlist file into a list that
//                 already holds them, warm cache (goal: under 1 s)
#include "FakeEngine.h"
#include "playlist/SBMP3PlayList.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

using SonbrelMP3::FrameInfoBuffer;
using SonbrelMP3::SBMP3PlayList;
using SonbrelMP3::TagBlock;

constexpr int kEntries = 100000;

// Every file is a typical tagged MP3.
class AnsweringEngine : public SonbrelMP3::AudioEngine {
public:
    void play_mp3(std::int32_t, sbmp3_window *) override {}
    void release_window(sbmp3_window *) override {}
    std::int16_t play(const QString &) override { return 0; }
    std::int16_t fade_in(const QString &, float) override { return 0; }
    void continue_playing() override {}
    void pause_playing() override {}
    void stop_playing() override {}
    void fade_out(float) override {}
    void seek_playing(double) override {}
    void set_vu_interval(std::int16_t &) override {}
    std::int16_t is_finished() override { return 0; }
    void get_status(std::int16_t &status, double &position, std::int16_t *, std::int16_t *, float *) override
    {
        status = SBMP3_STATUS_STOPPED;
        position = 0.0;
    }
    std::int16_t get_id3_tag(const QString &, TagBlock &tag) override
    {
        tag = tag_;
        return 0;
    }
    std::int16_t set_id3_tag(const QString &, const TagBlock &) override { return 0; }
    std::int16_t get_frame_info(const QString &, FrameInfoBuffer &info) override
    {
        info.fill('\0');
        std::memcpy(info.data(), frameInfo_.constData(), std::min<std::size_t>(frameInfo_.size(), info.size() - 1));
        return 1;
    }
    void create_eq(const std::int16_t *, std::int16_t) override {}
    void set_eq(const float *) override {}
    void set_gain(const float &, const float &) override {}
    void eq_state(std::int16_t) override {}

private:
    TagBlock tag_ = SonbrelMP3::testing::FakeEngine::tagBlock("Title", "Artist");
    QByteArray frameInfo_ = SonbrelMP3::testing::FakeEngine::typicalFrameInfo();
};

AnsweringEngine &engine()
{
    static AnsweringEngine instance;
    return instance;
}

QString entryName(int i)
{
    return QStringLiteral("/music/album%1/tune%2.mp3").arg(i / 100).arg(i, 6, 10, QLatin1Char('0'));
}

// A playlist file of kEntries absolute paths, each after its information line.
const QString &playListFile()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.filePath(QStringLiteral("all.m3u"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        QByteArray text = "#EXTM3U\r\n";
        for (int i = 0; i < kEntries; ++i)
            text += "#EXTINF:300,Artist - Title\r\n" + entryName(i).toUtf8() + "\r\n";
        out.write(text);
        return file;
    }();
    return path;
}

void fill(SBMP3PlayList &list)
{
    for (int i = 0; i < kEntries; ++i)
        list.AddEntry(entryName(i));
}

void Clear(benchmark::State &state)
{
    SBMP3PlayList list(nullptr, engine());
    for (auto _ : state) {
        state.PauseTiming();
        fill(list);
        state.ResumeTiming();
        list.Clear();
    }
    state.counters["entries"] = kEntries;
}
BENCHMARK(Clear)->Unit(benchmark::kMillisecond)->Iterations(5);

void LoadPlayList(benchmark::State &state)
{
    SBMP3PlayList list(nullptr, engine());
    list.LoadPlayList(playListFile());  // warms the cache and fills the list
    for (auto _ : state)
        list.LoadPlayList(playListFile());
    state.counters["entries"] = list.Count();
}
BENCHMARK(LoadPlayList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
