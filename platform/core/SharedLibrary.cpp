// The one place where the project asks the dynamic loader for anything.
#include "SharedLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <dlfcn.h>
#include <link.h>

namespace platform {

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
