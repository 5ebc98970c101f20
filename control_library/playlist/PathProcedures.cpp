#include "PathProcedures.h"

#include "SharedText.h"

#include <QFileInfo>

#include <algorithm>

namespace SonbrelMP3 {

using platform::trimSpaces;

namespace {

constexpr QChar kSlash = QLatin1Char('/');
constexpr QChar kBackslash = QLatin1Char('\\');

bool isSeparator(QChar c)
{
    return c == kSlash || c == kBackslash;
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

// "X:\" with X a letter from A to Z in either case.
bool isDriveRoot(const QString &path)
{
    return path.size() == 3 && isAsciiLetter(path.at(0)) && path.at(1) == QLatin1Char(':')
        && path.at(2) == kBackslash;
}

// Whether the drive of a drive root exists. Paths of this system have no
// drive letters, so no drive root names an existing folder; the test touches
// no file.
bool driveExists(const QString &root)
{
#ifdef Q_OS_WIN
    return QFileInfo(root).isDir();
#else
    Q_UNUSED(root);
    return false;
#endif
}

}  // namespace

bool isWindowsStylePath(const QString &path)
{
    if (path.size() >= 2 && isAsciiLetter(path.at(0)) && path.at(1) == QLatin1Char(':'))
        return true;
    return path.contains(kBackslash);
}

bool isRootedPath(const QString &path)
{
    return !path.isEmpty() && isSeparator(path.at(0));
}

bool FolderExists(const QString &Path)
{
    if (trimSpaces(Path).isEmpty())
        return false;
    if (isDriveRoot(Path))
        return driveExists(Path);
    // Something exists at the path, and it is a folder (hidden ones too).
    const QFileInfo info(Path);
    return info.exists() && info.isDir();
}

bool FileExists(const QString &Path)
{
    if (Path.isEmpty())
        return false;
    // isFile() holds for regular files only (and links to them), so devices,
    // pipes and sockets, which are no ordinary files, are not found.
    const QFileInfo info(Path);
    return info.isFile() && !info.isHidden() && !FolderExists(Path);
}

QString GetFolderPath(const QString &Path)
{
    if (Path.isEmpty())
        return {};
    const bool endsWithSeparator = isSeparator(Path.back());
    if (endsWithSeparator && Path.size() <= 3)
        return Path;

    const QString work = endsWithSeparator ? Path.chopped(1) : Path;
    const int separator = LastPositionOfAny(work, {QStringLiteral("/"), QStringLiteral("\\")});
    if (separator == 0)
        return {};
    QString folder = work.left(separator - 1);

    if (isWindowsStylePath(Path)) {
        if ((folder.isEmpty() || !isSeparator(folder.back())) && folder.size() < 4)
            folder += kBackslash;
    } else if (folder.isEmpty()) {
        folder = kSlash;
    }
    return folder;
}

int LastPositionOfAny(const QString &Text, const QStringList &Separators)
{
    int last = 0;
    for (const QString &separator : Separators)
        last = std::max(last, LastPosition(Text, separator));
    return last;
}

int LastPosition(const QString &Text, const QString &Sought, std::optional<int> Start)
{
    const qsizetype limit = std::min<qsizetype>(Start.value_or(static_cast<int>(Text.size())),
                                                Text.size());
    if (Sought.isEmpty() || limit < Sought.size())
        return 0;
    // The last occurrence that ends within the first `limit` characters is
    // the last one that begins at or before limit - length; since forward
    // searches may overlap, this is the same hit they would end with.
    const qsizetype index = Text.lastIndexOf(Sought, limit - Sought.size(), Qt::CaseSensitive);
    return index < 0 ? 0 : static_cast<int>(index + 1);
}

}  // namespace SonbrelMP3
