// tarnel-register [--unregister] <path to libTarnelMP3.so>
//
// Loads the library and calls its DllRegisterServer (or DllUnregisterServer),
// which record (or remove) its ProgIDs in the per-user registry store, so
// that hosts can create its controls by ProgID. Prints one line; exits with
// 0 on success and 1 otherwise.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

using EntryPoint = long (*)();

int usage()
{
    std::fprintf(stderr, "usage: tarnel-register [--unregister] <path to libTarnelMP3.so>\n");
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    bool unregister = false;
    const char *libraryArgument = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--unregister") == 0 && !unregister)
            unregister = true;
        else if (argv[i][0] != '-' && !libraryArgument)
            libraryArgument = argv[i];
        else
            return usage();
    }
    if (!libraryArgument || !*libraryArgument)
        return usage();

    // The library records the path it was loaded from, so it is loaded by
    // its absolute path (links are kept: the record follows them).
    std::error_code error;
    const std::filesystem::path library = std::filesystem::absolute(libraryArgument, error);
    if (error) {
        std::fprintf(stderr, "tarnel-register: %s: %s\n", libraryArgument, error.message().c_str());
        return 1;
    }
    const std::string path = library.lexically_normal().string();

    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *reason = dlerror();
        std::fprintf(stderr, "tarnel-register: cannot load %s: %s\n", path.c_str(), reason ? reason : "unknown error");
        return 1;
    }
    const char *entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, entryName));
    if (!entry) {
        std::fprintf(stderr, "tarnel-register: %s has no %s\n", path.c_str(), entryName);
        return 1;
    }
    const long result = entry();
    if (result != 0) {
        std::fprintf(stderr, "tarnel-register: %s of %s failed with registry error %ld\n", entryName, path.c_str(),
                     result);
        return 1;
    }
    std::printf("tarnel-register: %s the controls of %s\n", unregister ? "unregistered" : "registered", path.c_str());
    // The library stays loaded until the program ends: its Qt objects and
    // static data go with the process, not before.
    return 0;
}
