#include "DesktopNotifier.h"

#include "KestrumLog.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace kestrum {

// The "image-data" hint: a raw RGBA picture, (iiibiiay) on the bus.
struct NotificationImage {
    int width = 0;
    int height = 0;
    int rowstride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray data;
};

QDBusArgument &operator<<(QDBusArgument &argument, const NotificationImage &image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.rowstride << image.hasAlpha << image.bitsPerSample
             << image.channels << image.data;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, NotificationImage &image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowstride >> image.hasAlpha >> image.bitsPerSample
        >> image.channels >> image.data;
    argument.endStructure();
    return argument;
}

} // namespace kestrum

Q_DECLARE_METATYPE(kestrum::NotificationImage)

namespace kestrum {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject *parent) : QObject(parent), bus_(std::move(bus))
{
    if (!bus_.isConnected())
        return;
    bus_.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                 QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    bus_.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                 QStringLiteral("NotificationClosed"), this, SLOT(onNotificationClosed(uint, uint)));
}

DesktopNotifier::~DesktopNotifier()
{
    // A notification with actions that nobody answers any more must go.
    if (alarmId_ != 0)
        close(alarmId_);
}

void DesktopNotifier::setIcon(const QImage &icon)
{
    icon_ = icon.convertToFormat(QImage::Format_RGBA8888);
}

void DesktopNotifier::setActions(std::function<void()> snooze, std::function<void()> unset)
{
    snooze_ = std::move(snooze);
    unset_ = std::move(unset);
}

QDBusPendingCallWatcher *DesktopNotifier::notify(uint replacesId, const QString &summary, const QString &body,
                                                 const QStringList &actions, bool critical)
{
    if (!bus_.isConnected())
        return nullptr;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kestrum"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(critical ? 2 : 1));
    if (critical)
        hints.insert(QStringLiteral("resident"), true); // an action leaves it up; the ringing's end takes it
    if (!icon_.isNull()) {
        qDBusRegisterMetaType<NotificationImage>();
        NotificationImage image;
        image.width = icon_.width();
        image.height = icon_.height();
        image.rowstride = static_cast<int>(icon_.bytesPerLine());
        image.data = QByteArray(reinterpret_cast<const char *>(icon_.constBits()), icon_.sizeInBytes());
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(image));
    }
    call << QStringLiteral("Kestrum") << replacesId << QStringLiteral("kestrum") << summary << body << actions
         << hints << (critical ? 0 : -1);
    return new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
}

void DesktopNotifier::showAlarm(const QString &message, const QString &alarmTime)
{
    alarmWanted_ = true;
    const quint64 request = ++request_;
    QDBusPendingCallWatcher *watcher =
        notify(alarmId_, message.isEmpty() ? QStringLiteral("Kestrum") : message,
               QStringLiteral("Alarm at %1").arg(alarmTime),
               {QString::fromLatin1(kSnoozeAction), QStringLiteral("Snooze"), QString::fromLatin1(kUnsetAction),
                QStringLiteral("Un-Set Alarm")},
               true);
    if (watcher == nullptr)
        return;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError()) {
            qCDebug(kestrumLog).noquote() << "no desktop notification:" << reply.error().message();
            return;
        }
        const uint id = reply.value();
        if (request != request_ || !alarmWanted_) {
            // The ringing ended (or rang anew) while the server answered.
            if (id != alarmId_)
                close(id);
            return;
        }
        alarmId_ = id;
    });
}

void DesktopNotifier::closeAlarm()
{
    alarmWanted_ = false;
    if (alarmId_ != 0)
        close(alarmId_);
    alarmId_ = 0;
}

void DesktopNotifier::showNotice(const QString &text)
{
    if (QDBusPendingCallWatcher *watcher = notify(0, text, QString(), {}, false))
        connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void DesktopNotifier::close(uint id)
{
    if (!bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface),
                                                       QStringLiteral("CloseNotification"));
    call << id;
    bus_.asyncCall(call);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &key)
{
    if (id == 0 || id != alarmId_)
        return;
    if (key == QLatin1String(kSnoozeAction) && snooze_)
        snooze_();
    else if (key == QLatin1String(kUnsetAction) && unset_)
        unset_();
}

void DesktopNotifier::onNotificationClosed(uint id, uint)
{
    if (id != 0 && id == alarmId_)
        alarmId_ = 0;
}

} // namespace kestrum
