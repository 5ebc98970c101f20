// sbmp3 play [--eq FREQUENCY:GAIN,...] [--fade-in SECONDS] FILE...

#include "CommandLine.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "ProgressLine.h"

#include <TarnelMP3.h>

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sbmp3 {

namespace {

using SonbrelMP3::PlayListEntry;
using SonbrelMP3::SBMP3Player;

// The signal that asks playback to end (SIGINT, SIGTERM), 0 for none.
volatile std::sig_atomic_t endingSignal = 0;

void noteEndingSignal(int signal)
{
    endingSignal = signal;
}

int terminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void setUpEqualizer(SBMP3Player &player, const std::vector<BandSetting> &bands)
{
    SonbrelMP3::Equalizer &equalizer = player.equalizer();
    for (const BandSetting &setting : bands) {
        std::int16_t frequency = setting.frequency;
        equalizer.AddBand(frequency);
        equalizer.Band(frequency, SonbrelMP3::sbrEQBandsByFrequency)->setGain(setting.gain);
    }
    equalizer.setEnabled(!bands.empty());
}

// Plays one track to its end; the exit code of its failure, if any.
int playTrack(SBMP3Player &player, PlayListEntry &entry, int track, int tracks, double fadeSeconds)
{
    const QString file = entry.Filename();
    player.setFilename(file);
    try {
        if (fadeSeconds > 0.0)
            player.PlayFadeIn(fadeSeconds);
        else
            player.PlayStart();
    } catch (const SonbrelMP3::RaisedError &error) {
        return reportError(file, error);
    }

    const bool showProgress = isatty(STDERR_FILENO) != 0;
    const QString name = trackName(entry);
    QEventLoop loop;
    bool ended = false;
    int result = kSuccess;
    QObject::connect(&player, &SBMP3Player::FinishedPlaying, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QTimer tick;
    tick.setInterval(200);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (ended)
            return;
        if (endingSignal != 0) {
            player.PlayStop();
            result = endingSignal == SIGINT ? kInterrupted : kTerminated;
            loop.quit();
        } else if (!player.IsPlaying()) {
            // Stopped without reaching its end: the engine lost its device.
            printError(file, QStringLiteral("playback stopped before the end (the sound device failed)"));
            result = kUnavailable;
            loop.quit();
        } else if (showProgress) {
            const QString line = progressLine(track, tracks, name,
                                              player.TrackPosition(SonbrelMP3::sbrMP3SeekFromBeginning),
                                              player.TrackLength(), terminalWidth());
            std::fprintf(stderr, "\r%s", line.toLocal8Bit().constData());
            std::fflush(stderr);
        }
    });
    tick.start();
    loop.exec();
    if (showProgress) {
        const int length = player.TrackLength();
        const QString line = progressLine(track, tracks, name, ended ? length : 0, length, terminalWidth());
        std::fprintf(stderr, "\r%s\n", line.toLocal8Bit().constData());
    }
    return result;
}

}  // namespace

QString trackName(PlayListEntry &entry)
{
    try {
        const QString artist = entry.ID3Artist();
        const QString title = entry.ID3Title();
        if (!title.isEmpty())
            return artist.isEmpty() ? title : artist + QStringLiteral(" - ") + title;
    } catch (const SonbrelMP3::RaisedError &) {
        // The file's name will do.
    }
    return QFileInfo(entry.Filename()).fileName();
}

int runPlay(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption eq(QStringLiteral("eq"), QString(), QStringLiteral("bands"));
    const QCommandLineOption fadeIn(QStringLiteral("fade-in"), QString(), QStringLiteral("seconds"));
    parser.addOptions({eq, fadeIn});
    parseArguments(parser, QStringLiteral("play"), arguments, 1);
    const std::vector<BandSetting> bands =
        parser.isSet(eq) ? parseEqualizerBands(parser.value(eq)) : std::vector<BandSetting>{};
    const double fadeSeconds = parser.isSet(fadeIn) ? parseFadeSeconds(parser.value(fadeIn)) : 0.0;

    // The files the library refuses are named at once; the others play.
    Outcome outcome;
    SonbrelMP3::SBMP3PlayList list;
    for (const QString &file : parser.positionalArguments()) {
        try {
            list.AddEntry(file);
        } catch (const SonbrelMP3::RaisedError &error) {
            outcome.fail(reportError(file, error));
        }
    }

    std::signal(SIGINT, noteEndingSignal);
    std::signal(SIGTERM, noteEndingSignal);
    SBMP3Player player;
    setUpEqualizer(player, bands);
    for (int track = 1; track <= list.Count(); ++track) {
        auto *entry = qobject_cast<PlayListEntry *>(list.PlayListEntries(track));
        const int result = playTrack(player, *entry, track, list.Count(), fadeSeconds);
        if (result == kInterrupted || result == kTerminated)
            return result;
        outcome.fail(result);
        // A file may fail on its own; without sound the rest would not play
        // either.
        if (result == kUnavailable || result == kOutOfMemory || result == kSoftware)
            break;
    }
    return outcome.exitCode();
}

}  // namespace sbmp3
