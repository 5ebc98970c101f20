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

QString pathOfLoadedObject(const void *address)
{
    Dl_info info{};
    link_map *object = nullptr;
    if (address == nullptr || dladdr1(address, &info, reinterpret_cast<void **>(&object), RTLD_DL_LINKMAP) == 0)
        return {};
    // The loader knows the program by the name it was started with (a bare
    // name found through PATH, a path relative to the folder it was started
    // in); the kernel knows its file.
    if (object != nullptr && object->l_name != nullptr && *object->l_name == '\0')
        return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (info.dli_fname == nullptr || *info.dli_fname == '\0')
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

bool isInProgram(const void *address)
{
    Dl_info info{};
    link_map *object = nullptr;
    return address != nullptr && dladdr1(address, &info, reinterpret_cast<void **>(&object), RTLD_DL_LINKMAP) != 0
           && object != nullptr && object->l_name != nullptr && *object->l_name == '\0';
}

}  // namespace platform
