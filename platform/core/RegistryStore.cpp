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

namespace platform::store {

namespace {

using namespace std::chrono_literals;

// How long a change waits for another process's change to finish.
constexpr auto kLockWait = 10s;

QString lockFileOf(const QString &path)
{
    return path + QStringLiteral(".lock");
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
        if (!QFile::copy(source, copy))
            return false;
        qCWarning(platformLog) << "the registry store" << source << "cannot be parsed; it is kept as" << copy;
        return true;
    }
    return false;
}

bool save(const QString &path, const Tree &tree)
{
    QString error;
    if (replaceFile(path, serialize(tree), &error))
        return true;
    qCWarning(platformLog) << "the registry store" << path << "cannot be written:" << error;
    return false;
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

Contents load(const QString &path)
{
    Contents contents;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return contents;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        contents.state = State::Unreadable;
        return contents;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.state = State::Unreadable;
        return contents;
    }
    if (auto tree = parse(raw)) {
        contents.state = State::Good;
        contents.tree = std::move(*tree);
    } else {
        qCDebug(platformLog) << "the registry store" << path << "cannot be parsed and reads as empty";
        contents.state = State::Corrupt;
    }
    return contents;
}

bool change(const QString &path, const std::function<bool(Tree &tree)> &edit)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QLockFile lock(lockFileOf(path));
    if (!lock.tryLock(kLockWait)) {
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
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;

    // Always the new lock first, then the former one: processes of this
    // version queue on the first, and writers of an earlier version, which
    // know only the former lock, are kept out while the file moves.
    QLockFile lock(lockFileOf(path));
    QLockFile formerLock(lockFileOf(former));
    if (!lock.tryLock(kLockWait) || !formerLock.tryLock(kLockWait))
        return false;
    if (!QFileInfo(former).isFile())
        return true;  // another process moved it meanwhile

    if (!QFileInfo::exists(path)) {
        // QFile::rename never replaces an existing file.
        if (!QFile::rename(former, path))
            return false;
        qCInfo(platformLog) << "the registry store moved from" << former << "to" << path;
        return true;
    }

    const Contents from = load(former);
    Contents into = load(path);
    if (from.state == State::Unreadable || into.state != State::Good)
        return false;  // nothing is merged into or from a store we cannot read
    if (from.state == State::Corrupt) {
        if (!keepCorruptCopy(former, path))
            return false;
    } else if (addMissing(into.tree, from.tree) && !save(path, into.tree)) {
        return false;
    }
    if (!QFile::remove(former))
        return false;
    qCInfo(platformLog) << "the registry store at" << former << "was merged into" << path;
    return true;
}

}  // namespace platform::store
