#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include <sys/types.h>

// Reading and writing the files the program keeps: only regular files are
// read, never more than a limit, and every file is replaced through one
// helper that either puts the whole new content in place or leaves the old
// file as it was and says why.
namespace platform {

// Why a file could not be read or written.
struct FileError {
    enum class Kind {
        NotFound,        // no such file, or no such folder on the way
        AccessDenied,    // no right to read or write it, or a read-only file system
        NotRegularFile,  // a folder, device, FIFO or socket
        TooLarge,        // more than the reader's limit
        DeviceFull,      // no space left, quota reached, or the file size limit
        DeviceError,     // an input/output error of the device
        Other,
    };
    Kind kind = Kind::Other;
    int systemError = 0;  // the errno value behind it, 0 when there is none
    QString description;  // for people: what failed and why
};

// The bytes of the regular file at `path` (symbolic links followed), read
// in one pass without waiting on anything: a FIFO, socket, device or folder
// is refused at once, and so is a file of more than `limit` bytes (also one
// that grows past it while being read). Nothing on failure; `error` then
// says why.
std::optional<QByteArray> readFileBytes(const QString &path, qint64 limit, FileError *error = nullptr);

// How replaceFile sets the new file's permission bits.
struct ReplaceOptions {
    // Exactly these bits, whatever the umask (for files that decide what
    // code runs, or that hold what others must not read). Without them the
    // new file keeps the bits of the file it replaces, and a new file gets
    // 0666 less the umask, as any file the user creates.
    std::optional<mode_t> mode;
};

// Replaces the file at `path` with `contents`, the one way every file the
// project writes is replaced. The contents go to a new file in the same
// folder; every write is checked, the file is flushed to the device
// (fsync), and only then renamed over `path`, whose folder is then flushed
// too. On any failure before the rename the new file is removed, the old
// file stays byte for byte, and false is returned with `error` set. A
// symbolic link at `path` is kept: the file it leads to is replaced.
bool replaceFile(const QString &path, const QByteArray &contents, const ReplaceOptions &options,
                 FileError *error);
bool replaceFile(const QString &path, const QByteArray &contents, QString *error = nullptr);

// Makes the folder `path` and the missing folders above it with exactly
// `mode`, whatever the umask; folders that exist already stay as they are.
// False when the folder is not there afterwards.
bool makeFolders(const QString &path, mode_t mode);

// The lines of a text file as read, with what it takes to write the lines
// nobody changed back as they were.
//
// Each line is decoded on its own: a line that is valid UTF-8 is UTF-8; any
// other line is Windows-1252, the code page older files were written in
// (bytes 0x80 to 0x9F are the characters Windows gave them, such as the
// euro sign; the five it left undefined are the C1 controls of the same
// value, so every byte has a character and comes back the same). A leading
// UTF-8 byte-order mark is dropped.
class TextLines {
public:
    TextLines() = default;
    explicit TextLines(const QByteArray &bytes);

    QStringList lines;

    // The bytes that stand for `line` when it is written back: the bytes a
    // line of this text was read from when one of the file was not UTF-8
    // (also with the spaces at its ends taken off), otherwise UTF-8. Lines
    // of the same text are answered in file order, so each gets its own
    // bytes back.
    QByteArray encode(const QString &line);

private:
    // Only texts that some line that was not UTF-8 had, with or without the
    // spaces at its ends; and how many of each were written back.
    QHash<QString, QList<QByteArray>> originals_, trimmedOriginals_;
    QHash<QString, qsizetype> used_, trimmedUsed_;
};

// The text of a line read as Windows-1252.
QString fromWindows1252(QByteArrayView bytes);

// The default limit of readTextFile: far above what a text file of the
// program holds, low enough that a wrong file cannot take its memory.
inline constexpr qint64 kDefaultTextLimit = 8 * 1024 * 1024;

// The lines of a text file. Lines may end with CR LF, a lone CR or a lone
// LF; a last line without an ending is kept, an ending at the very end adds
// no empty line. Nothing when the file cannot be read (readFileBytes);
// `error` then says why.
std::optional<TextLines> readTextFile(const QString &path, qint64 limit = kDefaultTextLimit,
                                      FileError *error = nullptr);
std::optional<QStringList> readTextLines(const QString &path, QString *error = nullptr);

// Writes the lines, each followed by `lineEnd`, through replaceFile. A line
// is encoded by `original` when given (the file as it was read, so that
// unchanged lines keep their bytes), as UTF-8 otherwise.
bool writeTextFile(const QString &path, const QStringList &lines, const QString &lineEnd,
                   const TextLines *original, FileError *error);
bool writeTextLines(const QString &path, const QStringList &lines,
                    const QString &lineEnd = QStringLiteral("\r\n"), QString *error = nullptr);

}  // namespace platform
