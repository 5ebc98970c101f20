// The store's keys and its text format.
#include "RegistryStore.h"

#include "SharedText.h"

namespace platform::store {

namespace {

const char *const kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
const char *const kRootShortNames[kRootCount] = {"HKCR", "HKCU", "HKLM"};

// The header this version writes, and what any header of version 1 ends with.
constexpr char kHeader[] = "TarnelPlatformRegistry=1";
constexpr char kHeaderEnd[] = "Registry=1";

bool isHeader(const QByteArray &line)
{
    if (!line.endsWith(kHeaderEnd))
        return false;
    const QByteArray name = line.chopped(qstrlen(kHeaderEnd));
    for (const char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

int rootIndex(const QByteArray &name)
{
    for (int root = 0; root < kRootCount; ++root) {
        if (name.compare(kRootNames[root], Qt::CaseInsensitive) == 0
            || name.compare(kRootShortNames[root], Qt::CaseInsensitive) == 0)
            return root;
    }
    return -1;
}

// A string in double quotes, with \\, \", \n, \r, \t, and \xHH for bytes
// that are control characters or not part of valid UTF-8.
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
        value.type = kText;
        return value;
    }
    if (rest.startsWith("dword:")) {
        const QByteArray digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8 || digits.startsWith('+') || digits.startsWith('-')
            || digits.startsWith("0x") || digits.startsWith("0X"))
            return std::nullopt;
        value.type = kNumber;
        value.number = number;
        return value;
    }
    return std::nullopt;
}

}  // namespace

const char *rootName(int root)
{
    return root >= 0 && root < kRootCount ? kRootNames[root] : "";
}

QByteArray fold(const QByteArray &name)
{
    if (isValidUtf8(name))
        return QString::fromUtf8(name).toCaseFolded().toUtf8();
    return name.toLower();
}

std::optional<QList<QByteArray>> splitKeyPath(const QByteArray &path)
{
    QList<QByteArray> components;
    for (const QByteArray &component : path.split('\\')) {
        if (component.isEmpty())
            continue;
        if (component.size() > kMaxKeyNameLength || hasControlCharacter(component) || !isValidUtf8(component))
            return std::nullopt;
        components << component;
    }
    return components;
}

QByteArray foldedPath(int root, const QList<QByteArray> &path)
{
    QByteArray result = rootName(root);
    for (const QByteArray &component : path)
        result += '\\' + fold(component);
    return result;
}

Key &ensureKey(Tree &tree, int root, const QList<QByteArray> &path, bool *created)
{
    QByteArray folded = rootName(root);
    auto it = tree.try_emplace(folded, Key{folded, {}}).first;
    bool added = false;
    for (const QByteArray &component : path) {
        folded += '\\' + fold(component);
        const QByteArray parentName = it->second.name;
        const auto [next, inserted] = tree.try_emplace(folded, Key{parentName + '\\' + component, {}});
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

std::optional<Tree> parse(const QByteArray &raw, qsizetype *skipped)
{
    Tree tree;
    Key *current = nullptr;
    bool sawHeader = false;
    qsizetype bad = 0;
    for (QByteArray line : raw.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (!sawHeader) {
            if (!isHeader(line))
                return std::nullopt;
            sawHeader = true;
            continue;
        }
        if (line.startsWith('[')) {
            const QByteArray inner = line.endsWith(']') ? line.mid(1, line.size() - 2) : QByteArray();
            const qsizetype slash = inner.indexOf('\\');
            const int root = rootIndex(slash < 0 ? inner : inner.left(slash));
            const auto path = splitKeyPath(slash < 0 ? QByteArray() : inner.mid(slash + 1));
            if (root < 0 || !path) {
                current = nullptr;  // the values under it go with it
                ++bad;
                continue;
            }
            current = &ensureKey(tree, root, *path);
            continue;
        }
        auto value = parseValue(line);
        if (!current || !value) {
            ++bad;
            continue;
        }
        const QByteArray name = fold(value->name);
        current->values[name] = std::move(*value);
    }
    if (skipped)
        *skipped = bad;
    return tree;
}

QByteArray serialize(const Tree &tree)
{
    QByteArray out = "; The per-user registry store of the platform layer (UTF-8).\n"
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
            if (value.type == kNumber)
                out += "=dword:" + QByteArray::number(value.number, 16).rightJustified(8, '0');
            else
                out += "=sz:" + quoted(value.text);
            out += '\n';
        }
    }
    return out;
}

}  // namespace platform::store
