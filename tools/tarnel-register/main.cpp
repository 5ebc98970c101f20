// tarnel-register [--unregister] <path to libTarnelMP3.so>
//
// Loads the library and calls its DllRegisterServer (or DllUnregisterServer),
// which record (or remove) its ProgIDs in the per-user registry store, so
// that hosts can create its controls by ProgID. Prints one line; exits with
// 0 on success and 1 otherwise.
#include "SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

using EntryPoint = long();

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
    const QString path = QDir::cleanPath(QFileInfo(QFile::decodeName(libraryArgument)).absoluteFilePath());
    const QByteArray shownPath = QFile::encodeName(path);

    QString reason;
    const auto library = platform::SharedLibrary::load(path, &reason);
    if (!library) {
        std::fprintf(stderr, "tarnel-register: cannot load %s: %s\n", shownPath.constData(), qPrintable(reason));
        return 1;
    }
    const char *entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto *entry = library->function<EntryPoint>(entryName);
    if (!entry) {
        std::fprintf(stderr, "tarnel-register: %s has no %s\n", shownPath.constData(), entryName);
        return 1;
    }
    const long result = entry();
    if (result != 0) {
        std::fprintf(stderr, "tarnel-register: %s of %s failed with registry error %ld\n", entryName,
                     shownPath.constData(), result);
        return 1;
    }
    std::printf("tarnel-register: %s the controls of %s\n", unregister ? "unregistered" : "registered",
                shownPath.constData());
    // The library stays loaded until the program ends: its Qt objects and
    // static data go with the process, not before.
    return 0;
}
