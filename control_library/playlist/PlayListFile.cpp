#include "PlayListFile.h"

#include "LibraryLog.h"
#include "LookupTables.h"
#include "playlist/PathProcedures.h"
#include "RaisedError.h"
#include "TextFile.h"
#include "SharedText.h"
#include "playlist/EntryCollection.h"
#include "playlist/PlayListEntry.h"

#include <QDir>
#include <QFileInfo>

namespace SonbrelMP3 {

using platform::trimSpaces;

namespace {

[[noreturn]] void raiseFileError(std::int32_t number, const char *description)
{
    throw RaisedError(number, QString::fromLatin1(kPlayListFileErrorSource),
                      QString::fromLatin1(description));
}

// Raised when no file name is set; loading and saving share it.
void checkNameGiven(const QString &playListFile)
{
    if (trimSpaces(playListFile).isEmpty())
        raiseFileError(kPlayListNameError,
                       "A valid PlayList file name must be selected in order to load or save it.");
}

// The number that stands for a file that could not be read or written.
// `missing` for a file or folder that is not there.
std::int32_t numberOf(const platform::FileError &error, std::int32_t missing)
{
    using Kind = platform::FileError::Kind;
    switch (error.kind) {
    case Kind::NotFound: return missing;
    case Kind::TooLarge: return kPlayListTooLargeError;
    case Kind::DeviceFull:
    case Kind::DeviceError: return kPlayListDeviceError;
    case Kind::AccessDenied:
    case Kind::NotRegularFile:
    case Kind::Other: break;
    }
    return kPlayListAccessError;
}

// Opening, reading or writing the file failed: the number and its
// description, no source; the details go to the log.
[[noreturn]] void raiseFileFailure(const platform::FileError &error, std::int32_t missing)
{
    const std::int32_t number = numberOf(error, missing);
    qCWarning(libraryLog).noquote() << "playlist:" << error.description;
    throw RaisedError(number, QString(), ErrorText(number));
}

bool endsWithSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'));
}

// A folder with the separator of its style after it.
QString withSeparator(const QString &folder, bool windowsStyle)
{
    if (endsWithSeparator(folder))
        return folder;
    return folder + (windowsStyle ? QLatin1Char('\\') : QDir::separator());
}

bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// A tag text as one line: a line break would split the information line and
// make its second half read as a path.
QString asOneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// A tag text of an entry; a tag that cannot be read counts as empty.
QString tagText(PlayListEntry &entry, QString (PlayListEntry::*read)())
{
    QString text;
    runStep([&] { text = (entry.*read)(); });
    return text;
}

}  // namespace

QStringList playListPathLines(const QStringList &lines)
{
    if (lines.isEmpty() || lines.front() != QLatin1String(kPlayListHeader))
        throw RaisedError(kPlayListNameError, QString(),
                          QStringLiteral("A valid playlist file name must be selected in order "
                                         "to load or save it."));
    QStringList paths;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        qsizetype at = i;
        if (lines.at(i).startsWith(QLatin1String(kPlayListInfoPrefix))) {
            // The information itself is not used: each entry reads its own
            // length and tag from its file.
            at = i + 1;
            if (at >= lines.size())
                break;
            i = at;
        }
        if (!lines.at(at).isEmpty())
            paths << lines.at(at);
    }
    return paths;
}

namespace {

// A relative path line in the playlist's own folder, or else in the current
// folder; empty when neither has it.
QString resolveRelativeLine(const QString &line, const QString &playListFile)
{
    // A playlist name without a folder lies in the current folder, which the
    // next test covers; its folder is not the root.
    const QString folder = GetFolderPath(playListFile);
    if (!folder.isEmpty()) {
        const QString candidate = withSeparator(folder, isWindowsStylePath(playListFile)) + line;
        if (FileExists(candidate))
            return candidate;
    }
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    const QString candidate = withSeparator(current, false) + line;
    if (FileExists(candidate))
        return candidate;
    return {};
}

}  // namespace

QString resolvePlayListPath(const QString &line, const QString &playListFile)
{
    const QString backslash = QStringLiteral("\\");
    const QString twoBackslashes = QStringLiteral("\\\\");
    // A rooted Windows path lies on drive C:, whatever drive the playlist
    // lies on; a network path is complete. Both go to the entry untested.
    if (line.startsWith(backslash) && !line.startsWith(twoBackslashes))
        return QStringLiteral("c:") + line;
    if (line.startsWith(twoBackslashes))
        return line;
    // A POSIX path from the root is complete as well.
    if (line.startsWith(QLatin1Char('/')))
        return line;

    const QString asWritten = resolveRelativeLine(line, playListFile);
    if (!asWritten.isEmpty() || !line.contains(QLatin1Char('\\')))
        return asWritten;
    // A line written on Windows ("sub\song.mp3", ".\song.mp3"): its
    // backslashes are separators here.
    QString converted = line;
    converted.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (converted.startsWith(QStringLiteral("./")))
        converted.remove(0, 2);
    if (converted.isEmpty() || converted.startsWith(QLatin1Char('/')))
        return {};
    return resolveRelativeLine(converted, playListFile);
}

void loadPlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const std::function<void()> &clear,
                      const std::function<void(const QString &path)> &addEntry)
{
    if (fileName)
        playListFile = *fileName;
    checkNameGiven(playListFile);
    // Any regular file will do, hidden ones too: a playlist saved under a
    // name that begins with "." must load again.
    if (!QFileInfo(playListFile).isFile())
        raiseFileError(kPlayListMissingError, "Can 't Find Specified File. (File Not Found)");

    platform::FileError error;
    const std::optional<platform::TextLines> text = platform::readTextFile(playListFile, kMaxPlayListSize, &error);
    if (!text)
        raiseFileFailure(error, kPlayListMissingError);
    // Refuses a wrong header before the list is touched.
    const QStringList paths = playListPathLines(text->lines);

    clear();
    for (const QString &line : paths) {
        const QString path = resolvePlayListPath(line, playListFile);
        if (path.isEmpty())
            continue;
        // An entry that refuses its file is left out; the others still load.
        runStep([&] { addEntry(path); });
    }
}

QStringList playListLines(const std::vector<std::shared_ptr<PlayListEntry>> &entries)
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(entries.size() * 2 + 1));
    lines << QString::fromLatin1(kPlayListHeader);
    // The count has no 16-bit limit: lists of any length are written whole.
    for (const std::shared_ptr<PlayListEntry> &entry : entries) {
        if (!entry)
            continue;
        const QString path = entry->Filename();
        if (holdsLineBreak(path))
            throw RaisedError(kPlayListBadNameError, QString::fromLatin1(kPlayListFileErrorSource),
                              ErrorText(kPlayListBadNameError));
        const QString artist = tagText(*entry, &PlayListEntry::ID3Artist);
        const QString title = tagText(*entry, &PlayListEntry::ID3Title);
        if (!artist.isEmpty() && !title.isEmpty())
            lines << QString::fromLatin1(kPlayListInfoPrefix) + QString::number(entry->TrackLength())
                         + QLatin1Char(',') + asOneLine(artist) + QStringLiteral(" - ")
                         + asOneLine(title);
        lines << path;
    }
    return lines;
}

void savePlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const std::vector<std::shared_ptr<PlayListEntry>> &entries)
{
    if (fileName)
        playListFile = *fileName;
    checkNameGiven(playListFile);
    if (!FolderExists(GetFolderPath(playListFile)))
        raiseFileError(kPlayListNoFolderError, "Path not found.");

    // All lines are made before the file is touched, so an entry that cannot
    // be written leaves the old file as it was.
    const QStringList lines = playListLines(entries);
    platform::FileError error;
    if (!platform::writeTextFile(playListFile, lines, QStringLiteral("\r\n"), nullptr, &error))
        raiseFileFailure(error, kPlayListNoFolderError);
}

void savePlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const EntryCollection &entries)
{
    savePlayListFile(playListFile, fileName, entries.entries());
}

}  // namespace SonbrelMP3
