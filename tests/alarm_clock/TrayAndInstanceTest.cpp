// The notification-icon adapter driven by the 88-byte record, and the lock
// that keeps one copy of the program running.
#include "NotifyIcon.h"
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <optional>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;

namespace {

QIcon someIcon()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return QIcon(QPixmap::fromImage(image));
}

TEST(NotifyIcon, AddsModifiesAndDeletesTheIconTheRecordDescribes)
{
    NotifyIcon icon;
    icon.setDesktopHasTray([] { return true; });
    const std::uint32_t handle = icon.iconHandle(someIcon());
    NotifyIconData record = trayRecord(7, handle, QStringLiteral("Alarm time : 7:05AM ON "));

    NotifyIconData wrongSize = record;
    wrongSize.cbSize = 504;
    EXPECT_FALSE(icon.notify(NIM_ADD, wrongSize));
    EXPECT_FALSE(icon.notify(NIM_DELETE, record)) << "nothing to delete yet";
    EXPECT_FALSE(icon.isShown());

    ASSERT_TRUE(icon.notify(NIM_ADD, record));
    EXPECT_TRUE(icon.isShown());
    EXPECT_EQ(icon.toolTip(), QStringLiteral("Alarm time : 7:05AM ON "));
    EXPECT_FALSE(icon.trayIcon().icon().isNull());
    EXPECT_FALSE(icon.notify(NIM_ADD, record)) << "the icon is there already";
    EXPECT_FALSE(icon.notify(9, record));

    // Modify changes only what its flags name.
    NotifyIconData tipOnly = trayRecord(7, handle, QStringLiteral("new tip"));
    tipOnly.uFlags = NIF_TIP;
    ASSERT_TRUE(icon.notify(NIM_MODIFY, tipOnly));
    EXPECT_EQ(icon.toolTip(), QStringLiteral("new tip"));
    QSignalSpy callbacks(&icon, &NotifyIcon::callback);
    emit icon.trayIcon().activated(QSystemTrayIcon::Trigger);
    ASSERT_EQ(callbacks.size(), 1) << "the callback message survives a modify without NIF_MESSAGE";

    NotifyIconData otherWindow = record;
    otherWindow.hWnd = 8;
    EXPECT_FALSE(icon.notify(NIM_DELETE, otherWindow));
    EXPECT_TRUE(icon.isShown());
    EXPECT_TRUE(icon.notify(NIM_DELETE, record));
    EXPECT_FALSE(icon.isShown());
}

TEST(NotifyIcon, DeliversTheMouseMessagesToTheRecordsWindow)
{
    NotifyIcon icon;
    icon.setDesktopHasTray([] { return true; });
    QSignalSpy callbacks(&icon, &NotifyIcon::callback);
    NotifyIconData record = trayRecord(1, icon.iconHandle(someIcon()), QStringLiteral("tip"));
    ASSERT_TRUE(icon.notify(NIM_ADD, record));

    for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                              QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown})
        emit icon.trayIcon().activated(reason);
    ASSERT_EQ(callbacks.size(), 4) << "an unknown activation carries no mouse message";
    const std::uint32_t expected[] = {513, 515, 516, 519};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(callbacks.at(i).at(0).toUInt(), 1u);
        EXPECT_EQ(callbacks.at(i).at(1).toUInt(), WM_MOUSEMOVE);
        EXPECT_EQ(callbacks.at(i).at(2).toUInt(), expected[i]);
    }

    // No NIF_MESSAGE, no messages; none either once the icon is deleted.
    ASSERT_TRUE(icon.notify(NIM_DELETE, record));
    emit icon.trayIcon().activated(QSystemTrayIcon::Trigger);
    record.uFlags = NIF_ICON | NIF_TIP;
    ASSERT_TRUE(icon.notify(NIM_ADD, record));
    emit icon.trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(callbacks.size(), 4);
}

TEST(NotifyIcon, CannotAddAnIconWhereTheDesktopHasNoNotificationArea)
{
    NotifyIcon icon;
    icon.setDesktopHasTray([] { return false; });
    EXPECT_FALSE(icon.notify(NIM_ADD, trayRecord(1, icon.iconHandle(someIcon()), QStringLiteral("tip"))));
    EXPECT_FALSE(icon.isShown());
}

TEST(SingleInstance, OneHolderAtATimeAndALockLeftByADeadCopyIsTakenOver)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Kestrum.lock"));

    {
        SingleInstance first(path);
        ASSERT_EQ(first.acquire(), SingleInstance::Result::Acquired);
        SingleInstance second(path);
        EXPECT_EQ(second.acquire(), SingleInstance::Result::HeldElsewhere);
        EXPECT_FALSE(second.held());
    }
    {
        SingleInstance after(path);
        EXPECT_EQ(after.acquire(), SingleInstance::Result::Acquired) << "released when the first copy ended";
    }

    // A copy that dies holding the lock leaves its file behind.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile lock(path);
        lock.setStaleLockTime(0);
        ::_exit(lock.tryLock(0) ? 0 : 1); // no unlock: the file stays
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(QFile::exists(path));
    SingleInstance recovered(path);
    EXPECT_EQ(recovered.acquire(), SingleInstance::Result::Acquired);

    // A folder that cannot hold the lock does not stop the program.
    SingleInstance nowhere(folder.filePath(QStringLiteral("no/such/folder/Kestrum.lock")));
    EXPECT_EQ(nowhere.acquire(), SingleInstance::Result::Unavailable);
}

// The file QLockFile leaves for a copy on another host: its process cannot
// be looked for, so QLockFile never takes such a lock over by itself.
void writeForeignLock(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("4242\nKestrum\nsome-other-host\n");
}

TEST(SingleInstance, ALockFileTheUserDoesNotOwnNeverBlocks)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Kestrum.lock"));
    const QString elsewhere = folder.filePath(QStringLiteral("planted"));
    writeForeignLock(elsewhere);
    ASSERT_TRUE(QFile::link(elsewhere, path));
    {
        SingleInstance linked(path);
        EXPECT_EQ(linked.acquire(), SingleInstance::Result::Acquired) << "a link is not a lock";
    }

    writeForeignLock(path);
    if (::chown(QFile::encodeName(path).constData(), 1001, 1001) != 0)
        GTEST_SKIP() << "files can be given to another user only by root";
    SingleInstance foreign(path);
    EXPECT_EQ(foreign.acquire(), SingleInstance::Result::Acquired);
}

// Without a runtime folder the lock lies in "kestrum-<uid>" under the
// temporary folder, which anyone may make first.
class LockFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : {"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"})
            saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(folder.filePath(QStringLiteral("tmp"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder.filePath(QStringLiteral("cache"))));
        ASSERT_TRUE(QDir().mkpath(folder.filePath(QStringLiteral("tmp"))));
    }
    void TearDown() override
    {
        for (const auto &[name, value] : saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    static mode_t modeOf(const QString &path)
    {
        struct stat status {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        return status.st_mode & 07777;
    }

    QTemporaryDir folder;
    QString shared = folder.filePath(QStringLiteral("tmp/kestrum-%1").arg(::getuid()));
    QString own = folder.filePath(QStringLiteral("cache/kestrum"));
    std::vector<std::pair<const char *, std::optional<QByteArray>>> saved;
};

TEST_F(LockFolderTest, ThePrivateFolderIsMadeForTheUserAlone)
{
    EXPECT_EQ(SingleInstance::defaultLockPath(), shared + QStringLiteral("/Kestrum.lock"));
    EXPECT_EQ(modeOf(shared), 0700u);
}

TEST_F(LockFolderTest, AFolderThatIsNotTheUsersAloneIsNotUsed)
{
    const QString target = folder.filePath(QStringLiteral("target"));
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::link(target, shared));
    EXPECT_EQ(SingleInstance::defaultLockPath(), own + QStringLiteral("/Kestrum.lock")) << "a link";
    EXPECT_EQ(modeOf(own), 0700u);

    QFile::remove(shared);
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
    EXPECT_EQ(SingleInstance::defaultLockPath(), own + QStringLiteral("/Kestrum.lock")) << "open to all";

    // Another user made it first and left a lock that names another host.
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0700), 0);
    writeForeignLock(shared + QStringLiteral("/Kestrum.lock"));
    if (::chown(QFile::encodeName(shared).constData(), 1001, 1001) != 0)
        GTEST_SKIP() << "files can be given to another user only by root";
    SingleInstance instance;
    EXPECT_EQ(instance.lockPath(), own + QStringLiteral("/Kestrum.lock"));
    EXPECT_EQ(instance.acquire(), SingleInstance::Result::Acquired);
}

}  // namespace
