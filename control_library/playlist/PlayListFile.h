#pragma once

#include "ErrorNumbers.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace SonbrelMP3 {

class EntryCollection;
class PlayListEntry;

// Playlist files in the extended M3U format: the header line "#EXTM3U", then
// for each entry an optional information line
// "#EXTINF:<seconds>,<artist> - <title>" and the path line. Files are UTF-8;
// every line, the last included, ends with CR LF. Reading accepts CR LF, a
// lone CR and a lone LF, and a leading byte-order mark.
//
// The playlist control's LoadPlayList and SavePlayList are thin calls of
// loadPlayListFile and savePlayListFile.

inline constexpr char kPlayListHeader[] = "#EXTM3U";
inline constexpr char kPlayListInfoPrefix[] = "#EXTINF:";
// The source of the errors that loading and saving raise with a source.
inline constexpr char kPlayListFileErrorSource[] = "SBMP3PlayList.LoadPlayList";

// The numbers of those errors.
inline constexpr std::int32_t kPlayListNameError = kNoPlayListFileError;   // no name, or no header
inline constexpr std::int32_t kPlayListBadNameError = kBadFileNameError;   // a name a line cannot hold
inline constexpr std::int32_t kPlayListMissingError = kFileNotFoundError;  // no such file
inline constexpr std::int32_t kPlayListDeviceError = kDeviceIOError;       // the disk is full or failed
inline constexpr std::int32_t kPlayListAccessError = kPathFileAccessError; // may not be read or written, or no file
inline constexpr std::int32_t kPlayListNoFolderError = kPathNotFoundError; // the file's folder is missing
inline constexpr std::int32_t kPlayListTooLargeError = kOutOfMemoryError;  // more than kMaxPlayListSize

// The largest playlist file that is read: about a million entries. A larger
// file would take more memory than any list should (error 30104,
// "Insufficient memory available.").
inline constexpr qint64 kMaxPlayListSize = 64 * 1024 * 1024;

// The path lines of a playlist's text lines, in file order. An information
// line is skipped together with the line after it, which is taken as a path
// whatever it holds; an information line at the very end adds nothing. Blank
// lines are skipped. Every other line, including other lines that begin with
// "#", is a path line.
// Raises 30077, without a source, when the first line is not exactly
// "#EXTM3U" (an empty text has no first line).
QStringList playListPathLines(const QStringList &lines);

// The file name that a path line of the playlist `playListFile` stands for,
// empty when it stands for none:
// - "\x" (but not "\\x") becomes "c:\x", "\\x" stays as it is, and so does a
//   POSIX path beginning with "/"; none of these is tested for existence;
// - otherwise the first of these that names an existing file: the line in
//   the playlist's folder, the line in the current folder; and when the line
//   holds backslashes (a line written on Windows), the same with "/" in
//   their place and any leading "./" dropped.
QString resolvePlayListPath(const QString &line, const QString &playListFile);

// Replaces a playlist's entries with those of a playlist file, in this order:
// 1. stores `fileName`, when given, in `playListFile`, before anything is
//    tested, so a call that then fails still keeps the new name;
// 2. raises 30077 when `playListFile` is empty or spaces only, 53 when no
//    such file exists; without a source, 75 when it may not be read or is
//    no regular file (a FIFO is never waited on), 57 when the device fails,
//    30104 when it is larger than kMaxPlayListSize, and 30077 (the
//    lower-case spelling) when its first line is not "#EXTM3U". Each line
//    is read in its own encoding (UTF-8, else Windows-1252);
// 3. calls `clear`, then `addEntry` with each resolved path in file order.
// Nothing happens to the list before the header has been accepted. What
// `addEntry` raises is ignored and reading goes on with the next line.
void loadPlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const std::function<void()> &clear,
                      const std::function<void(const QString &path)> &addEntry);

// The text lines of a playlist of these entries: the header, then for each
// entry the information line (only when its artist and title are both
// non-empty) and its file name. Raises 52 for a file name that holds a line
// break, which no path line can carry. Null entries are skipped.
QStringList playListLines(const std::vector<std::shared_ptr<PlayListEntry>> &entries);

// Writes the entries to a playlist file, in this order:
// 1. stores `fileName`, when given, in `playListFile`;
// 2. raises 30077 when `playListFile` is empty or spaces only, 76 when the
//    folder of the file does not exist or the name names no folder;
// 3. writes the whole file through platform::replaceFile, so a failed save
//    leaves the old file byte for byte; raises, without a source, 57 when
//    the disk is full or fails and 75 when the file may not be written.
void savePlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const std::vector<std::shared_ptr<PlayListEntry>> &entries);
void savePlayListFile(QString &playListFile, const std::optional<QString> &fileName,
                      const EntryCollection &entries);

}  // namespace SonbrelMP3
