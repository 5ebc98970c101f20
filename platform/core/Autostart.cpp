#include "Autostart.h"

#include "PlatformLog.h"
#include "SharedText.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace platform::autostart {

namespace {

// The key that keeps the Run value's text in the entry.
constexpr char16_t kValueKey[] = u"X-TarnelPlatform-Command";
constexpr qint64 kMaxEntrySize = 1 << 20;

// GLib will not start an entry whose program it cannot find, and it looks
// for the program before it turns "%%" into "%": a program whose path holds
// "%" is refused. Such a program is started by the shell instead, which
// gets it (with "%%" already undone) as an argument.
const QStringList kShellWrapper = {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                   QStringLiteral("exec \"$0\" \"$@\"")};

bool startsWithShellWrapper(const QStringList &arguments)
{
    return arguments.size() >= kShellWrapper.size() && arguments.mid(0, kShellWrapper.size()) == kShellWrapper;
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Splits arguments the way a Windows command line does: white space
// separates them, double quotes group them.
QStringList splitArguments(const QString &text)
{
    QStringList arguments;
    QString current;
    bool started = false, inQuotes = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (!inQuotes && isSpace(c)) {
            if (started)
                arguments << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments << current;
    return arguments;
}

bool isReservedInExec(QChar c)
{
    return QStringView(u" \t\n\"'\\><~|&;$*?#`()").contains(c);
}

// One argument of an Exec line.
QString execArgument(const QString &argument)
{
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    bool needsQuotes = text.isEmpty();
    for (const QChar c : text)
        needsQuotes = needsQuotes || isReservedInExec(c);
    if (!needsQuotes)
        return text;
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}

// A desktop-entry string value: "\" as "\\", line breaks and tabs as \n,
// \r, \t, and a space at either end as "\s", since readers trim the value.
QString entryString(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    if (out.endsWith(u' '))
        out.replace(out.size() - 1, 1, QStringLiteral("\\s"));
    if (out.startsWith(u' '))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

QString unescapeEntryString(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'\\' || i + 1 >= text.size()) {
            out += text.at(i);
            continue;
        }
        const QChar c = text.at(++i);
        if (c == u's')
            out += u' ';
        else if (c == u'n')
            out += u'\n';
        else if (c == u't')
            out += u'\t';
        else if (c == u'r')
            out += u'\r';
        else if (c == u'\\')
            out += u'\\';
        else
            out += u'\\' + QString(c);
    }
    return out;
}

// A value name usable as the name of an entry file.
std::optional<QString> entryName(const QByteArray &valueName)
{
    if (valueName.isEmpty() || valueName.size() > 200 || !isValidUtf8(valueName) || hasControlCharacter(valueName)
        || valueName.contains('/') || valueName == "." || valueName == "..")
        return std::nullopt;
    return QString::fromUtf8(valueName);
}

// The entry file of a value: "<name>.desktop", or one whose name differs only
// in case, since value names do not depend on case. Empty when there is none.
QString findEntry(const QString &folder, const QByteArray &valueName)
{
    const auto name = entryName(valueName);
    if (!name || folder.isEmpty())
        return {};
    const QString exact = folder + u'/' + *name + QStringLiteral(".desktop");
    if (QFileInfo(exact).isFile())
        return exact;
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &file : files) {
        if (file.chopped(8).compare(*name, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return {};
}

}  // namespace

QStringList runValueArguments(const QString &value)
{
    if (!value.startsWith(u'"'))
        return {value};
    const qsizetype end = value.indexOf(u'"', 1);
    if (end < 0)
        return {value.mid(1)};
    return QStringList{value.mid(1, end - 1)} + splitArguments(value.mid(end + 1));
}

QString runValue(const QStringList &arguments)
{
    QStringList parts;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const bool hasSpace = std::any_of(argument.begin(), argument.end(), isSpace);
        // An unquoted program runs to the end of the value, spaces and all.
        const bool quote = i == 0 ? arguments.size() > 1 : argument.isEmpty() || hasSpace;
        parts << (quote ? u'"' + argument + u'"' : argument);
    }
    return parts.join(u' ');
}

QString execLine(const QStringList &arguments)
{
    // Arguments that begin like the wrapper are wrapped too, so that the
    // reader can always take one wrapper off.
    const bool wrap = (!arguments.isEmpty() && arguments.front().contains(u'%')) || startsWithShellWrapper(arguments);
    QStringList parts;
    for (const QString &argument : (wrap ? kShellWrapper + arguments : arguments))
        parts << execArgument(argument);
    return parts.join(u' ');
}

QStringList execArguments(const QString &exec)
{
    QStringList arguments;
    qsizetype i = 0;
    while (i < exec.size()) {
        while (i < exec.size() && isSpace(exec.at(i)))
            ++i;
        if (i >= exec.size())
            break;
        QString raw;
        bool quotedArgument = false;
        if (exec.at(i) == u'"') {
            quotedArgument = true;
            for (++i; i < exec.size() && exec.at(i) != u'"'; ++i) {
                if (exec.at(i) == u'\\' && i + 1 < exec.size())
                    ++i;
                raw += exec.at(i);
            }
            ++i;
        } else {
            for (; i < exec.size() && !isSpace(exec.at(i)); ++i)
                raw += exec.at(i);
        }
        QString argument;
        bool hadFieldCode = false;
        for (qsizetype k = 0; k < raw.size(); ++k) {
            if (raw.at(k) == u'%' && k + 1 < raw.size()) {
                ++k;
                if (raw.at(k) == u'%')
                    argument += u'%';
                else
                    hadFieldCode = true;
            } else {
                argument += raw.at(k);
            }
        }
        if (!argument.isEmpty() || quotedArgument || !hadFieldCode)
            arguments << argument;
    }
    if (arguments.size() > kShellWrapper.size() && startsWithShellWrapper(arguments))
        arguments.remove(0, kShellWrapper.size());
    return arguments;
}

QByteArray entryText(const QString &name, const QStringList &arguments, const QString &value,
                     const QString &icon)
{
    const QString iconLine = icon.isEmpty() ? QString() : QStringLiteral("Icon=%1\n").arg(entryString(icon));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "%5"
                          "Exec=%2\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "%3=%4\n")
        .arg(entryString(name), entryString(execLine(arguments)), QString::fromUtf16(kValueKey),
             entryString(value), iconLine)
        .toUtf8();
}

Result write(const QString &folder, const QByteArray &valueName, const QByteArray &value, const QString &icon)
{
    const auto name = entryName(valueName);
    if (!name || value.isEmpty() || hasControlCharacter(value) || !isValidUtf8(value)
        || hasControlCharacter(icon.toUtf8()))
        return Result::InvalidValue;
    if (folder.isEmpty() || !makeFolders(folder, kFolderMode))
        return Result::CannotWrite;
    QString path = findEntry(folder, valueName);
    if (path.isEmpty())
        path = folder + u'/' + *name + QStringLiteral(".desktop");
    const QString text = QString::fromUtf8(value);
    FileError error;
    if (!replaceFile(path, entryText(*name, runValueArguments(text), text, icon), ReplaceOptions{kEntryMode}, &error)) {
        qCWarning(platformLog).noquote() << "the autostart entry" << path << "cannot be written:" << error.description;
        return Result::CannotWrite;
    }
    return Result::Done;
}

std::optional<QByteArray> read(const QString &folder, const QByteArray &valueName)
{
    const QString path = findEntry(folder, valueName);
    const std::optional<QByteArray> bytes = path.isEmpty() ? std::nullopt : readFileBytes(path, kMaxEntrySize);
    if (!bytes)
        return std::nullopt;
    const QString text = QString::fromUtf8(*bytes);
    bool inMainGroup = false;
    std::optional<QString> exec, value;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString text = unescapeEntryString(line.mid(equals + 1).trimmed());
        if (key == u"Exec")
            exec = text;
        else if (key == kValueKey)
            value = text;
    }
    if (!exec)
        return std::nullopt;
    if (value && execLine(runValueArguments(*value)) == *exec)
        return value->toUtf8();
    return runValue(execArguments(*exec)).toUtf8();
}

Result remove(const QString &folder, const QByteArray &valueName)
{
    const QString path = findEntry(folder, valueName);
    if (path.isEmpty())
        return Result::NotFound;
    if (!QFile::remove(path)) {
        qCWarning(platformLog) << "the autostart entry" << path << "cannot be removed";
        return Result::CannotRemove;
    }
    return Result::Done;
}

}  // namespace platform::autostart
