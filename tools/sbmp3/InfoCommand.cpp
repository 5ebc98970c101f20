// sbmp3 info [--json] FILE...

#include "CommandLine.h"
#include "Commands.h"
#include "ExitCodes.h"

#include <TarnelMP3.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace sbmp3 {

namespace {

using SonbrelMP3::PlayListEntry;

QJsonObject describe(PlayListEntry &entry)
{
    const int genre = entry.ID3Genre();
    return QJsonObject{
        {QStringLiteral("file"), entry.Filename()},
        {QStringLiteral("mpegVersion"), entry.MPEGVersion()},
        {QStringLiteral("layer"), entry.Layer().toInt()},
        {QStringLiteral("channelMode"), entry.ChannelMode()},
        {QStringLiteral("sampleRate"), entry.SampleRate()},
        {QStringLiteral("bitRate"), entry.DataRate()},
        {QStringLiteral("frames"), entry.Frames()},
        {QStringLiteral("seconds"), entry.TrackLength()},
        {QStringLiteral("fileSize"), entry.FileSize()},
        {QStringLiteral("crc"), entry.CRCExists()},
        {QStringLiteral("copyrighted"), entry.Copyrighted()},
        {QStringLiteral("original"), entry.Original()},
        {QStringLiteral("tag"),
         QJsonObject{
             {QStringLiteral("title"), entry.ID3Title()},
             {QStringLiteral("artist"), entry.ID3Artist()},
             {QStringLiteral("album"), entry.ID3Album()},
             {QStringLiteral("year"), entry.ID3Year()},
             {QStringLiteral("comment"), entry.ID3Comment()},
             {QStringLiteral("genre"), genre},
             {QStringLiteral("genreName"), SonbrelMP3::GenreName(genre)},
             {QStringLiteral("track"), entry.ID3Track()},
         }},
    };
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

void printText(const QJsonObject &info)
{
    const QJsonObject tag = info[QStringLiteral("tag")].toObject();
    auto line = [](const char *label, const QString &value) {
        std::printf("%-13s%s\n", label, value.toUtf8().constData());
    };
    line("File:", info[QStringLiteral("file")].toString());
    line("Stream:", QStringLiteral("MPEG %1 layer %2, %3")
                        .arg(info[QStringLiteral("mpegVersion")].toString())
                        .arg(info[QStringLiteral("layer")].toInt())
                        .arg(info[QStringLiteral("channelMode")].toString()));
    line("Sample rate:", QStringLiteral("%1 Hz").arg(info[QStringLiteral("sampleRate")].toInt()));
    line("Bit rate:", QStringLiteral("%1 bit/s").arg(info[QStringLiteral("bitRate")].toInt()));
    line("Frames:", QString::number(info[QStringLiteral("frames")].toInt()));
    line("Length:", QStringLiteral("%1 s").arg(info[QStringLiteral("seconds")].toInt()));
    line("Size:", QStringLiteral("%1 bytes").arg(info[QStringLiteral("fileSize")].toInt()));
    line("Flags:", QStringLiteral("CRC %1, copyrighted %2, original %3")
                       .arg(yesNo(info[QStringLiteral("crc")].toBool()),
                            yesNo(info[QStringLiteral("copyrighted")].toBool()),
                            yesNo(info[QStringLiteral("original")].toBool())));
    line("Title:", tag[QStringLiteral("title")].toString());
    line("Artist:", tag[QStringLiteral("artist")].toString());
    line("Album:", tag[QStringLiteral("album")].toString());
    line("Year:", tag[QStringLiteral("year")].toString());
    line("Comment:", tag[QStringLiteral("comment")].toString());
    line("Genre:", QStringLiteral("%1 %2").arg(tag[QStringLiteral("genre")].toInt())
                       .arg(tag[QStringLiteral("genreName")].toString()).trimmed());
    line("Track:", QString::number(tag[QStringLiteral("track")].toInt()));
}

}  // namespace

int runInfo(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOption(json);
    parseArguments(parser, QStringLiteral("info"), arguments, 1);

    Outcome outcome;
    QJsonArray all;
    // The playlist gives each file an entry, and the library's reason when
    // it refuses one.
    SonbrelMP3::SBMP3PlayList list;
    for (const QString &file : parser.positionalArguments()) {
        try {
            list.AddEntry(file);
            all.append(describe(*qobject_cast<PlayListEntry *>(list.PlayListEntries(list.Count()))));
        } catch (const SonbrelMP3::RaisedError &error) {
            outcome.fail(reportError(file, error));
            all.append(QJsonObject{
                {QStringLiteral("file"), file},
                {QStringLiteral("error"), QJsonObject{{QStringLiteral("number"), error.number()},
                                                      {QStringLiteral("description"), error.description()}}},
            });
            continue;
        }
        if (!parser.isSet(json)) {
            if (list.Count() > 1)
                std::printf("\n");
            printText(all.last().toObject());
        }
    }
    if (parser.isSet(json))
        std::printf("%s", QJsonDocument(all).toJson().constData());
    return outcome.exitCode();
}

}  // namespace sbmp3
