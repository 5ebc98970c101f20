// The store file: reading it, changing it under its lock, keeping a corrupt
// one aside, and moving it from a former place.
#include "RegistryStore.h"

#include "PlatformLog.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <chrono>
#include <mutex>
#include <unordered_map>

#include <sys/stat.h>

namespace platform::store {

namespace {

using namespace std::chrono_literals;

// How long a change waits for another process's change to finish.
constexpr auto kLockWait = 10s;

QString lockFileOf(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// What tells one version of a file from another without reading it.
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{}, changed{};

    bool operator==(const Stamp &other) const
    {
        return device == other.device && inode == other.inode && size == other.size
               && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
               && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

std::optional<Stamp> stampOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return Stamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

// The parsed store files, by path.
struct Cache {
    struct Entry {
        Stamp stamp;
        Snapshot snapshot;
    };
    std::mutex mutex;
    std::unordered_map<QString, Entry> entries;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

void forget(const QString &path)
{
    Cache &c = cache();
    const std::lock_guard guard(c.mutex);
    c.entries.erase(path);
}

// Copies a store that could not be parsed to the first free name of
// "<target>.corrupt", "<target>.corrupt.1", ...
bool keepCorruptCopy(const QString &source, const QString &target)
{
    for (int n = 0; n < 100; ++n) {
        const QString copy =
            target + QStringLiteral(".corrupt") + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copy))
            continue;
        FileError error;
        const std::optional<QByteArray> bytes = readFileBytes(source, kMaxStoreSize, &error);
        if (!bytes || !replaceFile(copy, *bytes, ReplaceOptions{kStoreMode}, &error)) {
            qCWarning(platformLog).noquote() << "the damaged registry store cannot be kept aside:" << error.description;
            return false;
        }
        qCWarning(platformLog) << "the registry store" << source << "could not be parsed whole; it is kept as" << copy;
        return true;
    }
    return false;
}

bool save(const QString &path, const Tree &tree)
{
    FileError error;
    const bool written = replaceFile(path, serialize(tree), ReplaceOptions{kStoreMode}, &error);
    forget(path);
    if (written)
        return true;
    qCWarning(platformLog).noquote() << "the registry store cannot be written:" << error.description;
    return false;
}

// The store's folder, made with its missing parents for the user alone.
bool makeFolder(const QString &path)
{
    return makeFolders(QFileInfo(path).absolutePath(), kStoreFolderMode);
}

// Takes the store's lock; its file is the user's alone, whatever the umask.
bool takeLock(QLockFile &lock, const QString &lockPath)
{
    if (!lock.tryLock(kLockWait))
        return false;
    ::chmod(QFile::encodeName(lockPath).constData(), kStoreMode);
    return true;
}

// Reads and parses the store file.
Snapshot readStore(const QString &path)
{
    Snapshot result;
    FileError error;
    const std::optional<QByteArray> raw = readFileBytes(path, kMaxStoreSize, &error);
    if (!raw) {
        result.state = error.kind == FileError::Kind::NotFound ? State::Missing : State::Unreadable;
        if (result.state == State::Unreadable)
            qCWarning(platformLog).noquote() << "the registry store cannot be read:" << error.description;
        result.tree = std::make_shared<const Tree>();
        return result;
    }
    qsizetype skipped = 0;
    if (auto tree = parse(*raw, &skipped)) {
        result.state = skipped == 0 ? State::Good : State::Corrupt;
        if (skipped > 0)
            qCWarning(platformLog) << "the registry store" << path << "has" << skipped
                                   << "lines that cannot be parsed; they are left out";
        result.tree = std::make_shared<const Tree>(std::move(*tree));
    } else {
        qCWarning(platformLog) << "the registry store" << path << "cannot be parsed and reads as empty";
        result.state = State::Corrupt;
        result.tree = std::make_shared<const Tree>();
    }
    return result;
}

// Adds to `into` every key and value of `from` that it lacks; true when
// something was added.
bool addMissing(Tree &into, const Tree &from)
{
    bool added = false;
    for (const auto &[folded, key] : from) {
        auto [it, inserted] = into.try_emplace(folded, Key{key.name, {}});
        added = added || inserted;
        for (const auto &[name, value] : key.values)
            added = it->second.values.try_emplace(name, value).second || added;
    }
    return added;
}

}  // namespace

Snapshot snapshot(const QString &path)
{
    if (path.isEmpty())
        return Snapshot{State::Missing, std::make_shared<const Tree>()};
    const std::optional<Stamp> stamp = stampOf(path);
    if (!stamp) {
        forget(path);
        return Snapshot{State::Missing, std::make_shared<const Tree>()};
    }
    Cache &c = cache();
    {
        const std::lock_guard guard(c.mutex);
        const auto it = c.entries.find(path);
        if (it != c.entries.end() && it->second.stamp == *stamp)
            return it->second.snapshot;
    }
    // Read outside the lock; a file replaced meanwhile has a new stamp, so
    // what is kept under the older one is read again at the next call.
    Snapshot read = readStore(path);
    const std::lock_guard guard(c.mutex);
    c.entries[path] = Cache::Entry{*stamp, read};
    return read;
}

Contents load(const QString &path)
{
    const Snapshot read = snapshot(path);
    return Contents{read.state, *read.tree};
}

bool change(const QString &path, const std::function<bool(Tree &tree)> &edit)
{
    if (path.isEmpty() || !makeFolder(path))
        return false;
    QLockFile lock(lockFileOf(path));
    if (!takeLock(lock, lockFileOf(path))) {
        qCWarning(platformLog) << "the registry store" << path << "stays locked by another process";
        return false;
    }
    Contents contents = load(path);
    if (contents.state == State::Unreadable)
        return false;
    if (!edit(contents.tree))
        return true;
    if (contents.state == State::Corrupt && !keepCorruptCopy(path, path))
        return false;
    return save(path, contents.tree);
}

bool moveFrom(const QString &former, const QString &path)
{
    if (former.isEmpty() || !QFileInfo(former).isFile() || QFileInfo(former) == QFileInfo(path))
        return true;
    if (path.isEmpty() || !makeFolder(path))
        return false;

    // Always the new lock first, then the former one: processes of this
    // version queue on the first, and writers of an earlier version, which
    // know only the former lock, are kept out while the file moves.
    QLockFile lock(lockFileOf(path));
    QLockFile formerLock(lockFileOf(former));
    if (!takeLock(lock, lockFileOf(path)) || !formerLock.tryLock(kLockWait))
        return false;
    if (!QFileInfo(former).isFile())
        return true;  // another process moved it meanwhile

    if (!QFileInfo::exists(path)) {
        // QFile::rename never replaces an existing file.
        if (!QFile::rename(former, path))
            return false;
        ::chmod(QFile::encodeName(path).constData(), kStoreMode);
        qCInfo(platformLog) << "the registry store moved from" << former << "to" << path;
        return true;
    }

    const Contents from = load(former);
    Contents into = load(path);
    if (from.state == State::Unreadable || into.state != State::Good)
        return false;  // nothing is merged into or from a store we cannot read
    // What a damaged former store still holds is merged; the file is kept.
    if (from.state == State::Corrupt && !keepCorruptCopy(former, path))
        return false;
    if (addMissing(into.tree, from.tree) && !save(path, into.tree))
        return false;
    if (!QFile::remove(former))
        return false;
    qCInfo(platformLog) << "the registry store at" << former << "was merged into" << path;
    return true;
}

}  // namespace platform::store
