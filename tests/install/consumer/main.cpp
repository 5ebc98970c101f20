// A program outside the project that uses the installed library with
// nothing but its headers and its shared library: it reads and writes a
// tag, sets up the equalizer, keeps a playlist in a file, and plays a file
// to its end, hearing of it through FinishedPlaying.
//
//   consumer <an MP3 file it may change> <a folder it may write in>

#include <TarnelMP3.h>
#include <TarnelMP3/SBMP3PlayList.h>
#include <TarnelMP3/SBMP3Player.h>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

// The host's own names that the engine's C functions also have: the
// library's headers declare none of those, so these are no redeclarations.
int play = 1;
double get_status = 2.0;
const char *set_gain = "host";
bool stop_playing = false;

namespace {

int failures = 0;

void check(bool condition, const char *what)
{
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

// The number of the error `action` raises, 0 for none.
template <typename Action>
int raisedNumber(Action &&action)
{
    try {
        action();
    } catch (const SonbrelMP3::RaisedError &error) {
        return error.number();
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::printf("usage: consumer <file.mp3> <folder>\n");
        return 2;
    }
    const QString song = QString::fromLocal8Bit(argv[1]);
    const QDir folder(QString::fromLocal8Bit(argv[2]));

    using namespace SonbrelMP3;
    SBMP3Player player;
    player.setFilename(song);
    check(player.Filename() == song, "the player takes the file");
    check(player.TrackLength() >= 1, "the file has a length");

    // A tag, written and read back, with a track number.
    player.setID3Title(QStringLiteral("Consumer Title"));
    player.setID3Track(5);
    check(player.ID3Title() == QStringLiteral("Consumer Title"), "the title is written");
    check(player.ID3Track() == 5, "the track number is written");

    // The equalizer: one band at -6 dB, both channels 2 dB up, switched on.
    Equalizer &equalizer = player.equalizer();
    std::int16_t frequency = 1000;
    equalizer.AddBand(frequency);
    equalizer.Band(1, sbrEQBandsByIndex)->setGain(-6.0F);
    equalizer.setGain(sbrMP3AllChannels, 2.0F);
    equalizer.setEnabled(true);
    check(equalizer.BandCount() == 1 && equalizer.Enabled(), "the equalizer is set up");
    check(raisedNumber([&] { equalizer.RemoveBand(5); }) == kNoSuchBandError, "a missing band is an error");

    // A playlist, saved and loaded again.
    SBMP3PlayList list;
    list.AddEntry(song);
    const QString listFile = folder.filePath(QStringLiteral("list.m3u"));
    list.SavePlayList(listFile);
    list.Clear();
    list.LoadPlayList(listFile);
    check(list.Count() == 1, "the playlist loads its one entry");
    auto *entry = qobject_cast<PlayListEntry *>(list.PlayListEntries(1));
    check(entry != nullptr && entry->ID3Title() == QStringLiteral("Consumer Title"), "the entry reads the tag");
    check(raisedNumber([&] { list.RemoveEntry(7); }) == kNoPlayListEntryError, "a missing entry is an error");

    // The file, played to its end.
    int ends = 0;
    QObject::connect(&player, &SBMP3Player::FinishedPlaying, [&] {
        ++ends;
        // A moment more, in case a second event were to come.
        QTimer::singleShot(300, &application, &QApplication::quit);
    });
    QObject::connect(&player, &SBMP3Player::Error, [&](qint32 number, const QString &, const QString &text) {
        std::printf("error %d: %s\n", number, qPrintable(text));
        application.exit(1);
    });
    QTimer::singleShot(20000, &application, [&] { application.exit(3); });
    player.PlayStart();
    check(player.IsPlaying(), "the player plays");
    const int result = application.exec();
    check(result == 0, "the end came in time");
    check(ends == 1, "one FinishedPlaying for one end");
    check(!player.IsPlaying(), "the player has stopped");

    std::printf("%s|%s|%d|%d band|%d entry|%d end\n", failures == 0 ? "ok" : "failed",
                qPrintable(player.ID3Title()), player.ID3Track(), equalizer.BandCount(), list.Count(), ends);
    std::printf("%d %g %s %d\n", play, get_status, set_gain, stop_playing ? 1 : 0);
    return failures == 0 ? 0 : 1;
}
