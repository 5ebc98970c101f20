#pragma once

#include <QString>
#include <QStringList>

// Where the machine-wide registry store lives, and who may change it.
//
// The machine-wide store holds HKEY_LOCAL_MACHINE for every user of an
// installation: it is a store file of the same format as the per-user one
// (RegistryStore.h), kept under the install prefix as
// "<prefix>/<data folder>/tarnel-platform/registry.ini" and written by the
// install step. A program or library finds it from its own place: the
// platform layer is linked into each of them, so the loaded object that
// holds this code lies in the prefix's program folder or library folder.
// A build folder has the same layout (bin/, lib/, share/), so it is a
// prefix of its own.
namespace platform::machine {

// The environment variable that names the machine-wide store file instead
// (tests and staged installs); empty or unset: found from the object's place.
inline constexpr char kStoreVariable[] = "TARNEL_PLATFORM_MACHINE_STORE";

// The store files that an object in `objectFolder` looks at, best first:
// the one its install layout gives (`isProgram` tells a program's folder
// from a library's) and the one beside a flat build folder's bin/ and lib/.
QStringList candidateFiles(const QString &objectFolder, bool isProgram);

// The machine-wide store of this process's copy of the platform layer: the
// environment variable's file when it is set, otherwise the first candidate
// that exists, otherwise the first candidate. Empty when the object's place
// cannot be found.
QString defaultStoreFile();

// Whether this process may change the store file at `path`: write the file
// (when it exists) and create files in its folder (the lock, the file that
// replaces it), or, when the folder is missing, create it.
bool mayChange(const QString &path);

// Makes the store's folder (when missing) and file readable by every user,
// whatever the umask of the process that wrote them: every user reads
// what the install step wrote.
void shareWithEveryone(const QString &path);

}  // namespace platform::machine
