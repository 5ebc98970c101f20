#pragma once

#include "AlarmClock.h"

#include <QDBusConnection>
#include <QImage>
#include <QObject>

#include <functional>

class QDBusPendingCallWatcher;

namespace kestrum {

// The alarm's desktop notifications, through org.freedesktop.Notifications
// on the session bus. Every call is asynchronous, so a slow or missing
// notification server never holds the window up; without a bus or a server
// nothing is shown and nothing else changes.
//
// The alarm's notification carries the message as its summary, the alarm
// time in its body, and the actions "Snooze" and "Un-Set Alarm"; it does not
// expire and is marked critical, so it stays until the ringing ends.
class DesktopNotifier : public QObject, public Notifier {
    Q_OBJECT

public:
    static constexpr const char *kSnoozeAction = "snooze";
    static constexpr const char *kUnsetAction = "unset";

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~DesktopNotifier() override;

    void showAlarm(const QString &message, const QString &alarmTime) override;
    void closeAlarm() override;
    void showNotice(const QString &text) override;
    void setActions(std::function<void()> snooze, std::function<void()> unset) override;

    // The picture the notifications show (sent with them, so it needs no
    // installed icon theme).
    void setIcon(const QImage &icon);

    // The server's id of the alarm's notification; 0 while none is shown.
    uint alarmId() const { return alarmId_; }

private slots:
    void onActionInvoked(uint id, const QString &key);
    void onNotificationClosed(uint id, uint reason);

private:
    QDBusPendingCallWatcher *notify(uint replacesId, const QString &summary, const QString &body,
                                    const QStringList &actions, bool critical);
    void close(uint id);

    QDBusConnection bus_;
    QImage icon_;
    std::function<void()> snooze_;
    std::function<void()> unset_;
    uint alarmId_ = 0;
    bool alarmWanted_ = false; // between showAlarm and closeAlarm
    quint64 request_ = 0;      // the latest showAlarm; older answers are stale
};

} // namespace kestrum
