#pragma once

// The entry points through which hosts find and create the library's
// controls without linking the library: they load libTarnelMP3.so, look the
// names below up by name and call them. All are plain C functions that
// never let an exception out.

class QWidget;

#define TARNEL_EXPORT __attribute__((visibility("default")))

extern "C" {

// Records the ProgIDs SonbrelMP3.SBMP3Player and SonbrelMP3.SBMP3PlayList
// under HKEY_CURRENT_USER "Software\\Classes\\<ProgID>": the default value a
// readable name, "Library" the absolute path of this library, "Class" the
// class name that TarnelCreateControl takes. Returns 0 or the registry's
// error code.
TARNEL_EXPORT long DllRegisterServer(void);

// Removes the ProgID keys that name this library; keys that name another
// copy of the library are left alone. Returns 0 (also when nothing was
// registered) or the registry's error code.
TARNEL_EXPORT long DllUnregisterServer(void);

// The machine-wide registration, which the install step makes for every
// user of the installation: records (`install` non-zero) or removes the
// same ProgIDs under HKEY_LOCAL_MACHINE "Software\\Classes\\<ProgID>" of the
// machine-wide registry store `storeFile` (null or empty: the one of this
// library's installation). `libraryPath` is the absolute path recorded and
// compared (null or empty: this library as loaded); a staged install
// passes the path the library will have once installed. Returns 0 or the
// registry's error code: ERROR_ACCESS_DENIED (5) without the right to
// write the store, ERROR_INVALID_PARAMETER (87) for a relative path.
TARNEL_EXPORT long TarnelRegisterMachine(int install, const char *storeFile, const char *libraryPath);

// The class factory: a new control of the named class, child of `parent`;
// nullptr for a class the library does not make (or could not make).
TARNEL_EXPORT QWidget *TarnelCreateControl(const char *className, QWidget *parent);

}  // extern "C"
