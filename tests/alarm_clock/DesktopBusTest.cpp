// The desktop's buses, on a private bus of the test's own (dbus-daemon with
// no services to start): the alarm's notifications against a fake
// notification server, and the news of a wake from sleep from a fake logind.
#include "DesktopNotifier.h"
#include "SleepWatcher.h"
#include "WindowFakes.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

// org.freedesktop.Notifications as a server keeps it, for the test to read.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint replaces;
        QString summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout;
    };
    QList<Shown> shown;
    QList<uint> closed;
    uint lastId = 0;

public slots:
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        shown << Shown{replacesId, summary, body, actions, hints, timeout};
        return replacesId != 0 ? replacesId : ++lastId;
    }
    void CloseNotification(uint id) { closed << id; }
};

class DesktopBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(folder.isValid());
        const QString config = folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                  "<auth>EXTERNAL</auth><policy context=\"default\">"
                                  "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                  "<allow own=\"*\"/></policy></busconfig>")
                       .arg(folder.path())
                       .toUtf8());
        file.close();
        bus.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 5000)) << "the bus gave no address";
        address = QString::fromUtf8(bus.readLine()).trimmed();
        server = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("server")));
        ASSERT_TRUE(server->isConnected());
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        if (bus.state() != QProcess::NotRunning) {
            bus.terminate();
            bus.waitForFinished(3000);
        }
    }
    QDBusConnection client() { return QDBusConnection::connectToBus(address, QStringLiteral("client")); }
    void serve()
    {
        ASSERT_TRUE(server->registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void emitSignal(const char *path, const char *interface, const char *name, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(path), QString::fromLatin1(interface),
                                                         QString::fromLatin1(name));
        signal.setArguments(arguments);
        ASSERT_TRUE(server->send(signal));
    }

    QTemporaryDir folder;
    QProcess bus;
    QString address;
    std::unique_ptr<QDBusConnection> server;
    FakeNotificationServer notifications;
};

TEST_F(DesktopBusTest, TheAlarmsNotificationCarriesItsActionsAndClosesWithTheRinging)
{
    serve();
    DesktopNotifier notifier(client());
    int snoozes = 0;
    int unsets = 0;
    notifier.setActions([&] { ++snoozes; }, [&] { ++unsets; });
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    notifier.setIcon(icon);

    notifier.showAlarm(QStringLiteral("Wakie, Wakie !"), QStringLiteral("7:05 AM"));
    ASSERT_TRUE(waitUntil([&] { return notifier.alarmId() != 0; }, 5000));
    ASSERT_EQ(notifications.shown.size(), 1);
    const auto &shown = notifications.shown.first();
    EXPECT_EQ(shown.summary, "Wakie, Wakie !");
    EXPECT_EQ(shown.body, "Alarm at 7:05 AM");
    EXPECT_EQ(shown.actions, (QStringList{"snooze", "Snooze", "unset", "Un-Set Alarm"}));
    EXPECT_EQ(shown.timeout, 0) << "it must not expire while the alarm rings";
    EXPECT_EQ(shown.hints.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_TRUE(shown.hints.contains(QStringLiteral("image-data"))) << "the picture travels with it";

    // The user picks the actions; another notification's actions are not ours.
    emitSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked",
               {notifier.alarmId() + 7, QStringLiteral("snooze")});
    emitSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked",
               {notifier.alarmId(), QStringLiteral("snooze")});
    ASSERT_TRUE(waitUntil([&] { return snoozes == 1; }, 5000));
    emitSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked",
               {notifier.alarmId(), QStringLiteral("unset")});
    ASSERT_TRUE(waitUntil([&] { return unsets == 1; }, 5000));
    EXPECT_EQ(snoozes, 1);

    // The ringing ends: the notification goes.
    const uint id = notifier.alarmId();
    notifier.closeAlarm();
    ASSERT_TRUE(waitUntil([&] { return notifications.closed == QList<uint>{id}; }, 5000));

    // Ended before the server answered: the notification is closed as soon
    // as its id is known.
    notifications.closed.clear();
    notifier.showAlarm(QStringLiteral("Again"), QStringLiteral("7:10 AM"));
    notifier.closeAlarm();
    ASSERT_TRUE(waitUntil([&] { return !notifications.closed.isEmpty(); }, 5000));
    EXPECT_EQ(notifications.closed.first(), notifications.lastId);
    EXPECT_EQ(notifier.alarmId(), 0u);
}

TEST_F(DesktopBusTest, WithoutANotificationServerNothingChanges)
{
    DesktopNotifier notifier(client());
    notifier.showAlarm(QStringLiteral("Wakie, Wakie !"), QStringLiteral("7:05 AM"));
    notifier.showNotice(QStringLiteral("Missed alarm at 7:05 AM"));
    QTest::qWait(300);
    EXPECT_EQ(notifier.alarmId(), 0u);
    notifier.closeAlarm();

    DesktopNotifier unconnected(QDBusConnection(QStringLiteral("no such connection")));
    unconnected.showAlarm(QStringLiteral("Wakie, Wakie !"), QStringLiteral("7:05 AM"));
    unconnected.closeAlarm();
    EXPECT_EQ(unconnected.alarmId(), 0u);
}

TEST_F(DesktopBusTest, AWakeFromSleepIsTold)
{
    ASSERT_TRUE(server->registerService(QStringLiteral("org.freedesktop.login1")));
    SleepWatcher watcher(client());
    ASSERT_TRUE(watcher.watching());
    int wakes = 0;
    QObject::connect(&watcher, &SleepWatcher::resumed, [&] { ++wakes; });
    QTest::qWait(100); // the match rule reaches the bus
    emitSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep", {true});
    emitSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep", {false});
    ASSERT_TRUE(waitUntil([&] { return wakes == 1; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(wakes, 1) << "going to sleep is no wake";

    SleepWatcher unconnected(QDBusConnection(QStringLiteral("no such connection")));
    EXPECT_FALSE(unconnected.watching());
}

}  // namespace

#include "DesktopBusTest.moc"
