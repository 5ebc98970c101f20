// Reading regular files within a limit, the one replace-write helper, and
// text lines decoded one by one.
#include "TextFile.h"

#include "PlatformLog.h"
#include "SharedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileError::Kind kindOf(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR: return FileError::Kind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS: return FileError::Kind::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileError::Kind::DeviceFull;
    case EIO: return FileError::Kind::DeviceError;
    default: return FileError::Kind::Other;
    }
}

bool setError(FileError *error, FileError::Kind kind, int code, const QString &description)
{
    if (error)
        *error = FileError{kind, code, description};
    return false;
}

// "cannot <what> <path>: <the system's reason>", with the errno value's kind.
bool setSystemError(FileError *error, const char *what, const QString &path, int code)
{
    return setError(error, kindOf(code), code,
                    QStringLiteral("cannot %1 %2: %3")
                        .arg(QLatin1String(what), QDir::toNativeSeparators(path), qt_error_string(code)));
}

QString megabytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

// Closes a descriptor when it goes out of scope (unless released).
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

// The file a path leads to, following symbolic links: replacing it keeps
// the links (a settings file kept elsewhere and linked stays linked).
QString finalTarget(const QString &path)
{
    QString target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        target = info.symLinkTarget();
    }
    return target;
}

bool writeAll(int fd, const QByteArray &contents, int *code)
{
    const char *data = contents.constData();
    qint64 left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(std::min<qint64>(left, 1 << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            *code = errno;
            return false;
        }
        if (written == 0) {
            *code = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// A new file beside `target` that no one else can have opened: created
// here, under a name no other file has.
int createBeside(const QString &target, mode_t mode, QString *made)
{
    const QFileInfo info(target);
    const QString prefix = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".new-");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = prefix + QString::number(QRandomGenerator::global()->generate64(), 36);
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) {
            *made = candidate;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Flushes a folder's entries (a rename in it) to the device. A folder that
// cannot be flushed is no failure: the file in it is complete either way.
void syncFolder(const QString &folder)
{
    Descriptor dir{::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0 || ::fsync(dir.fd) != 0)
        qCDebug(platformLog) << "the folder" << folder << "cannot be flushed:" << qt_error_string(errno);
}

const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The lines of `bytes`, split at CR LF, a lone CR and a lone LF.
std::vector<QByteArrayView> splitLines(QByteArrayView bytes)
{
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.push_back(bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back(bytes.sliced(start));
    return lines;
}

QByteArrayView trimmedSpaces(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && bytes.front() == ' ')
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    return bytes;
}

}  // namespace

std::optional<QByteArray> readFileBytes(const QString &path, qint64 limit, FileError *error)
{
    if (path.isEmpty()) {
        setError(error, FileError::Kind::NotFound, ENOENT, QStringLiteral("no file name given"));
        return std::nullopt;
    }
    // Non-blocking: opening a FIFO must not wait for a writer.
    Descriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        setSystemError(error, "read", path, errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        setSystemError(error, "read", path, errno);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        setError(error, FileError::Kind::NotRegularFile, 0,
                 QStringLiteral("cannot read %1: it is not a regular file").arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
    const auto tooLarge = [&] {
        setError(error, FileError::Kind::TooLarge, EFBIG,
                 QStringLiteral("cannot read %1: it is larger than %2")
                     .arg(QDir::toNativeSeparators(path), megabytes(limit)));
        return std::nullopt;
    };
    if (status.st_size > limit)
        return tooLarge();

    try {
        QByteArray bytes;
        bytes.resize(static_cast<qsizetype>(status.st_size) + 1);
        qint64 filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (filled > limit)
                    return tooLarge();
                bytes.resize(static_cast<qsizetype>(std::min<qint64>(limit + 1, filled * 2 + 4096)));
            }
            const ssize_t got = ::read(file.fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                setSystemError(error, "read", path, errno);
                return std::nullopt;
            }
            if (got == 0)
                break;
            filled += got;
        }
        if (filled > limit)
            return tooLarge();
        bytes.truncate(static_cast<qsizetype>(filled));
        return bytes;
    } catch (const std::bad_alloc &) {
        setError(error, FileError::Kind::TooLarge, ENOMEM,
                 QStringLiteral("cannot read %1: not enough memory").arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
}

bool replaceFile(const QString &path, const QByteArray &contents, const ReplaceOptions &options, FileError *error)
{
    if (path.isEmpty())
        return setError(error, FileError::Kind::NotFound, ENOENT, QStringLiteral("no file name given"));
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);

    std::optional<mode_t> mode = options.mode;
    struct stat old {};
    if (::stat(targetName.constData(), &old) == 0) {
        // Only a file is replaced: never a folder, and never a device or
        // FIFO that a link in the file's place leads to.
        if (!S_ISREG(old.st_mode))
            return setError(error, FileError::Kind::NotRegularFile, 0,
                            QStringLiteral("cannot write %1: it is not a regular file")
                                .arg(QDir::toNativeSeparators(path)));
        if (!mode)
            mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return setSystemError(error, "write", path, errno);
    }

    QString temporary;
    Descriptor file{createBeside(target, mode.value_or(0666) & 0777, &temporary)};
    if (file.fd < 0)
        return setSystemError(error, "write", path, errno);
    const auto fail = [&](int code) {
        ::close(file.release());
        ::unlink(QFile::encodeName(temporary).constData());
        return setSystemError(error, "write", path, code);
    };

    // The mode given to open() lost the bits the umask holds; fchmod sets
    // them exactly, on the descriptor, so no other thread's umask matters.
    if (mode && ::fchmod(file.fd, *mode) != 0)
        return fail(errno);
    int code = 0;
    if (!writeAll(file.fd, contents, &code))
        return fail(code);
    if (::fsync(file.fd) != 0 && errno != EINVAL)
        return fail(errno);
    if (::close(file.release()) != 0 && errno != EINTR) {
        code = errno;
        ::unlink(QFile::encodeName(temporary).constData());
        return setSystemError(error, "write", path, code);
    }
    if (::rename(QFile::encodeName(temporary).constData(), targetName.constData()) != 0) {
        code = errno;
        ::unlink(QFile::encodeName(temporary).constData());
        return setSystemError(error, "write", path, code);
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool replaceFile(const QString &path, const QByteArray &contents, QString *error)
{
    FileError failure;
    if (replaceFile(path, contents, ReplaceOptions{}, &failure))
        return true;
    if (error)
        *error = failure.description;
    return false;
}

bool makeFolders(const QString &path, mode_t mode)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent != absolute && !makeFolders(parent, mode))
        return false;
    const QByteArray name = QFile::encodeName(absolute);
    if (::mkdir(name.constData(), mode) == 0)
        ::chmod(name.constData(), mode);  // the umask took bits away
    return QFileInfo(absolute).isDir();
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 && byte < 0xA0 ? QChar(kWindows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

TextLines::TextLines(const QByteArray &bytes)
{
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);

    // Most files are UTF-8 throughout: one decoder pass does them.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString whole = utf8(rest);
    const std::vector<QByteArrayView> raw = splitLines(rest);
    lines.reserve(static_cast<qsizetype>(raw.size()));
    if (!utf8.hasError()) {
        for (const QByteArrayView line : raw)
            lines << QString::fromUtf8(line);
        return;
    }

    std::vector<bool> legacy(raw.size());
    QSet<QString> legacyTexts, legacyTrimmed;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        legacy[i] = !isValidUtf8(raw[i]);
        lines << (legacy[i] ? fromWindows1252(raw[i]) : QString::fromUtf8(raw[i]));
        if (legacy[i]) {
            legacyTexts.insert(lines.back());
            const QString trimmed = trimSpaces(lines.back());
            if (trimmed.size() != lines.back().size())
                legacyTrimmed.insert(trimmed);
        }
    }
    // Every line whose text a legacy line has (or has without its end
    // spaces), in file order, so that a UTF-8 line of the same text keeps
    // its own bytes; and the legacy lines without their end spaces, asked
    // for only when no line has that text.
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const QString &text = lines.at(static_cast<qsizetype>(i));
        if (legacyTexts.contains(text) || legacyTrimmed.contains(text))
            originals_[text].append(raw[i].toByteArray());
        if (legacy[i]) {
            const QString trimmed = trimSpaces(text);
            if (trimmed.size() != text.size())
                trimmedOriginals_[trimmed].append(trimmedSpaces(raw[i]).toByteArray());
        }
    }
}

QByteArray TextLines::encode(const QString &line)
{
    for (auto *map : {&originals_, &trimmedOriginals_}) {
        const auto it = map->constFind(line);
        if (it == map->cend())
            continue;
        const qsizetype index = (map == &originals_ ? used_ : trimmedUsed_)[line]++;
        if (index < it->size())
            return it->at(index);
    }
    return line.toUtf8();
}

std::optional<TextLines> readTextFile(const QString &path, qint64 limit, FileError *error)
{
    const std::optional<QByteArray> bytes = readFileBytes(path, limit, error);
    if (!bytes)
        return std::nullopt;
    try {
        return TextLines(*bytes);
    } catch (const std::bad_alloc &) {
        setError(error, FileError::Kind::TooLarge, ENOMEM,
                 QStringLiteral("cannot read %1: not enough memory").arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
}

std::optional<QStringList> readTextLines(const QString &path, QString *error)
{
    FileError failure;
    std::optional<TextLines> text = readTextFile(path, kDefaultTextLimit, &failure);
    if (!text) {
        if (error)
            *error = failure.description;
        return std::nullopt;
    }
    return std::move(text->lines);
}

bool writeTextFile(const QString &path, const QStringList &lines, const QString &lineEnd,
                   const TextLines *original, FileError *error)
{
    TextLines encodings = original ? *original : TextLines();
    const QByteArray ending = lineEnd.toUtf8();
    QByteArray contents;
    // A first line that begins with U+FEFF would lose it to the reader,
    // which takes it for a byte-order mark: a mark before it keeps it.
    if (!lines.isEmpty() && lines.front().startsWith(QChar(0xFEFF)))
        contents = "\xEF\xBB\xBF";
    for (const QString &line : lines)
        contents += encodings.encode(line) + ending;
    return replaceFile(path, contents, ReplaceOptions{}, error);
}

bool writeTextLines(const QString &path, const QStringList &lines, const QString &lineEnd, QString *error)
{
    FileError failure;
    if (writeTextFile(path, lines, lineEnd, nullptr, &failure))
        return true;
    if (error)
        *error = failure.description;
    return false;
}

}  // namespace platform
