#pragma once

#include "ContainerSite.h"
#include "DispatchError.h"
#include "SharedLibrary.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <cstdint>
#include <map>

class QObject;
class QWidget;

namespace platform {

// The numbers of the errors that the host raises itself (source
// "ControlHost"); errors raised by a control's members pass through as
// they were raised.
inline constexpr std::int32_t kErrorOutOfMemory = 7;
inline constexpr std::int32_t kErrorTypeMismatch = 13;
inline constexpr std::int32_t kErrorInternal = 51;
inline constexpr std::int32_t kErrorCannotLoadLibrary = 48;
inline constexpr std::int32_t kErrorObjectNotSet = 91;
inline constexpr std::int32_t kErrorPropertyReadOnly = 383;
inline constexpr std::int32_t kErrorCannotCreateObject = 429;
inline constexpr std::int32_t kErrorNoSuchMember = 438;
inline constexpr std::int32_t kErrorWrongArgumentCount = 450;
inline constexpr std::int32_t kErrorNoSuchEntryPoint = 453;

// Creates controls by ProgID, the way a container creates ActiveX controls:
// the ProgID's record under "Software\\Classes\\<ProgID>" names the library
// ("Library", an absolute path) and the class ("Class"); the host loads the
// library, which it does not link, and asks the library's
// TarnelCreateControl for the class. The user's record (HKEY_CURRENT_USER)
// wins; when there is none, or it names no class or a library file that is
// not there, the machine-wide record (HKEY_LOCAL_MACHINE) is used. Libraries stay loaded for
// the life of the process: the controls they made may outlive any host.
//
// Use from the thread of the QApplication.
class ControlHost {
public:
    ControlHost() = default;
    ControlHost(const ControlHost &) = delete;
    ControlHost &operator=(const ControlHost &) = delete;

    // A new control, a visible child of `parent` (or a hidden window when
    // there is none) that the parent owns. A control that implements
    // platform::HostedControl gets `site` and then InitProperties. Throws
    // DispatchError naming the ProgID when it is not registered (429), its
    // library is missing, cannot be loaded, or could have been put there by
    // another user (48, naming the path; see whyOthersCouldReplace), the
    // library has no factory (453) or does not make the class (429).
    QWidget *createControl(const QString &progId, QWidget *parent, ContainerSite *site = nullptr);

private:
    using Factory = QWidget *(*)(const char *className, QWidget *parent);
    Factory factoryOf(const QString &progId, const QByteArray &libraryPath);

    std::map<QByteArray, SharedLibrary> libraries_;  // by path; never unloaded
};

// Late binding: members found by name at run time through the object's
// QMetaObject, as a host calls the dispatch members of a control it knows
// only by ProgID. Names match exactly or, failing that, without regard to
// case. Arguments are converted to the member's parameter types.
//
// Errors: no object 91; no member of that name 438; no form of the member
// with that many arguments 450; an argument or value that does not convert
// 13; writing a read-only property 383. An error that the member raises
// (platform::DispatchError or a class derived from it) reaches the caller
// unchanged; any other exception a member lets out becomes an error of the
// host's: 7 when memory ran out, 51 otherwise, so that callers meet no
// exception but DispatchError.

// Reads a property.
QVariant getProperty(QObject *object, const char *name);
// Writes a property.
void setProperty(QObject *object, const char *name, const QVariant &value);
// Calls a Q_INVOKABLE method (or slot or signal) with as many parameters as
// `args` has; with no arguments a property of that name is read when there
// is no such method. Returns the method's result (invalid for void).
QVariant call(QObject *object, const char *member, QVariantList args = {});

}  // namespace platform
