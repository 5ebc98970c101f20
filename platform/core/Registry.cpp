// The registry calls over the stores: handles, access rights, result codes,
// and the Run key, whose values are the desktop's autostart entries.
#include "Registry.h"

#include "Autostart.h"
#include "MachineStore.h"
#include "RegistryPlaces.h"
#include "RegistryStore.h"
#include "TextFile.h"

#include <QFileInfo>

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace platform {

namespace {

using store::Tree;

static_assert(store::kText == REG_SZ && store::kNumber == REG_DWORD);

constexpr const char *kRunPath[] = {"software", "microsoft", "windows", "currentversion", "run"};
constexpr qsizetype kRunDepth = 5;

// Where a key lies: the Run key and the keys above it are not in the store.
enum class Place { Store, Root, AboveRun, Run, UnderRun };

Place placeOf(int root, const QList<QByteArray> &path)
{
    if (path.isEmpty())
        return Place::Root;
    if (root != store::kCurrentUser && root != store::kLocalMachine)
        return Place::Store;
    const qsizetype shared = std::min(path.size(), kRunDepth);
    for (qsizetype i = 0; i < shared; ++i) {
        if (store::fold(path.at(i)) != kRunPath[i])
            return Place::Store;
    }
    if (path.size() < kRunDepth)
        return Place::AboveRun;
    return path.size() == kRunDepth ? Place::Run : Place::UnderRun;
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
    places::Places places;
    QString autostartIcon;
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
    for (int root = 0; root < store::kRootCount; ++root) {
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

QByteArray nameOf(const char *valueName)
{
    return valueName ? QByteArray(valueName) : QByteArray();
}

// Whether the key exists in `tree`: the roots, the Run key and the keys
// above it always do.
bool exists(const Tree &tree, const OpenKey &key)
{
    const Place place = placeOf(key.root, key.path);
    if (place == Place::Root || place == Place::AboveRun || place == Place::Run)
        return true;
    return tree.count(store::foldedPath(key.root, key.path)) > 0;
}

// Whether the key exists wherever it is read from.
bool exists(const Registry &r, const OpenKey &key)
{
    places::Snapshot snapshot;
    return exists(Tree(), key) || snapshot.find(r.places, key.root, key.path) != nullptr;
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

// Changes the store that keeps `key`; `edit` gives the call's result and
// sets `changed` when there is something to write. The machine-wide store
// is changed only by those who may write it, and stays readable by all.
long changeStore(const Registry &r, const OpenKey &key, const std::function<long(Tree &, bool &)> &edit)
{
    const QString path = places::writeLocation(r.places, key.root, key.path).file;
    const bool machineWide = key.root == store::kLocalMachine;
    if (machineWide && !machine::mayChange(path))
        return ERROR_ACCESS_DENIED;
    // The folders of the machine-wide store are everyone's to read and pass
    // (the store's own lock-down mode is for a user's store).
    if (machineWide)
        makeFolders(QFileInfo(path).absolutePath(), 0755);
    long result = ERROR_SUCCESS;
    bool written = false;
    const bool done = store::change(path, [&](Tree &tree) {
        bool changed = false;
        result = edit(tree, changed);
        written = result == ERROR_SUCCESS && changed;
        return written;
    });
    if (done && written && machineWide)
        machine::shareWithEveryone(path);
    return done ? result : ERROR_CANTWRITE;
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
    const auto path = store::splitKeyPath(nameOf(subKey));
    if (!result || !path)
        return ERROR_INVALID_PARAMETER;
    OpenKey target{base->root, base->path + *path, samDesired};
    if (!exists(r, target))
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
    const auto path = subKey ? store::splitKeyPath(subKey) : std::nullopt;
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
        // A key of HKEY_CLASSES_ROOT that only the user's or the machine's
        // classes hold gets its subkeys in the subtree of its own.
        const bool baseElsewhere = base->root == store::kClassesRoot && exists(r, *base);
        // An existing machine-wide key opens without a change, also for
        // those who may not change the store.
        const bool machineKeyExists = target.root == store::kLocalMachine && exists(r, target);
        const long status = machineKeyExists ? ERROR_SUCCESS : changeStore(r, target, [&](Tree &tree, bool &changed) {
            if (!exists(tree, *base) && !baseElsewhere)
                return ERROR_KEY_DELETED;
            store::ensureKey(tree, target.root, target.path, &created);
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
        const auto value = autostart::read(r.places.autostart(), nameOf(valueName));
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        return answer(REG_SZ, *value + '\0', type, data, dataSize);
    }

    places::Snapshot snapshot;
    const store::Key *found = snapshot.find(r.places, open->root, open->path);
    if (!found)
        return exists(Tree(), *open) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    const auto valueIt = found->values.find(store::fold(nameOf(valueName)));
    if (valueIt == found->values.end())
        return ERROR_FILE_NOT_FOUND;
    const store::Value &value = valueIt->second;
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

    store::Value value;
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
        switch (autostart::write(r.places.autostart(), value.name, value.text, r.autostartIcon)) {
        case autostart::Result::Done: return ERROR_SUCCESS;
        case autostart::Result::InvalidValue: return ERROR_INVALID_PARAMETER;
        default: return ERROR_CANTWRITE;
        }
    }

    const bool keyElsewhere = open->root == store::kClassesRoot && exists(r, *open);
    return changeStore(r, *open, [&](Tree &tree, bool &changed) {
        if (!exists(tree, *open) && !keyElsewhere)
            return ERROR_KEY_DELETED;
        store::Key &target = store::ensureKey(tree, open->root, open->path);
        const QByteArray folded = store::fold(value.name);
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
        switch (autostart::remove(r.places.autostart(), nameOf(valueName))) {
        case autostart::Result::Done: return ERROR_SUCCESS;
        case autostart::Result::NotFound: return ERROR_FILE_NOT_FOUND;
        default: return ERROR_ACCESS_DENIED;
        }
    }

    return changeStore(r, *open, [&](Tree &tree, bool &changed) {
        if (!exists(tree, *open))
            return ERROR_KEY_DELETED;
        const auto keyIt = tree.find(store::foldedPath(open->root, open->path));
        if (keyIt == tree.end() || keyIt->second.values.erase(store::fold(nameOf(valueName))) == 0)
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
    const auto path = subKey ? store::splitKeyPath(subKey) : std::nullopt;
    if (!path)
        return ERROR_INVALID_PARAMETER;
    const OpenKey target{open->root, open->path + *path, KEY_ALL_ACCESS};
    if (placeOf(target.root, target.path) != Place::Store)
        return ERROR_ACCESS_DENIED;

    return changeStore(r, target, [&](Tree &tree, bool &changed) {
        const QByteArray folded = store::foldedPath(target.root, target.path);
        if (!tree.count(folded))
            return ERROR_FILE_NOT_FOUND;
        if (store::hasSubkeys(tree, folded))
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

void setRegistryLocation(const QString &storeFile, const QString &autostartFolder,
                         const QString &machineStoreFile)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    r.places = {storeFile, autostartFolder, machineStoreFile};
}

void restoreDefaultRegistryLocation()
{
    setRegistryLocation(QString(), QString());
}

QString registryStoreFile()
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return r.places.userStore();
}

QString registryAutostartFolder()
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return r.places.autostart();
}

QString registryMachineStoreFile()
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return r.places.machineStore();
}

void setAutostartIcon(const QString &icon)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    r.autostartIcon = icon;
}

bool moveRegistryStoreFrom(const QString &formerStoreFile)
{
    Registry &r = registry();
    const std::lock_guard guard(r.mutex);
    return store::moveFrom(formerStoreFile, r.places.userStore());
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
