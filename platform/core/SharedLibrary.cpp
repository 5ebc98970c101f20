// The one place where the project asks the dynamic loader for anything.
#include "SharedLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <dlfcn.h>

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
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0')
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

}  // namespace platform
