#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace sbmp3 {

// One path line of a playlist file and where it stands (from 1).
struct PathLine {
    int number;
    QString text;
};

// The path lines of an extended M3U file's bytes, read as the library reads
// them: lines end with CR LF, CR or LF; each line is UTF-8, else
// Windows-1252; the header, blank lines and "#EXTINF:" lines are skipped,
// and the line after an "#EXTINF:" line is a path whatever it holds.
std::vector<PathLine> playListPathLines(const QByteArray &bytes);

// The file a path line names, as the library looks for it: a rooted
// Windows line ("\x") on drive c:, a network path ("\\x") and a POSIX path
// from the root as they are; any other line in the playlist's folder, then
// in the current folder, and, when it holds backslashes (a line written on
// Windows), the same again with "/" in their place. Empty when none of the
// places holds a file.
QString resolvePathLine(const QString &line, const QString &playListFolder, const QString &currentFolder);

}  // namespace sbmp3
