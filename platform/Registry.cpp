#include "Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>

namespace platform {

namespace {

// ---------------------------------------------------------------------------
// Names

constexpr int kRootCount = 3;
constexpr int kCurrentUser = 1;
constexpr int kLocalMachine = 2;
const char *const kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                            "HKEY_LOCAL_MACHINE"};
const char *const kRootShortNames[kRootCount] = {"HKCR", "HKCU", "HKLM"};
const char *const kRunPath[] = {"software", "microsoft", "windows", "currentversion", "run"};
constexpr qsizetype kRunDepth = 5;
constexpr qsizetype kMaxKeyNameLength = 255;

// Length of the valid UTF-8 sequence that starts at `i`, 0 when there is none.
qsizetype utf8SequenceLength(const QByteArray &bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes.at(k)); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    if (at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return length;
}

bool isValidUtf8(const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool hasControlCharacter(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

// The form in which names are compared.
QByteArray fold(const QByteArray &name)
{
    if (isValidUtf8(name))
        return QString::fromUtf8(name).toCaseFolded().toUtf8();
    return name.toLower();
}

// Splits a "\\"-separated key path, leaving out empty components. Nothing
// when a component is not a valid key name.
std::optional<QList<QByteArray>> splitKeyPath(const QByteArray &path)
{
    QList<QByteArray> components;
    for (const QByteArray &component : path.split('\\')) {
        if (component.isEmpty())
            continue;
        if (component.size() > kMaxKeyNameLength || hasControlCharacter(component)
            || !isValidUtf8(component))
            return std::nullopt;
        components << component;
    }
    return components;
}

QByteArray foldedPath(int root, const QList<QByteArray> &path)
{
    QByteArray result = kRootNames[root];
    for (const QByteArray &component : path)
        result += '\\' + fold(component);
    return result;
}

// Where a key lies: the Run key and the keys above it are not in the store.
enum class Place { Store, Root, AboveRun, Run, UnderRun };

Place placeOf(int root, const QList<QByteArray> &path)
{
    if (path.isEmpty())
        return Place::Root;
    if (root != kCurrentUser && root != kLocalMachine)
        return Place::Store;
    const qsizetype shared = std::min(path.size(), kRunDepth);
    for (qsizetype i = 0; i < shared; ++i) {
        if (fold(path.at(i)) != kRunPath[i])
            return Place::Store;
    }
    if (path.size() < kRunDepth)
        return Place::AboveRun;
    return path.size() == kRunDepth ? Place::Run : Place::UnderRun;
}

// ---------------------------------------------------------------------------
// The store's contents

struct Value {
    QByteArray name;
    unsigned long type = REG_SZ;
    QByteArray text;  // REG_SZ, without its terminating NUL
    quint32 number = 0;  // REG_DWORD
};

struct Key {
    QByteArray name;  // the full path as first written, root included
    std::map<QByteArray, Value> values;  // by folded name
};

// Every key by its folded full path; the keys above a key are always present.
using Tree = std::map<QByteArray, Key>;

Key &ensureKey(Tree &tree, int root, const QList<QByteArray> &path, bool *created = nullptr)
{
    QByteArray folded = kRootNames[root];
    auto it = tree.try_emplace(folded, Key{folded, {}}).first;
    bool added = false;
    for (const QByteArray &component : path) {
        folded += '\\' + fold(component);
        const QByteArray parentName = it->second.name;
        const auto [next, inserted] =
            tree.try_emplace(folded, Key{parentName + '\\' + component, {}});
        it = next;
        added = inserted;
    }
    if (created)
        *created = added;
    return it->second;
}

bool hasSubkeys(const Tree &tree, const QByteArray &folded)
{
    const QByteArray prefix = folded + '\\';
    const auto it = tree.lower_bound(prefix);
    return it != tree.end() && it->first.startsWith(prefix);
}

// A string in double quotes, with \\, \", \n, \r, \t, and \xHH for bytes
// that are control characters or not component of valid UTF-8.
QByteArray quoted(const QByteArray &bytes)
{
    QByteArray out = "\"";
    for (qsizetype i = 0; i < bytes.size();) {
        const char c = bytes.at(i);
        const qsizetype length = utf8SequenceLength(bytes, i);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (length == 0 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            const auto byte = static_cast<unsigned char>(c);
            out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        } else {
            out += bytes.mid(i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return out + '"';
}

// Reads a string written by quoted() starting at `i`; moves `i` past it.
bool readQuoted(const QByteArray &line, qsizetype &i, QByteArray &out)
{
    if (i >= line.size() || line.at(i) != '"')
        return false;
    out.clear();
    for (++i; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"') {
            ++i;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        switch (line.at(i)) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            bool ok = false;
            const int byte = line.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || i + 2 >= line.size())
                return false;
            out += static_cast<char>(byte);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

void skipSpaces(const QByteArray &line, qsizetype &i)
{
    while (i < line.size() && (line.at(i) == ' ' || line.at(i) == '\t'))
        ++i;
}

constexpr char kHeader[] = "KestrumRegistry=1";

int rootIndex(const QByteArray &name)
{
    for (int root = 0; root < kRootCount; ++root) {
        if (name.compare(kRootNames[root], Qt::CaseInsensitive) == 0
            || name.compare(kRootShortNames[root], Qt::CaseInsensitive) == 0)
            return root;
    }
    return -1;
}

// One `"name"=sz:"text"` or `@=dword:0000000a` line.
std::optional<Value> parseValue(const QByteArray &line)
{
    Value value;
    qsizetype i = 0;
    if (line.startsWith('@'))
        i = 1;
    else if (!readQuoted(line, i, value.name))
        return std::nullopt;
    skipSpaces(line, i);
    if (i >= line.size() || line.at(i) != '=')
        return std::nullopt;
    ++i;
    skipSpaces(line, i);
    const QByteArray rest = line.mid(i);
    if (rest.startsWith("sz:")) {
        qsizetype k = 3;
        if (!readQuoted(rest, k, value.text))
            return std::nullopt;
        skipSpaces(rest, k);
        if (k != rest.size())
            return std::nullopt;
        value.type = REG_SZ;
        return value;
    }
    if (rest.startsWith("dword:")) {
        const QByteArray digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8 || digits.startsWith('+')
            || digits.startsWith('-') || digits.startsWith("0x") || digits.startsWith("0X"))
            return std::nullopt;
        value.type = REG_DWORD;
        value.number = number;
        return value;
    }
    return std::nullopt;
}

// The store file's contents; nothing when they cannot be understood.
std::optional<Tree> parseStore(const QByteArray &raw)
{
    Tree tree;
    Key *current = nullptr;
    bool sawHeader = false;
    for (QByteArray line : raw.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (!sawHeader) {
            if (line != kHeader)
                return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line.startsWith('[')) {
            if (!line.endsWith(']'))
                return std::nullopt;
            const QByteArray inner = line.mid(1, line.size() - 2);
            const qsizetype slash = inner.indexOf('\\');
            const int root = rootIndex(slash < 0 ? inner : inner.left(slash));
            const auto path = splitKeyPath(slash < 0 ? QByteArray() : inner.mid(slash + 1));
            if (root < 0 || !path)
                return std::nullopt;
            current = &ensureKey(tree, root, *path);
            continue;
        }
        auto value = parseValue(line);
        if (!current || !value)
            return std::nullopt;
        const QByteArray name = fold(value->name);
        current->values[name] = std::move(*value);
    }
    return tree;
}

QByteArray serializeStore(const Tree &tree)
{
    QByteArray out =
        "; Kestrum registry: the per-user store of both Kestrum programs (UTF-8).\n"
        "; Values are \"name\"=sz:\"text\" or \"name\"=dword:hex; @ is the default value.\n";
    out += kHeader;
    out += '\n';
    for (const auto &[folded, key] : tree) {
        const bool isRoot = !folded.contains('\\');
        // A key without values shows through its subkeys, when it has some.
        if (key.values.empty() && (isRoot || hasSubkeys(tree, folded)))
            continue;
        out += "\n[" + key.name + "]\n";
        for (const auto &[name, value] : key.values) {
            out += value.name.isEmpty() ? QByteArray("@") : quoted(value.name);
            if (value.type == REG_DWORD)
                out += "=dword:" + QByteArray::number(value.number, 16).rightJustified(8, '0');
            else
                out += "=sz:" + quoted(value.text);
            out += '\n';
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The store file

enum class StoreState { Missing, Good, Corrupt, Unreadable };

struct Store {
    StoreState state = StoreState::Missing;
    Tree tree;  // empty unless the state is Good
};

Store loadStore(const QString &path)
{
    Store store;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return store;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        store.state = StoreState::Unreadable;
        return store;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        store.state = StoreState::Unreadable;
        return store;
    }
    if (auto tree = parseStore(raw)) {
        store.state = StoreState::Good;
        store.tree = std::move(*tree);
    } else {
        store.state = StoreState::Corrupt;
    }
    return store;
}

// Copies a store that could not be parsed to the first free name of
// "<store>.corrupt", "<store>.corrupt.1", ...
bool keepCorruptCopy(const QString &path)
{
    for (int n = 0; n < 100; ++n) {
        const QString copy = path + QStringLiteral(".corrupt")
                             + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copy))
            continue;
        return QFile::copy(path, copy);
    }
    return false;
}

bool saveStore(const QString &path, const Tree &tree)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(serializeStore(tree));
    return file.commit();
}

// Reads the store, lets `change` alter it and writes it back, all under the
// store's lock file so that writers in other processes do not lose each
// other's changes. `change` returns the call's result and sets `changed`
// when there is something to write.
template <typename Change>
long changeStore(const QString &path, Change change)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return ERROR_CANTWRITE;
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(10000))
        return ERROR_CANTWRITE;
    Store store = loadStore(path);
    if (store.state == StoreState::Unreadable)
        return ERROR_CANTWRITE;
    bool changed = false;
    const long result = change(store.tree, changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    if (store.state == StoreState::Corrupt && !keepCorruptCopy(path))
        return ERROR_CANTWRITE;
    return saveStore(path, store.tree) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

// ---------------------------------------------------------------------------
// The Run key: one desktop entry per value

bool isReservedInExec(QChar c)
{
    return QStringView(u" \t\n\"'\\><~|&;$*?#`()").contains(c);
}

// One argument of an Exec line: "%" doubled, quoted when it holds a reserved
// character, and inside the quotes ", `, $ and \ preceded by a backslash.
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
        } else if (!inQuotes && (c == u' ' || c == u'\t')) {
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

// The program and arguments of a Run command, as Windows reads it: a quoted
// program first, or the whole text when it names a file, or the shortest
// stretch before a space that names a file; otherwise the whole text is the
// program, so that an unquoted path with spaces stays one.
QStringList commandArguments(const QString &command)
{
    if (command.startsWith(u'"')) {
        const qsizetype end = command.indexOf(u'"', 1);
        if (end < 0)
            return {command.mid(1)};
        return QStringList{command.mid(1, end - 1)} + splitArguments(command.mid(end + 1));
    }
    if (QFileInfo(command).isFile())
        return {command};
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (command.at(i) != u' ' && command.at(i) != u'\t')
            continue;
        const QString program = command.left(i);
        if (!program.isEmpty() && QFileInfo(program).isFile())
            return QStringList{program} + splitArguments(command.mid(i + 1));
    }
    return {command};
}

QString execLine(const QString &command)
{
    QStringList components;
    for (const QString &argument : commandArguments(command))
        components << execArgument(argument);
    return components.join(u' ');
}

// The arguments of an Exec line; field codes such as %U are left out.
QStringList parseExec(const QString &exec)
{
    QStringList arguments;
    qsizetype i = 0;
    while (i < exec.size()) {
        while (i < exec.size() && (exec.at(i) == u' ' || exec.at(i) == u'\t'))
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
            for (; i < exec.size() && exec.at(i) != u' ' && exec.at(i) != u'\t'; ++i)
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
    return arguments;
}

// Arguments joined into a Windows-style command line.
QString joinCommand(const QStringList &arguments)
{
    QStringList components;
    for (const QString &argument : arguments) {
        const bool needsQuotes = argument.isEmpty() || argument.contains(u' ')
                                 || argument.contains(u'\t');
        components << (needsQuotes ? QStringLiteral("\"") + argument + u'"' : argument);
    }
    return components.join(u' ');
}

// Escapes a desktop-entry string value: "\" as "\\", and a space at either
// end as "\s", since readers trim the value.
QString entryString(const QString &text)
{
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\\\"));
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
        if (c == u's') {
            out += u' ';
        } else if (c == u'n') {
            out += u'\n';
        } else if (c == u't') {
            out += u'\t';
        } else if (c == u'r') {
            out += u'\r';
        } else if (c == u'\\') {
            out += u'\\';
        } else {
            out += u'\\';
            out += c;
        }
    }
    return out;
}

constexpr qint64 kMaxEntrySize = 1 << 20;

// The command of a desktop entry: the text we were given when the entry is
// still as we wrote it, otherwise what its Exec line runs.
std::optional<QString> readEntryCommand(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntrySize)
        return std::nullopt;
    const QString text = QString::fromUtf8(file.readAll());
    bool inMainGroup = false;
    std::optional<QString> exec, command;
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
        const QString value = unescapeEntryString(line.mid(equals + 1).trimmed());
        if (key == u"Exec")
            exec = value;
        else if (key == u"X-Kestrum-Command")
            command = value;
    }
    if (!exec)
        return std::nullopt;
    if (command && execLine(*command) == *exec)
        return command;
    return joinCommand(parseExec(*exec));
}

// A value name usable as the name of a desktop entry file.
std::optional<QString> entryName(const QByteArray &valueName)
{
    if (valueName.isEmpty() || valueName.size() > 200 || !isValidUtf8(valueName)
        || hasControlCharacter(valueName) || valueName.contains('/') || valueName == "."
        || valueName == "..")
        return std::nullopt;
    return QString::fromUtf8(valueName);
}

// The entry file of a value: "<name>.desktop", or one whose name differs only
// in case, since value names do not depend on case. Empty when there is none.
QString findEntry(const QString &folder, const QString &name)
{
    const QString exact = folder + u'/' + name + QStringLiteral(".desktop");
    if (QFileInfo(exact).isFile())
        return exact;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &file : files) {
        if (file.chopped(8).compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return {};
}

long setRunValue(const QString &folder, const QByteArray &valueName, const QByteArray &commandBytes)
{
    const auto name = entryName(valueName);
    if (!name || commandBytes.isEmpty() || hasControlCharacter(commandBytes)
        || !isValidUtf8(commandBytes))
        return ERROR_INVALID_PARAMETER;
    const QString command = QString::fromUtf8(commandBytes);
    QString path = findEntry(folder, *name);
    if (path.isEmpty())
        path = folder + u'/' + *name + QStringLiteral(".desktop");

    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n"
                                         "X-Kestrum-Command=%3\n")
                              .arg(entryString(*name), entryString(execLine(command)),
                                   entryString(command));
    if (!QDir().mkpath(folder))
        return ERROR_CANTWRITE;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return ERROR_CANTWRITE;
    file.write(entry.toUtf8());
    return file.commit() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

// ---------------------------------------------------------------------------
// Handles

struct OpenKey {
    int root = 0;
    QList<QByteArray> path;
    unsigned long access = KEY_ALL_ACCESS;
};

struct Registry {
    std::mutex mutex;
    QString storeFile, autostartFolder;  // empty: the default
    std::map<std::uintptr_t, OpenKey> handles;
    std::uintptr_t nextHandle = 0x1000;  // never reused, so stale handles stay invalid
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

std::uintptr_t handleValue(HKEY key)
{
    return reinterpret_cast<std::uintptr_t>(key);
}

// The key a handle stands for; nothing when the handle is not open.
std::optional<OpenKey> lookUp(Registry &r, HKEY key)
{
    for (int root = 0; root < kRootCount; ++root) {
        if (handleValue(key) == 0x80000000u + static_cast<unsigned>(root))
            return OpenKey{root, {}, KEY_ALL_ACCESS};
    }
    const auto it = r.handles.find(handleValue(key));
    if (it == r.handles.end())
        return std::nullopt;
    return it->second;
}

HKEY addHandle(Registry &r, OpenKey key)
{
    const std::uintptr_t value = r.nextHandle;
    r.nextHandle += 4;
    r.handles.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

QString storeFileOf(const Registry &r)
{
    if (!r.storeFile.isEmpty())
        return r.storeFile;
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Kestrum/registry.ini");
}

QString autostartFolderOf(const Registry &r)
{
    if (!r.autostartFolder.isEmpty())
        return r.autostartFolder;
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/autostart");
}

QByteArray nameOf(const char *valueName)
{
    return valueName ? QByteArray(valueName) : QByteArray();
}

// Whether the key exists: the roots, the Run key and the keys above it always do.
bool exists(const Tree &tree, const OpenKey &key)
{
    const Place place = placeOf(key.root, key.path);
    if (place == Place::Root || place == Place::AboveRun || place == Place::Run)
        return true;
    return tree.count(foldedPath(key.root, key.path)) > 0;
}

// Hands out a value's bytes with the size negotiation of RegQueryValueExA.
long answer(unsigned long valueType, const QByteArray &bytes, unsigned long *type,
            unsigned char *data, unsigned long *dataSize)
{
    if (type)
        *type = valueType;
    if (!dataSize)
        return ERROR_SUCCESS;
    const auto needed = static_cast<unsigned long>(bytes.size());
    if (data) {
        if (*dataSize < needed) {
            *dataSize = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, bytes.constData(), needed);
    }
    *dataSize = needed;
    return ERROR_SUCCESS;
}

}  // namespace

long RegOpenKeyExA(HKEY root, const char *subKey, unsigned long /*options*/,
                   unsigned long samDesired, HKEY *result)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    if (result)
        *result = nullptr;
    auto base = lookUp(r, root);
    if (!base)
        return ERROR_INVALID_HANDLE;
    const auto path = splitKeyPath(nameOf(subKey));
    if (!result || !path)
        return ERROR_INVALID_PARAMETER;
    OpenKey target{base->root, base->path + *path, samDesired};
    if (!exists(loadStore(storeFileOf(r)).tree, target))
        return ERROR_FILE_NOT_FOUND;
    *result = addHandle(r, std::move(target));
    return ERROR_SUCCESS;
}

long RegCreateKeyExA(HKEY root, const char *subKey, unsigned long /*reserved*/,
                     char * /*keyClass*/, unsigned long /*options*/, unsigned long samDesired,
                     const SECURITY_ATTRIBUTES * /*security*/, HKEY *result,
                     unsigned long *disposition)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    if (result)
        *result = nullptr;
    auto base = lookUp(r, root);
    if (!base)
        return ERROR_INVALID_HANDLE;
    const auto path = subKey ? splitKeyPath(subKey) : std::nullopt;
    if (!result || !path)
        return ERROR_INVALID_PARAMETER;
    if (!(base->access & KEY_CREATE_SUB_KEY))
        return ERROR_ACCESS_DENIED;
    OpenKey target{base->root, base->path + *path, samDesired};
    const Place place = placeOf(target.root, target.path);
    if (place == Place::UnderRun)
        return ERROR_ACCESS_DENIED;

    bool created = false;
    if (place == Place::Store) {
        const long status = changeStore(storeFileOf(r), [&](Tree &tree, bool &changed) {
            if (!exists(tree, *base))
                return ERROR_KEY_DELETED;
            ensureKey(tree, target.root, target.path, &created);
            changed = created;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS)
            return status;
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = addHandle(r, std::move(target));
    return ERROR_SUCCESS;
}

long RegQueryValueExA(HKEY key, const char *valueName, unsigned long *reserved,
                      unsigned long *type, unsigned char *data, unsigned long *dataSize)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    const auto open = lookUp(r, key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    if (!(open->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;

    if (placeOf(open->root, open->path) == Place::Run) {
        const auto name = entryName(nameOf(valueName));
        const QString path = name ? findEntry(autostartFolderOf(r), *name) : QString();
        const auto command = path.isEmpty() ? std::nullopt : readEntryCommand(path);
        if (!command)
            return ERROR_FILE_NOT_FOUND;
        return answer(REG_SZ, command->toUtf8() + '\0', type, data, dataSize);
    }

    const Store store = loadStore(storeFileOf(r));
    if (!exists(store.tree, *open))
        return ERROR_KEY_DELETED;
    const auto keyIt = store.tree.find(foldedPath(open->root, open->path));
    if (keyIt == store.tree.end())
        return ERROR_FILE_NOT_FOUND;
    const auto valueIt = keyIt->second.values.find(fold(nameOf(valueName)));
    if (valueIt == keyIt->second.values.end())
        return ERROR_FILE_NOT_FOUND;
    const Value &value = valueIt->second;
    if (value.type == REG_DWORD) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((value.number >> (8 * i)) & 0xFF);
        return answer(REG_DWORD, bytes, type, data, dataSize);
    }
    return answer(REG_SZ, value.text + '\0', type, data, dataSize);
}

long RegSetValueExA(HKEY key, const char *valueName, unsigned long /*reserved*/,
                    unsigned long type, const unsigned char *data, unsigned long size)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    const auto open = lookUp(r, key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if ((type != REG_SZ && type != REG_DWORD) || (!data && size > 0)
        || (type == REG_DWORD && size != 4))
        return ERROR_INVALID_PARAMETER;
    if (!(open->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    Value value;
    value.name = nameOf(valueName);
    value.type = type;
    if (type == REG_DWORD) {
        for (int i = 0; i < 4; ++i)
            value.number |= static_cast<quint32>(data[i]) << (8 * i);
    } else if (size > 0) {
        const auto *end = static_cast<const unsigned char *>(std::memchr(data, 0, size));
        value.text = QByteArray(reinterpret_cast<const char *>(data),
                                end ? end - data : static_cast<qsizetype>(size));
    }

    if (placeOf(open->root, open->path) == Place::Run) {
        if (type != REG_SZ)
            return ERROR_INVALID_PARAMETER;
        return setRunValue(autostartFolderOf(r), value.name, value.text);
    }

    return changeStore(storeFileOf(r), [&](Tree &tree, bool &changed) {
        if (!exists(tree, *open))
            return ERROR_KEY_DELETED;
        Key &target = ensureKey(tree, open->root, open->path);
        const QByteArray folded = fold(value.name);
        const auto it = target.values.find(folded);
        changed = it == target.values.end() || it->second.name != value.name
                  || it->second.type != value.type || it->second.text != value.text
                  || it->second.number != value.number;
        target.values[folded] = value;
        return ERROR_SUCCESS;
    });
}

long RegDeleteValueA(HKEY key, const char *valueName)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    const auto open = lookUp(r, key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    if (placeOf(open->root, open->path) == Place::Run) {
        const auto name = entryName(nameOf(valueName));
        const QString path = name ? findEntry(autostartFolderOf(r), *name) : QString();
        if (path.isEmpty())
            return ERROR_FILE_NOT_FOUND;
        return QFile::remove(path) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }

    return changeStore(storeFileOf(r), [&](Tree &tree, bool &changed) {
        if (!exists(tree, *open))
            return ERROR_KEY_DELETED;
        const auto keyIt = tree.find(foldedPath(open->root, open->path));
        if (keyIt == tree.end() || keyIt->second.values.erase(fold(nameOf(valueName))) == 0)
            return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

long RegDeleteKeyA(HKEY key, const char *subKey)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    const auto open = lookUp(r, key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    const auto path = subKey ? splitKeyPath(subKey) : std::nullopt;
    if (!path)
        return ERROR_INVALID_PARAMETER;
    const OpenKey target{open->root, open->path + *path, KEY_ALL_ACCESS};
    if (placeOf(target.root, target.path) != Place::Store)
        return ERROR_ACCESS_DENIED;

    return changeStore(storeFileOf(r), [&](Tree &tree, bool &changed) {
        const QByteArray folded = foldedPath(target.root, target.path);
        if (!tree.count(folded))
            return ERROR_FILE_NOT_FOUND;
        if (hasSubkeys(tree, folded))
            return ERROR_ACCESS_DENIED;
        tree.erase(folded);
        changed = true;
        return ERROR_SUCCESS;
    });
}

long RegCloseKey(HKEY key)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    if (!lookUp(r, key))
        return ERROR_INVALID_HANDLE;
    r.handles.erase(handleValue(key));
    return ERROR_SUCCESS;
}

void setRegistryLocation(const QString &storeFile, const QString &autostartFolder)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    r.storeFile = storeFile;
    r.autostartFolder = autostartFolder;
}

void restoreDefaultRegistryLocation()
{
    setRegistryLocation(QString(), QString());
}

QString registryStoreFile()
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return storeFileOf(r);
}

QString registryAutostartFolder()
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return autostartFolderOf(r);
}

std::optional<QByteArray> queryTextValue(HKEY key, const char *valueName)
{
    for (;;) {
        unsigned long type = 0;
        unsigned long size = 0;
        if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return std::nullopt;
        QByteArray data(static_cast<qsizetype>(size) + 1, '\0');
        size = static_cast<unsigned long>(data.size());
        const long result = RegQueryValueExA(key, valueName, nullptr, &type,
                                             reinterpret_cast<unsigned char *>(data.data()), &size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            return std::nullopt;
        return QByteArray(data.constData(), static_cast<qsizetype>(qstrnlen(data.constData(), size)));
    }
}

}  // namespace platform
