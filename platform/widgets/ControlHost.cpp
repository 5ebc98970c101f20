#include "ControlHost.h"

#include "HostedControl.h"
#include "PlatformLog.h"
#include "Registry.h"
#include "SharedLibrary.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QMetaType>
#include <QObject>
#include <QThread>
#include <QWidget>

#include <exception>
#include <memory>
#include <new>
#include <type_traits>
#include <optional>
#include <vector>

namespace platform {

namespace {

const QString kSource = QStringLiteral("ControlHost");
constexpr char kFactoryName[] = "TarnelCreateControl";

[[noreturn]] void raise(std::int32_t number, const QString &description)
{
    throw DispatchError(number, kSource, description);
}

QString notRegistered(const QString &progId, const QString &why)
{
    return QStringLiteral("Can't create the component '%1': %2").arg(progId, why);
}

// A ProgID's record: the library and the class it names.
struct Record {
    bool found = false;
    long error = ERROR_FILE_NOT_FOUND;  // why it was not found
    QByteArray library;
    QByteArray className;

    // Names a class and a library that is there to load.
    bool usable() const
    {
        return found && !library.isEmpty() && !className.isEmpty() && QFileInfo::exists(QFile::decodeName(library));
    }
    QString describeLibrary() const
    {
        return library.isEmpty() ? QStringLiteral("no library") : QFile::decodeName(library);
    }
};

Record readRecord(HKEY root, const QByteArray &keyName)
{
    Record record;
    OpenedKey key;
    record.error = RegOpenKeyExA(root, keyName.constData(), 0, KEY_QUERY_VALUE, &key.key);
    if (record.error != ERROR_SUCCESS)
        return record;
    record.found = true;
    record.library = queryTextValue(key.key, "Library").value_or(QByteArray());
    record.className = queryTextValue(key.key, "Class").value_or(QByteArray());
    return record;
}

// --- Late binding --------------------------------------------------------

QString memberText(const char *name)
{
    return QStringLiteral("'%1'").arg(QString::fromUtf8(name ? name : ""));
}

void requireObject(const QObject *object, const char *name)
{
    if (!object)
        raise(kErrorObjectNotSet, QStringLiteral("No object to use %1 on").arg(memberText(name)));
}

[[noreturn]] void raiseNoMember(const char *name)
{
    raise(kErrorNoSuchMember, QStringLiteral("Object doesn't support this property or method: %1").arg(memberText(name)));
}

// The index of the property `name`: exact match first, then without regard
// to case; -1 when there is none.
int findProperty(const QMetaObject *meta, const char *name)
{
    const int exact = meta->indexOfProperty(name);
    if (exact >= 0)
        return exact;
    const QByteArray wanted(name);
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (qstricmp(meta->property(i).name(), wanted.constData()) == 0)
            return i;
    }
    return -1;
}

// The dispatch methods called `name`: public Q_INVOKABLE methods and public
// slots, matched exactly or, when none matches exactly, without regard to
// case; in declaration order.
std::vector<QMetaMethod> findMethods(const QMetaObject *meta, const char *name)
{
    std::vector<QMetaMethod> exact;
    std::vector<QMetaMethod> folded;
    const QByteArray wanted(name);
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.access() != QMetaMethod::Public ||
            (method.methodType() != QMetaMethod::Method && method.methodType() != QMetaMethod::Slot))
            continue;
        const QByteArray methodName = method.name();
        if (methodName == wanted)
            exact.push_back(method);
        else if (qstricmp(methodName.constData(), wanted.constData()) == 0)
            folded.push_back(method);
    }
    return exact.empty() ? folded : exact;
}

// `value` as a value of `type`: unchanged for a QVariant parameter, the
// type's default for an empty value; nothing when it does not convert.
std::optional<QVariant> convertTo(const QVariant &value, QMetaType type)
{
    if (!type.isValid())
        return std::nullopt;
    if (type == QMetaType::fromType<QVariant>() || value.metaType() == type)
        return value;
    if (!value.isValid())
        return QVariant(type);
    QVariant converted = value;
    if (!converted.convert(type))
        return std::nullopt;
    return converted;
}

// The argument block of a meta call: where the member finds a value of
// `type`. A QVariant parameter or result is the QVariant itself.
void *slotFor(QVariant &value, QMetaType type)
{
    return type == QMetaType::fromType<QVariant>() ? static_cast<void *>(&value) : value.data();
}

// Makes one meta call. What the member raises passes as it is; any other
// exception becomes an error of the host's.
void metaCall(QObject *object, QMetaObject::Call call, int index, void **argv, const char *name)
{
    try {
        object->qt_metacall(call, index, argv);
    } catch (const DispatchError &) {
        throw;
    } catch (const std::bad_alloc &) {
        raise(kErrorOutOfMemory, QStringLiteral("Out of memory in %1").arg(memberText(name)));
    } catch (const std::exception &error) {
        raise(kErrorInternal, QStringLiteral("Internal error in %1: %2").arg(memberText(name), QString::fromLocal8Bit(error.what())));
    }
}

// The members are reached through the object's own qt_metacall, not
// through QMetaProperty or QMetaMethod::invoke, so that an error a member
// raises unwinds through the control's code and this function only, never
// through Qt's.
QVariant readProperty(QObject *object, const QMetaProperty &property)
{
    const QMetaType type = property.metaType();
    if (!type.isValid())
        raise(kErrorTypeMismatch,
              QStringLiteral("The property '%1' has a type that cannot be read by name").arg(QString::fromUtf8(property.name())));
    QVariant value = type == QMetaType::fromType<QVariant>() ? QVariant() : QVariant(type);
    int status = -1;
    void *argv[] = {slotFor(value, type), &value, &status};
    metaCall(object, QMetaObject::ReadProperty, property.propertyIndex(), argv, property.name());
    return value;
}

QVariant invoke(QObject *object, const char *name, const QVariantList &args)
{
    const std::vector<QMetaMethod> methods = findMethods(object->metaObject(), name);
    if (methods.empty())
        raiseNoMember(name);

    QList<int> counts;
    std::optional<int> mismatchedArgument;
    for (const QMetaMethod &method : methods) {
        if (method.parameterCount() != args.size()) {
            counts.append(method.parameterCount());
            continue;
        }
        QVariantList converted;
        converted.reserve(args.size());
        for (int i = 0; i < args.size(); ++i) {
            std::optional<QVariant> value = convertTo(args.at(i), method.parameterMetaType(i));
            if (!value) {
                mismatchedArgument = i;
                break;
            }
            converted.append(std::move(*value));
        }
        if (converted.size() != args.size())
            continue;  // an argument does not fit: try the next form of the member

        const QMetaType returnType = method.returnMetaType();
        const bool returnsValue = returnType.isValid() && returnType.id() != QMetaType::Void;
        QVariant result = returnsValue && returnType != QMetaType::fromType<QVariant>() ? QVariant(returnType) : QVariant();
        std::vector<void *> argv;
        argv.reserve(static_cast<std::size_t>(args.size()) + 1);
        argv.push_back(returnsValue ? slotFor(result, returnType) : nullptr);
        for (int i = 0; i < converted.size(); ++i)
            argv.push_back(slotFor(converted[i], method.parameterMetaType(i)));
        metaCall(object, QMetaObject::InvokeMetaMethod, method.methodIndex(), argv.data(), name);
        return result;
    }

    if (mismatchedArgument)
        raise(kErrorTypeMismatch, QStringLiteral("Type mismatch: argument %1 of %2 has the wrong type")
                                      .arg(*mismatchedArgument + 1)
                                      .arg(memberText(name)));
    QStringList taken;
    for (const int count : counts)
        taken.append(QString::number(count));
    taken.removeDuplicates();
    raise(kErrorWrongArgumentCount, QStringLiteral("Wrong number of arguments for %1: %2 given, it takes %3")
                                        .arg(memberText(name))
                                        .arg(args.size())
                                        .arg(taken.join(QStringLiteral(" or "))));
}

}  // namespace

// --- Creating controls ---------------------------------------------------

QWidget *ControlHost::createControl(const QString &progId, QWidget *parent, ContainerSite *site)
{
    const QCoreApplication *application = QCoreApplication::instance();
    if (!qobject_cast<const QApplication *>(application) || QThread::currentThread() != application->thread())
        raise(kErrorCannotCreateObject,
              notRegistered(progId, QStringLiteral("controls are created only on the thread of a QApplication")));

    // A ProgID is one key name: an empty one, or one that would reach into
    // other keys, names no record.
    if (progId.isEmpty() || progId.contains(QLatin1Char('\\')) || progId.contains(QChar(0)))
        raise(kErrorCannotCreateObject, notRegistered(progId, QStringLiteral("the ProgID is not registered")));

    // The user's own record wins; one that is missing, incomplete or names
    // a library that is not there (a build folder deleted since) gives way
    // to the machine-wide record that the install step wrote.
    const QByteArray keyName = "Software\\Classes\\" + progId.toUtf8();
    Record record = readRecord(HKEY_CURRENT_USER, keyName);
    if (!record.usable()) {
        Record machineRecord = readRecord(HKEY_LOCAL_MACHINE, keyName);
        if (machineRecord.found) {
            if (record.found)
                qCDebug(platformLog).noquote() << QStringLiteral("the user's record of %1 names %2, which is missing; "
                                                                 "the machine-wide record is used")
                                                      .arg(progId, record.describeLibrary());
            else
                qCDebug(platformLog).noquote() << QStringLiteral("%1 is created by the machine-wide record").arg(progId);
            record = std::move(machineRecord);
        }
    }
    if (!record.found && record.error == ERROR_FILE_NOT_FOUND)
        raise(kErrorCannotCreateObject, notRegistered(progId, QStringLiteral("the ProgID is not registered")));
    if (!record.found)
        raise(kErrorCannotCreateObject,
              notRegistered(progId, QStringLiteral("its record cannot be read (registry error %1)").arg(record.error)));
    if (record.library.isEmpty() || record.className.isEmpty())
        raise(kErrorCannotCreateObject, notRegistered(progId, QStringLiteral("its record names no library or no class")));
    const QByteArray library = record.library;
    const QByteArray className = record.className;

    Factory factory = factoryOf(progId, library);
    QWidget *made = nullptr;
    try {
        made = factory(className.constData(), parent);
    } catch (...) {
        made = nullptr;  // the factory promises not to throw; a foreign one might
    }
    if (!made)
        raise(kErrorCannotCreateObject,
              notRegistered(progId, QStringLiteral("the library %1 does not make the class '%2'")
                                        .arg(QFile::decodeName(library), QString::fromUtf8(className))));

    std::unique_ptr<QWidget> control(made);
    if (control->parentWidget() != parent)
        control->setParent(parent);
    if (auto *hosted = qobject_cast<HostedControl *>(control.get())) {
        hosted->setContainerSite(site);
        hosted->InitProperties();
    }
    if (parent)
        control->show();
    return control.release();
}

ControlHost::Factory ControlHost::factoryOf(const QString &progId, const QByteArray &libraryPath)
{
    const QString path = QFile::decodeName(libraryPath);
    auto loaded = libraries_.find(libraryPath);
    if (loaded == libraries_.end()) {
        // Only absolute paths: a bare name would make the loader search for
        // some other file.
        if (!QFileInfo(path).isAbsolute())
            raise(kErrorCannotLoadLibrary,
                  notRegistered(progId, QStringLiteral("its library path '%1' is not absolute").arg(path)));
        if (!QFileInfo::exists(path))
            raise(kErrorCannotLoadLibrary,
                  notRegistered(progId, QStringLiteral("its library %1 does not exist").arg(path)));
        // Loading runs the library's code: one that another user could
        // have put there is not loaded.
        if (const std::optional<QString> why = whyOthersCouldReplace(path))
            raise(kErrorCannotLoadLibrary,
                  notRegistered(progId, QStringLiteral("its library %1 is not loaded, another user could replace "
                                                       "it: %2").arg(path, *why)));
        QString error;
        std::optional<SharedLibrary> library = SharedLibrary::load(path, &error);
        if (!library)
            raise(kErrorCannotLoadLibrary,
                  notRegistered(progId, QStringLiteral("its library %1 cannot be loaded: %2").arg(path, error)));
        qCDebug(platformLog) << "loaded" << path << "for" << progId;
        loaded = libraries_.emplace(libraryPath, std::move(*library)).first;
    }
    const auto factory = loaded->second.function<std::remove_pointer_t<Factory>>(kFactoryName);
    if (!factory)
        raise(kErrorNoSuchEntryPoint,
              notRegistered(progId, QStringLiteral("its library %1 has no %2").arg(path, QLatin1String(kFactoryName))));
    return factory;
}

// --- Late binding --------------------------------------------------------

QVariant getProperty(QObject *object, const char *name)
{
    requireObject(object, name);
    if (!name)
        raiseNoMember(name);
    const int index = findProperty(object->metaObject(), name);
    if (index < 0)
        return invoke(object, name, {});
    return readProperty(object, object->metaObject()->property(index));
}

void setProperty(QObject *object, const char *name, const QVariant &value)
{
    requireObject(object, name);
    if (!name)
        raiseNoMember(name);
    const QMetaObject *meta = object->metaObject();
    const int index = findProperty(meta, name);
    if (index < 0)
        raiseNoMember(name);
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable())
        raise(kErrorPropertyReadOnly, QStringLiteral("The property %1 is read-only").arg(memberText(name)));
    const QMetaType type = property.metaType();
    std::optional<QVariant> converted = convertTo(value, type);
    if (!converted)
        raise(kErrorTypeMismatch, QStringLiteral("Type mismatch: the value for %1 has the wrong type").arg(memberText(name)));
    int status = -1;
    int flags = 0;
    void *argv[] = {slotFor(*converted, type), &*converted, &status, &flags};
    metaCall(object, QMetaObject::WriteProperty, property.propertyIndex(), argv, name);
}

QVariant call(QObject *object, const char *member, QVariantList args)
{
    requireObject(object, member);
    if (!member)
        raiseNoMember(member);
    if (args.isEmpty() && findMethods(object->metaObject(), member).empty()) {
        const int index = findProperty(object->metaObject(), member);
        if (index >= 0)
            return readProperty(object, object->metaObject()->property(index));
    }
    return invoke(object, member, args);
}

}  // namespace platform
