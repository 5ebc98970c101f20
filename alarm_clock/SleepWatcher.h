#pragma once

#include <QDBusConnection>
#include <QObject>

namespace kestrum {

// Tells when the computer wakes from sleep: systemd-logind's
// PrepareForSleep(false) on the system bus. Without a system bus or logind
// it never tells; the alarm then sees the wake at its next tick, by the jump
// of the wall clock.
class SleepWatcher : public QObject {
    Q_OBJECT

public:
    explicit SleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(), QObject *parent = nullptr);

    // Connected to a bus, listening for the signal.
    bool watching() const { return watching_; }

signals:
    void resumed();

private slots:
    void onPrepareForSleep(bool sleeping);

private:
    bool watching_ = false;
};

} // namespace kestrum
