// tarnel-register [--unregister] <path to libTarnelMP3.so>
// tarnel-register [--unregister] --machine [--store FILE] [--as PATH] <path to libTarnelMP3.so>
//
// Loads the library and calls its DllRegisterServer (or DllUnregisterServer),
// which record (or remove) its ProgIDs in the per-user registry store, so
// that hosts can create its controls by ProgID. With --machine the record
// goes to the machine-wide store of the library's installation (or FILE)
// for every user, naming the library by PATH when given: the install step
// registers a library staged under DESTDIR by the path it will have.
// Prints one line; exits with 0 on success and 1 otherwise.
#include "SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

using EntryPoint = long();
using MachineEntryPoint = long(int install, const char *storeFile, const char *libraryPath);

int usage()
{
    std::fprintf(stderr, "usage: tarnel-register [--unregister] <path to libTarnelMP3.so>\n"
                         "       tarnel-register [--unregister] --machine [--store FILE] [--as PATH] "
                         "<path to libTarnelMP3.so>\n");
    return 1;
}

QString absolute(const char *path)
{
    return QDir::cleanPath(QFileInfo(QFile::decodeName(path)).absoluteFilePath());
}

}  // namespace

int main(int argc, char **argv)
{
    bool unregister = false;
    bool machine = false;
    const char *libraryArgument = nullptr;
    const char *storeArgument = nullptr;
    const char *asArgument = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc && *argv[i + 1];
        if (std::strcmp(argv[i], "--unregister") == 0 && !unregister)
            unregister = true;
        else if (std::strcmp(argv[i], "--machine") == 0 && !machine)
            machine = true;
        else if (std::strcmp(argv[i], "--store") == 0 && !storeArgument && hasValue)
            storeArgument = argv[++i];
        else if (std::strcmp(argv[i], "--as") == 0 && !asArgument && hasValue)
            asArgument = argv[++i];
        else if (argv[i][0] != '-' && !libraryArgument)
            libraryArgument = argv[i];
        else
            return usage();
    }
    if (!libraryArgument || !*libraryArgument || ((storeArgument || asArgument) && !machine))
        return usage();

    // The library records the path it was loaded from, so it is loaded by
    // its absolute path (links are kept: the record follows them).
    const QString path = absolute(libraryArgument);
    const QByteArray shownPath = QFile::encodeName(path);

    QString reason;
    const auto library = platform::SharedLibrary::load(path, &reason);
    if (!library) {
        std::fprintf(stderr, "tarnel-register: cannot load %s: %s\n", shownPath.constData(), qPrintable(reason));
        return 1;
    }
    const char *entryName = machine ? "TarnelRegisterMachine"
                            : unregister ? "DllUnregisterServer"
                                         : "DllRegisterServer";
    long result = 0;
    QByteArray recorded = shownPath;
    QByteArray where = "for this user";
    if (machine) {
        auto *entry = library->function<MachineEntryPoint>(entryName);
        if (!entry) {
            std::fprintf(stderr, "tarnel-register: %s has no %s\n", shownPath.constData(), entryName);
            return 1;
        }
        const QByteArray store = storeArgument ? QFile::encodeName(absolute(storeArgument)) : QByteArray();
        if (asArgument)
            recorded = QFile::encodeName(absolute(asArgument));
        where = store.isEmpty() ? QByteArray("for every user") : "for every user in " + store;
        result = entry(unregister ? 0 : 1, store.isEmpty() ? nullptr : store.constData(),
                       asArgument ? recorded.constData() : nullptr);
    } else {
        auto *entry = library->function<EntryPoint>(entryName);
        if (!entry) {
            std::fprintf(stderr, "tarnel-register: %s has no %s\n", shownPath.constData(), entryName);
            return 1;
        }
        result = entry();
    }
    if (result != 0) {
        std::fprintf(stderr, "tarnel-register: %s of %s failed with registry error %ld%s\n", entryName,
                     shownPath.constData(), result,
                     result == 5 ? " (no right to write the registry store)" : "");
        return 1;
    }
    std::printf("tarnel-register: %s the controls of %s %s\n", unregister ? "unregistered" : "registered",
                recorded.constData(), where.constData());
    // The library stays loaded until the program ends: its Qt objects and
    // static data go with the process, not before.
    return 0;
}
