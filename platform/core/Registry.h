#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include <cstdint>

// The registry calls of the Windows API, with the same arguments and result
// codes, over two store files: the user's own and the machine-wide one.
// Code written against the Windows API uses them after
// `using namespace platform;`.
//
// - HKEY_CURRENT_USER is a subtree of the per-user store.
// - HKEY_LOCAL_MACHINE is the machine-wide store (MachineStore.h), which
//   the install step writes and every user of the installation reads.
//   Changing it needs the right to write that file: without it, the calls
//   that would change it give ERROR_ACCESS_DENIED.
// - HKEY_CLASSES_ROOT has a subtree of its own in the per-user store, where
//   its changes go. A key is read from the first of these that holds it:
//   that subtree, HKEY_CURRENT_USER "Software\\Classes", then
//   HKEY_LOCAL_MACHINE "Software\\Classes" (the machine-wide half), so a
//   user's own record wins over the machine's.
// - Key names are separated by "\\"; key and value names compare without
//   regard to case. The empty (or null) value name is the key's default value.
// - Text is UTF-8. REG_SZ data is stored up to its first NUL and read back
//   with a terminating NUL; REG_DWORD data is 4 bytes, little-endian.
// - Every call sees the store file as it is now, so changes made by another
//   process are seen at once; a file that has not changed since it was last
//   read is not read again. Changes are made under a lock file and written
//   beside the store, then renamed over it; the store is the user's alone
//   (mode 0600). Lines of the store that cannot be parsed are left out (a
//   store without its header reads as empty); the first change copies the
//   file aside (".corrupt") before replacing it, and is refused when that
//   copy cannot be made. A store that is not a regular file or is too large
//   reads as empty and is never written over. The store's file and format
//   are RegistryStore.h's.
// - "Software\\Microsoft\\Windows\\CurrentVersion\\Run" under
//   HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE is the desktop's autostart
//   folder: each REG_SZ value is the file "<value name>.desktop" there, whose
//   Exec line runs the command (Autostart.h). That key always exists and has
//   no subkeys.
// - Handles are entries of a handle table. A closed or unknown handle gives
//   ERROR_INVALID_HANDLE; a handle whose key was deleted gives
//   ERROR_KEY_DELETED. All calls may be made from any thread.
namespace platform {

// An open key. Never dereferenced: its value names an entry of the table.
using HKEY = struct RegistryKey *;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

// Value types. Only these two are stored.
inline constexpr unsigned long REG_SZ = 1;
inline constexpr unsigned long REG_DWORD = 4;

// Access rights asked for when a key is opened. Querying a value needs
// KEY_QUERY_VALUE, setting or deleting one KEY_SET_VALUE, creating a subkey
// KEY_CREATE_SUB_KEY; otherwise the call gives ERROR_ACCESS_DENIED.
inline constexpr unsigned long KEY_QUERY_VALUE = 0x0001;
inline constexpr unsigned long KEY_SET_VALUE = 0x0002;
inline constexpr unsigned long KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr unsigned long KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr unsigned long KEY_READ = 0x20019;
inline constexpr unsigned long KEY_WRITE = 0x20006;
inline constexpr unsigned long KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExA options (all keys are kept) and dispositions.
inline constexpr unsigned long REG_OPTION_NON_VOLATILE = 0;
inline constexpr unsigned long REG_CREATED_NEW_KEY = 1;
inline constexpr unsigned long REG_OPENED_EXISTING_KEY = 2;

// Result codes.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_CANTWRITE = 1013;  // the store or entry could not be written
inline constexpr long ERROR_KEY_DELETED = 1018;

// Accepted for the argument list's sake; its contents are ignored.
struct SECURITY_ATTRIBUTES {
    unsigned long nLength;
    void *lpSecurityDescriptor;
    int bInheritHandle;
};

// Opens an existing key. A null or empty subKey opens a new handle to `root`
// itself. ERROR_FILE_NOT_FOUND when the key does not exist; `*result` is
// null whenever the call fails.
long RegOpenKeyExA(HKEY root, const char *subKey, unsigned long options,
                   unsigned long samDesired, HKEY *result);

// Opens a key, creating it and any missing keys above it. `disposition`, when
// given, receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
long RegCreateKeyExA(HKEY root, const char *subKey, unsigned long reserved, char *keyClass,
                     unsigned long options, unsigned long samDesired,
                     const SECURITY_ATTRIBUTES *security, HKEY *result,
                     unsigned long *disposition);

// Reads a value. With null `data`, `*dataSize` receives the size needed; a
// buffer too small gives ERROR_MORE_DATA and the size needed. `reserved`
// must be null. `type`, `data` and `dataSize` may all be null to ask whether
// the value exists.
long RegQueryValueExA(HKEY key, const char *valueName, unsigned long *reserved,
                      unsigned long *type, unsigned char *data, unsigned long *dataSize);

// Writes a value: REG_SZ (stored up to the first NUL) or REG_DWORD (exactly
// 4 bytes); any other type gives ERROR_INVALID_PARAMETER.
long RegSetValueExA(HKEY key, const char *valueName, unsigned long reserved, unsigned long type,
                    const unsigned char *data, unsigned long size);

// Removes a value; ERROR_FILE_NOT_FOUND when there is none.
long RegDeleteValueA(HKEY key, const char *valueName);

// Removes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some,
// and for the roots and the Run key and the keys above it).
long RegDeleteKeyA(HKEY key, const char *subKey);

// Closes a handle. Closing a root is allowed and does nothing.
long RegCloseKey(HKEY key);

// Points the stores and the autostart folder elsewhere (tests use a
// temporary folder). An empty argument stands for the default place of that
// one: GenericConfigLocation + "/tarnel-platform/registry.ini",
// GenericConfigLocation + "/autostart", and the machine-wide store of
// MachineStore.h (machine::defaultStoreFile()).
void setRegistryLocation(const QString &storeFile, const QString &autostartFolder,
                         const QString &machineStoreFile = QString());
void restoreDefaultRegistryLocation();
QString registryStoreFile();
QString registryAutostartFolder();
QString registryMachineStoreFile();

// The icon (a name of the icon theme or an absolute path) that the
// autostart entries written from now on through the Run key show; empty:
// none. The desktop shows it in its list of programs started at login.
void setAutostartIcon(const QString &icon);

// Moves a store that an earlier version kept at `formerStoreFile` into the
// store file, once, safely when several processes start at once: with no
// store there yet the former file becomes it; otherwise the keys and values
// it lacks are added from the former store and its own stay. The former file
// and its lock file are then removed. True when no store is left at the
// former place; false when one is left because it could not be read, locked
// or merged (the next call tries again). Call it before the first registry
// call of the process.
bool moveRegistryStoreFrom(const QString &formerStoreFile);

// Helpers for callers of the calls above.

// Closes a registry handle when it goes out of scope.
struct OpenedKey {
    HKEY key = nullptr;
    OpenedKey() = default;
    OpenedKey(const OpenedKey &) = delete;
    OpenedKey &operator=(const OpenedKey &) = delete;
    ~OpenedKey()
    {
        if (key)
            RegCloseKey(key);
    }
};

// A REG_SZ value without its terminating NUL; nothing when the value is
// missing or not text. A value that another process makes longer between
// asking its size and reading it is read again.
std::optional<QByteArray> queryTextValue(HKEY key, const char *valueName);

}  // namespace platform
