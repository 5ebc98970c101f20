#pragma once

#include <QFunctionPointer>
#include <QString>

#include <memory>
#include <optional>

class QLibrary;

namespace platform {

// A shared library loaded at run time. Every symbol it needs is bound as it
// loads (a library with a missing dependency fails to load rather than
// later, in a call), and its own symbols stay its own: they never stand in
// for those of libraries loaded after it. A library is never unloaded: the
// objects and threads it made may outlive whoever loaded it.
class SharedLibrary {
public:
    // Loads the library at `path`. A path with a folder is loaded from
    // there; a bare file name goes through the dynamic loader's search.
    // Loading a library that is loaded already gives the same library.
    // Nothing when it cannot be loaded; `error` then says why.
    static std::optional<SharedLibrary> load(const QString &path, QString *error = nullptr);

    // The exported function `name`; null when the library has none.
    QFunctionPointer resolve(const char *name) const;

    template <typename Function>
    Function *function(const char *name) const
    {
        return reinterpret_cast<Function *>(resolve(name));
    }

    // The path the library was loaded by.
    QString path() const;

private:
    explicit SharedLibrary(std::shared_ptr<QLibrary> library);

    std::shared_ptr<QLibrary> library_;
};

// Why a user other than this one (and root) could replace the code at
// `path` before or after it is loaded: the file, or the folder it lies in
// (the folder of the file a link leads to as well), belongs to another user,
// or the group or others may write to it; a folder with the sticky bit, in
// which only a file's owner may replace it, is safe to share, and so is a
// group that is the owner's private one (named after the owner, no other
// member), as with a umask of 002. Nothing when
// only this user and root can change what loads.
std::optional<QString> whyOthersCouldReplace(const QString &path);

// The absolute path of the loaded shared object (library or program) that
// holds `address`. A library's path is the one the dynamic loader knows:
// symbolic links are kept, so a path found through a link follows the link
// later. The program's is the file the kernel runs, however it was started
// (a bare name found through PATH, a relative path). Empty when no loaded
// object holds the address.
QString pathOfLoadedObject(const void *address);

// Whether the loaded object that holds `address` is the program itself
// rather than a shared library.
bool isInProgram(const void *address);

}  // namespace platform
