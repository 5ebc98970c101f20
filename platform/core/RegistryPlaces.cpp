#include "RegistryPlaces.h"

#include "MachineStore.h"

#include <QStandardPaths>

namespace platform::places {

namespace {

QString inConfigFolder(const QString &relative)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + relative;
}

}  // namespace

QString Places::userStore() const
{
    return storeFile.isEmpty() ? inConfigFolder(QStringLiteral("/tarnel-platform/registry.ini")) : storeFile;
}

QString Places::machineStore() const
{
    return machineStoreFile.isEmpty() ? machine::defaultStoreFile() : machineStoreFile;
}

QString Places::autostart() const
{
    return autostartFolder.isEmpty() ? inConfigFolder(QStringLiteral("/autostart")) : autostartFolder;
}

Location writeLocation(const Places &places, int root, const QList<QByteArray> &path)
{
    return {root == store::kLocalMachine ? places.machineStore() : places.userStore(), root, path};
}

QList<Location> readLocations(const Places &places, int root, const QList<QByteArray> &path)
{
    if (root != store::kClassesRoot)
        return {writeLocation(places, root, path)};
    const QList<QByteArray> classes{QByteArrayLiteral("Software"), QByteArrayLiteral("Classes")};
    return {writeLocation(places, root, path), Location{places.userStore(), store::kCurrentUser, classes + path},
            Location{places.machineStore(), store::kLocalMachine, classes + path}};
}

const store::Tree &Snapshot::tree(const QString &file)
{
    auto it = trees_.find(file);
    if (it == trees_.end())
        it = trees_.emplace(file, store::snapshot(file).tree).first;
    return *it->second;
}

const store::Key *Snapshot::find(const Location &location)
{
    const store::Tree &in = tree(location.file);
    const auto it = in.find(store::foldedPath(location.root, location.path));
    return it == in.end() ? nullptr : &it->second;
}

const store::Key *Snapshot::find(const Places &places, int root, const QList<QByteArray> &path)
{
    for (const Location &location : readLocations(places, root, path)) {
        if (const store::Key *found = find(location))
            return found;
    }
    return nullptr;
}

}  // namespace platform::places
