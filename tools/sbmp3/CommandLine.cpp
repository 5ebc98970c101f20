#include "CommandLine.h"

#include <TarnelMP3/Enumerations.h>
#include <TarnelMP3/LookupTables.h>

#include <QCommandLineParser>

#include <cmath>
#include <set>

namespace sbmp3 {

namespace {

constexpr std::size_t kMostBands = 32;  // the engine's equalizer has no more
constexpr double kLargestBandGain = 24.0;
constexpr double kLongestFade = 60.0;

}  // namespace

QString usageText()
{
    return QStringLiteral(R"(Usage: sbmp3 COMMAND [OPTION]... ARGUMENT...
Reads, tags, plays and tidies MPEG audio files and M3U playlists through
the TarnelMP3 library.

Commands:
  info [--json] FILE...
      The stream information, length and tag of each file.
  tag FILE [--title TEXT] [--artist TEXT] [--album TEXT] [--year TEXT]
           [--comment TEXT] [--genre NUMBER|NAME] [--track NUMBER]
      Writes fields of the file's ID3 tag; the file is replaced whole, so a
      write that fails leaves it as it was. A version 1 tag holds 30
      characters of title, artist, album and comment (28 with a track
      number), 4 of the year; sbmp3 says when a field was cut.
  play [--eq FREQUENCY:GAIN,...] [--fade-in SECONDS] FILE...
      Plays the files one after another, with a progress line on a
      terminal. --eq sets equalizer bands, e.g. 100:+3,1000:-2 (Hz:dB,
      -24 to +24 dB, at most 32 bands); --fade-in lets each track rise
      from silence.
  playlist LIST.m3u [--check] [--sort file|title|artist|time]
           [--descending] [--shuffle] [--output FILE | --write]
           [--drop-missing]
      Lists the playlist's entries (sorted or shuffled when asked).
      --check names each line whose file is missing or no audio.
      --output writes the list to FILE, --write back to LIST.m3u, each
      entry as the native path it names (lines written on Windows, such as
      music\song.mp3, are converted). A list that would lose entries is
      written only with --drop-missing.

Exit status:
  0 success, 64 wrong command line, 65 content refused (not audio, not a
  playlist, a value a tag cannot hold), 66 file or folder not found,
  69 no sound (device, driver or engine library), 70 other error, 71 out
  of memory, 74 read or write failed, 75 file in use, 77 access denied,
  130 interrupted, 143 terminated. With several files the first failure
  decides.
)");
}

void parseArguments(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
                    int leastFiles)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // QCommandLineParser skips the first argument, the program's name.
    if (!parser.parse(QStringList{QStringLiteral("sbmp3")} + arguments))
        throw UsageError(command + QStringLiteral(": ") + parser.errorText());
    if (parser.positionalArguments().size() < leastFiles)
        throw UsageError(command + QStringLiteral(": a file is missing"));
}

std::vector<BandSetting> parseEqualizerBands(const QString &text)
{
    std::vector<BandSetting> bands;
    std::set<int> frequencies;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QStringList parts = item.trimmed().split(QLatin1Char(':'));
        bool frequencyOk = false;
        bool gainOk = false;
        const int frequency = parts.size() == 2 ? parts[0].toInt(&frequencyOk) : 0;
        const double gain = parts.size() == 2 ? parts[1].toDouble(&gainOk) : 0.0;
        if (!frequencyOk || !gainOk)
            throw UsageError(QStringLiteral("--eq: \"%1\" is no FREQUENCY:GAIN pair such as 100:+3").arg(item));
        if (frequency < 1 || frequency > 22000)
            throw UsageError(QStringLiteral("--eq: %1 Hz lies outside 1 to 22000 Hz").arg(frequency));
        if (!std::isfinite(gain) || std::fabs(gain) > kLargestBandGain)
            throw UsageError(QStringLiteral("--eq: %1 dB lies outside -24 to +24 dB").arg(parts[1]));
        if (!frequencies.insert(frequency).second)
            throw UsageError(QStringLiteral("--eq: %1 Hz is given twice").arg(frequency));
        bands.push_back({static_cast<std::int16_t>(frequency), static_cast<float>(gain)});
    }
    if (bands.size() > kMostBands)
        throw UsageError(QStringLiteral("--eq: at most %1 bands").arg(kMostBands));
    return bands;
}

int parseGenre(const QString &text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber)
        return number;
    for (int genre = 0; genre < SonbrelMP3::kGenreCount; ++genre) {
        if (SonbrelMP3::GenreName(genre).compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return genre;
    }
    throw UsageError(QStringLiteral("--genre: \"%1\" is no genre number or name").arg(text));
}

int parseWholeNumber(const QString &option, const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("--%1: \"%2\" is no whole number").arg(option, text));
    return number;
}

double parseFadeSeconds(const QString &text)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !(seconds >= 0.0 && seconds <= kLongestFade))
        throw UsageError(QStringLiteral("--fade-in: \"%1\" is no number of seconds from 0 to 60").arg(text));
    return seconds;
}

int parseSortType(const QString &text)
{
    using namespace SonbrelMP3;
    if (text == QLatin1String("file"))
        return sbrMP3SortByFile;
    if (text == QLatin1String("title"))
        return sbrMP3SortByID3Title;
    if (text == QLatin1String("artist"))
        return sbrMP3SortByID3Tag;
    if (text == QLatin1String("time"))
        return sbrMP3SortByTime;
    throw UsageError(QStringLiteral("--sort: \"%1\" is none of file, title, artist, time").arg(text));
}

}  // namespace sbmp3
