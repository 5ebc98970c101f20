#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include <sys/types.h>

// The registry's store file: its keys and values, its text format, and the
// rules for reading and changing it while other processes do the same. The
// registry calls (Registry.h) are built on it.
//
// The format is UTF-8 text:
//
//     TarnelPlatformRegistry=1
//     [HKEY_CURRENT_USER\Software\Classes\SonbrelMP3.SBMP3Player]
//     @=sz:"SonbrelMP3 MP3 Player Control"
//     "Count"=dword:0000000a
//
// The first line that is not blank or a comment (";" or "#") names the
// format and its version: any "<name>Registry=1" is version 1, whichever
// program wrote it. Then come sections, one per key, with its values:
// "@" is the default value, other names are quoted; text values are quoted,
// with \\, \", \n, \r, \t, and \xHH for bytes that are control characters or
// not UTF-8. A store without that header cannot be parsed at all; a line
// after it that breaks these rules is skipped (a section header that does
// not parse, with the values under it), and the rest is read.
namespace platform::store {

// The three roots, each a subtree of its own.
inline constexpr int kClassesRoot = 0;
inline constexpr int kCurrentUser = 1;
inline constexpr int kLocalMachine = 2;
inline constexpr int kRootCount = 3;

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE".
const char *rootName(int root);

// The longest key name a path component may have.
inline constexpr qsizetype kMaxKeyNameLength = 255;

// The form in which key and value names are compared: case-folded.
QByteArray fold(const QByteArray &name);

// The components of a "\\"-separated key path, empty ones left out. Nothing
// when a component is not a key name: too long, not UTF-8, or holding a
// control character.
std::optional<QList<QByteArray>> splitKeyPath(const QByteArray &path);

// The folded full path of a key, root included: the key's index in a Tree.
QByteArray foldedPath(int root, const QList<QByteArray> &path);

// Value types, as the registry calls number them.
inline constexpr unsigned long kText = 1;    // REG_SZ
inline constexpr unsigned long kNumber = 4;  // REG_DWORD

struct Value {
    QByteArray name;  // as first written
    unsigned long type = kText;
    QByteArray text;     // kText, without a terminating NUL
    quint32 number = 0;  // kNumber
};

struct Key {
    QByteArray name;                     // the full path as first written, root included
    std::map<QByteArray, Value> values;  // by folded name
};

// Every key by its folded full path; the keys above a key are always present.
using Tree = std::map<QByteArray, Key>;

// The key, made with any keys above it that are missing. `created` tells
// whether the key itself is new.
Key &ensureKey(Tree &tree, int root, const QList<QByteArray> &path, bool *created = nullptr);

// Whether the key with this folded path has subkeys.
bool hasSubkeys(const Tree &tree, const QByteArray &folded);

// The tree a store file holds; nothing when it has no header of version 1.
// `skipped`, when given, receives the number of lines that were skipped.
std::optional<Tree> parse(const QByteArray &raw, qsizetype *skipped = nullptr);

// The text of a store file holding `tree`, which parse() reads back.
QByteArray serialize(const Tree &tree);

// The largest store file that is read; a larger one, or anything but a
// regular file (a FIFO, a device), is Unreadable and never waited on.
inline constexpr qint64 kMaxStoreSize = 8 * 1024 * 1024;

// The store file as it is now. Corrupt: some lines, or the whole file,
// could not be parsed; the tree holds what could.
enum class State { Missing, Good, Corrupt, Unreadable };
struct Contents {
    State state = State::Missing;
    Tree tree;  // empty when Missing or Unreadable
};
Contents load(const QString &path);

// The same, shared and not to be changed: each store file is parsed once
// and read again only when it changed (its device, inode, size, or times of
// change to the nanosecond differ), so readers of a large store pay for a
// stat() only. Safe to call from any thread.
struct Snapshot {
    State state = State::Missing;
    std::shared_ptr<const Tree> tree;  // never null
};
Snapshot snapshot(const QString &path);

// The modes of the store, its lock file and the folders made for them:
// they decide which libraries hosts load, so only the user may change them.
inline constexpr mode_t kStoreMode = 0600;
inline constexpr mode_t kStoreFolderMode = 0700;

// Changes the store under its lock file ("<path>.lock"), so that writers in
// other processes do not lose each other's changes: reads it, lets `edit`
// alter the tree and, when `edit` answers that there is something to write,
// replaces the file. A store that could not be parsed is first copied aside
// to "<path>.corrupt" (or ".corrupt.1" ...). False when the store cannot be
// read, locked, kept aside or written; `edit` is not called when it cannot
// be read or locked. A store with lines that could not be parsed is kept
// aside the same way, and what could be parsed is kept in the new store.
bool change(const QString &path, const std::function<bool(Tree &tree)> &edit);

// Moves a store from where an earlier version kept it (`former`) to `path`,
// under the lock files of both, so that processes starting at once, and
// writers of either place, lose nothing. With no store at `path` yet, the
// former file becomes it. With one there already, every key and value that
// it lacks is added from the former store and its own values stay as they
// are; a former store that cannot be parsed is kept beside `path` as a
// corrupt copy. The former file is then removed. True when no store is left
// at the former place; false when one is left because something could not
// be read, locked or written (a later call tries again).
bool moveFrom(const QString &former, const QString &path);

}  // namespace platform::store
