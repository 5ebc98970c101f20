#include "SleepWatcher.h"

#include "KestrumLog.h"

namespace kestrum {

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject *parent) : QObject(parent)
{
    if (!bus.isConnected())
        return;
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                            SLOT(onPrepareForSleep(bool)));
}

void SleepWatcher::onPrepareForSleep(bool sleeping)
{
    if (sleeping)
        return;
    qCDebug(kestrumLog) << "the computer woke from sleep";
    emit resumed();
}

} // namespace kestrum
