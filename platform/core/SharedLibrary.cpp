// The one place where the project asks the dynamic loader for anything.
#include "SharedLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <QDir>

#include <cerrno>
#include <cstring>
#include <vector>

#include <dlfcn.h>
#include <grp.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Whether `gid` is the private group of the user `uid`: the user's own
// primary group, named after the user, with no other member. Many systems
// give every user such a group and a umask of 002, so a group-writable file
// of theirs can still be written by nobody else.
bool isPrivateGroupOf(gid_t gid, uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd user{};
    passwd *foundUser = nullptr;
    if (::getpwuid_r(uid, &user, buffer.data(), buffer.size(), &foundUser) != 0 || !foundUser
        || user.pw_gid != gid)
        return false;
    const QByteArray userName(user.pw_name);
    std::vector<char> groupBuffer(65536);
    group entry{};
    group *foundGroup = nullptr;
    if (::getgrgid_r(gid, &entry, groupBuffer.data(), groupBuffer.size(), &foundGroup) != 0 || !foundGroup
        || userName != entry.gr_name)
        return false;
    for (char **member = entry.gr_mem; member && *member; ++member) {
        if (userName != *member)
            return false;
    }
    return true;
}

}  // namespace

SharedLibrary::SharedLibrary(std::shared_ptr<QLibrary> library) : library_(std::move(library)) {}

std::optional<SharedLibrary> SharedLibrary::load(const QString &path, QString *error)
{
    // Destroying a QLibrary leaves its library loaded; PreventUnloadHint
    // keeps it so even should some other QLibrary of the same file unload.
    auto library = std::make_shared<QLibrary>(path);
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
    if (!library->load()) {
        if (error)
            *error = library->errorString();
        return std::nullopt;
    }
    return SharedLibrary(std::move(library));
}

QFunctionPointer SharedLibrary::resolve(const char *name) const
{
    return name ? library_->resolve(name) : nullptr;
}

QString SharedLibrary::path() const
{
    return library_->fileName();
}

std::optional<QString> whyOthersCouldReplace(const QString &path)
{
    const uid_t me = ::geteuid();
    const auto check = [me](const QString &item, bool isFolder) -> std::optional<QString> {
        const QString shown = QDir::toNativeSeparators(item);
        struct stat status {};
        if (::stat(QFile::encodeName(item).constData(), &status) != 0)
            return QStringLiteral("%1 cannot be examined: %2").arg(shown, qt_error_string(errno));
        if (status.st_uid != 0 && status.st_uid != me)
            return QStringLiteral("%1 belongs to another user (uid %2)").arg(shown).arg(status.st_uid);
        const bool groupMayWrite =
            (status.st_mode & S_IWGRP) != 0 && !isPrivateGroupOf(status.st_gid, status.st_uid);
        const bool othersMayWrite = groupMayWrite || (status.st_mode & S_IWOTH) != 0;
        if (othersMayWrite && !(isFolder && (status.st_mode & S_ISVTX)))
            return QStringLiteral("%1 may be written by other users").arg(shown);
        return std::nullopt;
    };
    const QFileInfo info(path);
    QStringList folders{info.absolutePath()};
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty() && QFileInfo(target).absolutePath() != folders.front())
        folders << QFileInfo(target).absolutePath();
    if (auto why = check(info.absoluteFilePath(), false))
        return why;
    for (const QString &folder : folders) {
        if (auto why = check(folder, true))
            return why;
    }
    return std::nullopt;
}

namespace {

// The loaded object holding `address`: its loader record, and whether it
// is the program itself (the loader records the program without a name).
struct LoadedObject {
    Dl_info info{};
    bool found = false;
    bool isProgram = false;
};

LoadedObject loadedObjectHolding(const void *address)
{
    LoadedObject object;
    link_map *map = nullptr;
    if (address == nullptr || dladdr1(address, &object.info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) == 0)
        return object;
    object.found = true;
    object.isProgram = map != nullptr && map->l_name != nullptr && *map->l_name == '\0';
    return object;
}

}  // namespace

QString pathOfLoadedObject(const void *address)
{
    const LoadedObject object = loadedObjectHolding(address);
    if (!object.found)
        return {};
    // The loader knows the program by the name it was started with (a bare
    // name found through PATH, a path relative to the folder it was started
    // in); the kernel knows its file.
    if (object.isProgram)
        return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (object.info.dli_fname == nullptr || *object.info.dli_fname == '\0')
        return {};
    return QFileInfo(QFile::decodeName(object.info.dli_fname)).absoluteFilePath();
}

bool isInProgram(const void *address)
{
    return loadedObjectHolding(address).isProgram;
}

}  // namespace platform
