// sbmp3 playlist LIST.m3u [--check] [--sort KEY] [--descending] [--shuffle]
//                         [--output FILE | --write] [--drop-missing]

#include "CommandLine.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "PlayListLines.h"
#include "ProgressLine.h"

#include <TarnelMP3.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace sbmp3 {

namespace {

using SonbrelMP3::PlayListEntry;
using SonbrelMP3::RaisedError;
using SonbrelMP3::SBMP3PlayList;

// The path lines of the playlist file; empty when it cannot be read.
std::vector<PathLine> pathLinesOf(const QString &listFile)
{
    QFile file(listFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return playListPathLines(file.readAll());
}

// Names each path line whose file is missing or refused; the exit code.
int checkLines(const QString &listFile, const QString &shownName)
{
    const QString folder = QFileInfo(listFile).absolutePath();
    const std::vector<PathLine> lines = pathLinesOf(listFile);
    SBMP3PlayList scratch;
    int problems = 0;
    for (const PathLine &line : lines) {
        const QString file = resolvePathLine(line.text, folder, QDir::currentPath());
        QString reason;
        if (file.isEmpty()) {
            reason = QStringLiteral("no such file here or in the current folder");
        } else {
            try {
                scratch.AddEntry(file);
                continue;
            } catch (const RaisedError &error) {
                reason = QStringLiteral("%1 (error %2)").arg(error.description()).arg(error.number());
            }
        }
        ++problems;
        std::printf("%s:%d: %s: %s\n", qUtf8Printable(shownName), line.number, qUtf8Printable(line.text),
                    qUtf8Printable(reason));
    }
    if (problems == 0)
        return kSuccess;
    printError(shownName, QStringLiteral("%1 of %2 entries cannot be played").arg(problems).arg(lines.size()));
    return kDataError;
}

void printList(SBMP3PlayList &list)
{
    for (int position = 1; position <= list.Count(); ++position) {
        auto &entry = *qobject_cast<PlayListEntry *>(list.PlayListEntries(position));
        std::printf("%d\t%s\t%s\t%s\n", position, qUtf8Printable(minutesAndSeconds(entry.TrackLength())),
                    qUtf8Printable(trackName(entry)), qUtf8Printable(entry.Filename()));
    }
    std::printf("# %d entries, %s in all\n", list.Count(),
                qUtf8Printable(minutesAndSeconds(list.TotalPlayListTime())));
}

}  // namespace

int runPlayList(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption check(QStringLiteral("check"));
    const QCommandLineOption sort(QStringLiteral("sort"), QString(), QStringLiteral("key"));
    const QCommandLineOption descending(QStringLiteral("descending"));
    const QCommandLineOption shuffle(QStringLiteral("shuffle"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("file"));
    const QCommandLineOption write(QStringLiteral("write"));
    const QCommandLineOption dropMissing(QStringLiteral("drop-missing"));
    parser.addOptions({check, sort, descending, shuffle, output, write, dropMissing});
    parseArguments(parser, QStringLiteral("playlist"), arguments, 1);
    if (parser.positionalArguments().size() > 1)
        throw UsageError(QStringLiteral("playlist: one playlist at a time"));
    if (parser.isSet(sort) && parser.isSet(shuffle))
        throw UsageError(QStringLiteral("playlist: --sort or --shuffle, not both"));
    if (parser.isSet(descending) && !parser.isSet(sort))
        throw UsageError(QStringLiteral("playlist: --descending goes with --sort"));
    if (parser.isSet(output) && parser.isSet(write))
        throw UsageError(QStringLiteral("playlist: --output or --write, not both"));
    if (parser.isSet(check) && parser.optionNames().size() > 1)
        throw UsageError(QStringLiteral("playlist: --check goes alone"));
    const int sortType = parser.isSet(sort) ? parseSortType(parser.value(sort)) : -1;

    const QString shownName = parser.positionalArguments().front();
    // From an absolute name the entries get absolute paths, which hold
    // wherever the list is written.
    const QString listFile = QFileInfo(shownName).absoluteFilePath();
    SBMP3PlayList list;
    try {
        list.LoadPlayList(listFile);
    } catch (const RaisedError &error) {
        return reportError(shownName, error);
    }
    if (parser.isSet(check))
        return checkLines(listFile, shownName);

    if (sortType >= 0)
        list.Sort(sortType, parser.isSet(descending) ? SonbrelMP3::sbrMP3SortDescending
                                                     : SonbrelMP3::sbrMP3SortAscending);
    if (parser.isSet(shuffle))
        list.Sort(SonbrelMP3::sbrMP3SortByFile, SonbrelMP3::sbrMP3SortRandom);

    const auto lost = static_cast<int>(pathLinesOf(listFile).size()) - list.Count();
    if (!parser.isSet(output) && !parser.isSet(write)) {
        printList(list);
        if (lost > 0)
            printError(shownName, QStringLiteral("%1 entries cannot be played (see --check)").arg(lost));
        return kSuccess;
    }
    if (lost > 0 && !parser.isSet(dropMissing)) {
        printError(shownName, QStringLiteral("%1 entries cannot be played (see --check); nothing was written, "
                                             "--drop-missing writes the list without them")
                                  .arg(lost));
        return kDataError;
    }
    const QString target = parser.isSet(write) ? listFile : QFileInfo(parser.value(output)).absoluteFilePath();
    try {
        // Written beside the target and then renamed: a failed write leaves
        // the old file as it was.
        list.SavePlayList(target);
    } catch (const RaisedError &error) {
        return reportError(parser.isSet(write) ? shownName : parser.value(output), error);
    }
    return kSuccess;
}

}  // namespace sbmp3
