// sbmp3 tag FILE [--title T] [--artist A] [--album A] [--year Y]
//                [--comment C] [--genre G] [--track N]

#include "CommandLine.h"
#include "Commands.h"
#include "ExitCodes.h"

#include <TarnelMP3.h>

#include <QCommandLineParser>

#include <functional>

namespace sbmp3 {

namespace {

using SonbrelMP3::PlayListEntry;

// One field of the tag: its option, how the entry writes it, and how it
// reads back when the tag holds the value as given (none: not compared).
struct TagField {
    const char *option;
    std::function<void(PlayListEntry &, const QString &)> write;
    std::function<QString(PlayListEntry &)> read;
};

template <typename Set, typename Get>
TagField textField(const char *option, Set set, Get get)
{
    return {option, [set](PlayListEntry &entry, const QString &value) { (entry.*set)(value); },
            [get](PlayListEntry &entry) { return (entry.*get)(); }};
}

// The text a field reads as when the tag holds `value` whole.
QString expectedText(const QString &option, const QString &value)
{
    if (option == QLatin1String("track"))
        return QString::number(parseWholeNumber(option, value));
    return value.trimmed();  // the library reads text without its outer spaces
}

const std::vector<TagField> &tagFields()
{
    // The comment comes before the track number: with a track number the
    // comment holds 28 characters, and sbmp3 says when it was cut.
    static const std::vector<TagField> fields = {
        textField("title", &PlayListEntry::setID3Title, &PlayListEntry::ID3Title),
        textField("artist", &PlayListEntry::setID3Artist, &PlayListEntry::ID3Artist),
        textField("album", &PlayListEntry::setID3Album, &PlayListEntry::ID3Album),
        textField("year", &PlayListEntry::setID3Year, &PlayListEntry::ID3Year),
        textField("comment", &PlayListEntry::setID3Comment, &PlayListEntry::ID3Comment),
        {"genre", [](PlayListEntry &entry, const QString &value) { entry.setID3Genre(parseGenre(value)); },
         nullptr},
        {"track",
         [](PlayListEntry &entry, const QString &value) { entry.setID3Track(parseWholeNumber("track", value)); },
         [](PlayListEntry &entry) { return QString::number(entry.ID3Track()); }},
    };
    return fields;
}

}  // namespace

int runTag(const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const TagField &field : tagFields())
        parser.addOption(QCommandLineOption(QString::fromLatin1(field.option), QString(), QStringLiteral("value")));
    parseArguments(parser, QStringLiteral("tag"), arguments, 1);
    if (parser.positionalArguments().size() > 1)
        throw UsageError(QStringLiteral("tag: one file at a time"));
    if (parser.optionNames().isEmpty())
        throw UsageError(QStringLiteral("tag: no field to write (--title, --artist, --album, --year, "
                                        "--comment, --genre, --track)"));
    const QString file = parser.positionalArguments().front();
    // Every value is checked before the file is touched.
    const QString genre = QStringLiteral("genre");
    const QString track = QStringLiteral("track");
    if (parser.isSet(genre))
        parseGenre(parser.value(genre));
    if (parser.isSet(track))
        parseWholeNumber(track, parser.value(track));

    SonbrelMP3::SBMP3PlayList list;
    try {
        list.AddEntry(file);
    } catch (const SonbrelMP3::RaisedError &error) {
        return reportError(file, error);
    }
    PlayListEntry &entry = *qobject_cast<PlayListEntry *>(list.PlayListEntries(1));
    for (const TagField &field : tagFields()) {
        const QString option = QString::fromLatin1(field.option);
        if (!parser.isSet(option))
            continue;
        const QString value = parser.value(option);
        try {
            // Each field is a write of its own, through the library's safe
            // path: the file is replaced whole or not at all.
            field.write(entry, value);
            if (field.read) {
                const QString stored = field.read(entry);
                if (stored != expectedText(option, value))
                    printError(file, QStringLiteral("the tag holds the %1 as \"%2\"").arg(option, stored));
            }
        } catch (const SonbrelMP3::RaisedError &error) {
            // The fields before this one are written; this one and the
            // ones after it are not.
            return reportError(file + QStringLiteral(": ") + option, error);
        }
    }
    return kSuccess;
}

}  // namespace sbmp3
