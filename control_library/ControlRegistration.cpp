// The library's registration records and its class factory: what a host
// needs to create a control by ProgID without linking the library.
#include "ControlRegistration.h"

#include "Registry.h"
#include "SharedLibrary.h"
#include "player/SBMP3Player.h"
#include "playlist/SBMP3PlayList.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <array>
#include <cstring>
#include <optional>

namespace {

using namespace platform;

struct ControlClass {
    const char *progId;
    const char *className;
    const char *displayName;
};

constexpr std::array kControlClasses{
    ControlClass{"SonbrelMP3.SBMP3Player", "SBMP3Player", "SonbrelMP3 MP3 Player Control"},
    ControlClass{"SonbrelMP3.SBMP3PlayList", "SBMP3PlayList", "SonbrelMP3 Play List Control"},
};

constexpr long kErrorOutOfMemory = 14;

QByteArray progIdKey(const ControlClass &control)
{
    return QByteArray("Software\\Classes\\") + control.progId;
}

// The absolute path of this library as the loader knows it; empty when it
// cannot be found. Symbolic links are kept, so that a record made through
// libTarnelMP3.so follows the link when the library is updated.
QByteArray libraryPath()
{
    return QFile::encodeName(platform::pathOfLoadedObject(reinterpret_cast<const void *>(&TarnelCreateControl)));
}

// Whether two library paths name the same file: the same path, or the same
// file reached through links.
bool sameLibrary(const QByteArray &left, const QByteArray &right)
{
    if (left == right)
        return true;
    const QString leftFile = QFileInfo(QFile::decodeName(left)).canonicalFilePath();
    return !leftFile.isEmpty() && leftFile == QFileInfo(QFile::decodeName(right)).canonicalFilePath();
}

long setText(HKEY key, const char *valueName, const QByteArray &text)
{
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const unsigned char *>(text.constData()),
                          static_cast<unsigned long>(text.size() + 1));
}

// The class name is written before the library path, so that a host reading
// at the same time sees either no library (not registered) or a whole record.
long registerClass(HKEY root, const ControlClass &control, const QByteArray &library)
{
    OpenedKey opened;
    long result = RegCreateKeyExA(root, progIdKey(control).constData(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &opened.key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = setText(opened.key, nullptr, control.displayName);
    if (result == ERROR_SUCCESS)
        result = setText(opened.key, "Class", control.className);
    if (result == ERROR_SUCCESS)
        result = setText(opened.key, "Library", library);
    return result;
}

// A record is one key holding values only, so it goes with one
// RegDeleteKeyA. A key that names another library, or no library, is not
// ours and stays. Should someone have put a subkey under the record, the
// layer refuses the deletion (it removes only keys without subkeys) and the
// refusal is returned rather than guessing what else may go.
long unregisterClass(HKEY root, const ControlClass &control, const QByteArray &library)
{
    const QByteArray keyName = progIdKey(control);
    std::optional<QByteArray> registered;
    {
        OpenedKey opened;
        const long result =
            RegOpenKeyExA(root, keyName.constData(), 0, KEY_QUERY_VALUE, &opened.key);
        if (result == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            return result;
        registered = queryTextValue(opened.key, "Library");
    }
    if (!registered || !sameLibrary(*registered, library))
        return ERROR_SUCCESS;
    const long result = RegDeleteKeyA(root, keyName.constData());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

// Runs `change` for every class, with `library` as the library's path
// (empty: this library as loaded); goes on after a failure so that as much
// as possible is done, and returns the first error.
template <typename Change>
long forEachClass(HKEY root, Change change, QByteArray library = QByteArray()) noexcept
{
    try {
        if (library.isEmpty())
            library = libraryPath();
        if (library.isEmpty())
            return ERROR_FILE_NOT_FOUND;
        long firstError = ERROR_SUCCESS;
        for (const ControlClass &control : kControlClasses) {
            const long result = change(root, control, library);
            if (firstError == ERROR_SUCCESS)
                firstError = result;
        }
        return firstError;
    } catch (const std::bad_alloc &) {
        return kErrorOutOfMemory;
    } catch (...) {
        return ERROR_CANTWRITE;
    }
}

}  // namespace

extern "C" {

long DllRegisterServer(void)
{
    return forEachClass(HKEY_CURRENT_USER, registerClass);
}

long DllUnregisterServer(void)
{
    return forEachClass(HKEY_CURRENT_USER, unregisterClass);
}

long TarnelRegisterMachine(int install, const char *storeFile, const char *libraryPath)
{
    try {
        const QByteArray library = libraryPath ? QByteArray(libraryPath) : QByteArray();
        if (!library.isEmpty() && !QFileInfo(QFile::decodeName(library)).isAbsolute())
            return ERROR_INVALID_PARAMETER;
        // Only this library's own copy of the registry layer is pointed at
        // the store, and only for this call.
        const QString store = storeFile ? QFile::decodeName(storeFile) : QString();
        setRegistryLocation(QString(), QString(), store.isEmpty() ? QString() : QFileInfo(store).absoluteFilePath());
        const long result = forEachClass(HKEY_LOCAL_MACHINE, install ? registerClass : unregisterClass, library);
        restoreDefaultRegistryLocation();
        return result;
    } catch (...) {
        restoreDefaultRegistryLocation();
        return ERROR_CANTWRITE;
    }
}

QWidget *TarnelCreateControl(const char *className, QWidget *parent)
{
    try {
        // Widgets exist only within a QApplication and on its thread; Qt
        // aborts otherwise, so the factory declines instead.
        const QCoreApplication *application = QCoreApplication::instance();
        if (!className || !qobject_cast<const QApplication *>(application) ||
            QThread::currentThread() != application->thread())
            return nullptr;
        if (std::strcmp(className, "SBMP3Player") == 0)
            return new SonbrelMP3::SBMP3Player(parent);
        if (std::strcmp(className, "SBMP3PlayList") == 0)
            return new SonbrelMP3::SBMP3PlayList(parent);
        return nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // extern "C"
