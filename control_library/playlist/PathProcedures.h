#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace SonbrelMP3 {

// The small path procedures that the playlist files use. Comparisons are
// exact: letter case counts.
//
// Two styles of path meet here. Paths of this system are POSIX paths with "/"
// as separator. Playlists may also carry Windows-style paths (a drive letter
// such as "C:", or backslashes); their rules are kept for them, and POSIX
// paths get the equivalent rule. Both "/" and "\" count as separators when a
// path is taken apart.

// Whether a path is written in the Windows style: it begins with a drive
// letter and a colon, or it contains a backslash.
bool isWindowsStylePath(const QString &path);

// Whether a path begins with a separator of either kind.
bool isRootedPath(const QString &path);

// True when the path names an existing folder. A Windows drive root ("C:\")
// names a drive; this system has no drive letters, so none exists. Hidden
// folders count. Empty text or text of spaces only is no folder.
bool FolderExists(const QString &Path);

// True when the path names an existing ordinary file that is not a folder.
// Hidden files (names that begin with ".") and files that are not regular
// (devices, pipes, sockets) are not found. Relative paths are taken from the
// process's current folder.
bool FileExists(const QString &Path);

// The folder of a path, empty when the path names none:
// - a path of at most 3 characters that ends with a separator is its own
//   folder ("C:\", "/", "ab/");
// - otherwise a trailing separator is dropped and the text before the last
//   separator is the folder;
// - Windows style: a folder shorter than 4 characters that does not end with
//   a separator gains "\" ("C:" gives "C:\", "\a.mp3" gives "\");
// - POSIX style: a path whose only separator is its first character gives the
//   root "/".
QString GetFolderPath(const QString &Path);

// The greatest 1-based position at which any of the separators occurs in the
// text, 0 when none does. Empty separators occur nowhere.
int LastPositionOfAny(const QString &Text, const QStringList &Separators);

// The 1-based position of the last occurrence of `Sought` that lies wholly
// within the first `Start` characters of the text (default: the whole text),
// 0 when there is none. Occurrences may overlap ("aa" lies last at 2 in
// "aaa"). An empty `Sought` and a start of 0 or less give 0.
int LastPosition(const QString &Text, const QString &Sought, std::optional<int> Start = std::nullopt);

}  // namespace SonbrelMP3
