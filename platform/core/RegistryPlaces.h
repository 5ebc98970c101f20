#pragma once

// Where the registry keeps its keys: the per-user store, the machine-wide
// store and the folder of autostart entries, and which store a key is read
// from and written to.

#include "RegistryStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <memory>

namespace platform::places {

// The places in use; an empty one stands for its default.
struct Places {
    QString storeFile, autostartFolder, machineStoreFile;

    // `$XDG_CONFIG_HOME/tarnel-platform/registry.ini` by default.
    QString userStore() const;
    // The store of the install prefix by default.
    QString machineStore() const;
    // `$XDG_CONFIG_HOME/autostart` by default.
    QString autostart() const;
};

// Where a key is kept: a store file, and the root and path inside it.
struct Location {
    QString file;
    int root = 0;
    QList<QByteArray> path;
};

// Where changes to a key go: HKEY_LOCAL_MACHINE to the machine-wide store,
// the other roots to the per-user one.
Location writeLocation(const Places &places, int root, const QList<QByteArray> &path);

// Where a key is read from, first match first: a key of HKEY_CLASSES_ROOT
// is the first one found of its own, the user's classes and the machine's
// classes.
QList<Location> readLocations(const Places &places, int root, const QList<QByteArray> &path);

// The store files one call reads, each looked at once (a store that has
// not changed since it was last parsed is not parsed again).
class Snapshot {
public:
    const store::Tree &tree(const QString &file);

    // The key itself, or null when no store holds it.
    const store::Key *find(const Location &location);

    // The key where it is read from: the first location that holds it.
    const store::Key *find(const Places &places, int root, const QList<QByteArray> &path);

private:
    std::map<QString, std::shared_ptr<const store::Tree>> trees_;
};

}  // namespace platform::places
