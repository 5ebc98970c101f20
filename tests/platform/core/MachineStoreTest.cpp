// The machine-wide registry store: HKEY_LOCAL_MACHINE for every user of an
// installation, the machine's half of HKEY_CLASSES_ROOT, who may change it
// and where a program finds it.
#include "MachineStore.h"
#include "Registry.h"
#include "WithoutWriteRight.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>

namespace platform {
namespace {

constexpr const char *kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

long setText(HKEY root, const char *path, const char *name, const char *text)
{
    HKEY key = nullptr;
    long result = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr);
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const unsigned char *>(text),
                                static_cast<unsigned long>(std::strlen(text) + 1));
    if (key)
        RegCloseKey(key);
    return result;
}

// The text of a REG_SZ value, or "<error N>".
std::string text(HKEY root, const char *path, const char *name)
{
    HKEY key = nullptr;
    long result = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS)
        return "<error " + std::to_string(result) + ">";
    const auto value = queryTextValue(key, name);
    RegCloseKey(key);
    return value ? value->toStdString() : "<no value>";
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class MachineStoreTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString user = folder.filePath(QStringLiteral("user/registry.ini"));
    QString autostart = folder.filePath(QStringLiteral("autostart"));
    QString prefix = folder.filePath(QStringLiteral("prefix"));
    QString machine = prefix + QStringLiteral("/share/tarnel-platform/registry.ini");

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        setRegistryLocation(user, autostart, machine);
    }
    void TearDown() override { restoreDefaultRegistryLocation(); }
};

TEST_F(MachineStoreTest, LocalMachineLivesInTheMachineStoreAndClassesFallThroughToIt)
{
    ASSERT_EQ(setText(HKEY_LOCAL_MACHINE, "Software\\Classes\\Test.Control", "Library", "/machine/lib.so"),
              ERROR_SUCCESS);
    ASSERT_EQ(setText(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name", "machine"), ERROR_SUCCESS);
    EXPECT_TRUE(contents(machine).contains("[HKEY_LOCAL_MACHINE\\Software\\Vendor]")) << contents(machine).data();
    EXPECT_FALSE(contents(user).contains("HKEY_LOCAL_MACHINE")) << "the user's store keeps no machine keys";

    // HKEY_CLASSES_ROOT: its own keys, then the user's classes, then the
    // machine's; the first that has the key answers.
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, "test.control", "Library"), "/machine/lib.so");
    ASSERT_EQ(setText(HKEY_CURRENT_USER, "Software\\Classes\\Test.Control", "Library", "/user/lib.so"), ERROR_SUCCESS);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, "Test.Control", "Library"), "/user/lib.so");
    ASSERT_EQ(setText(HKEY_CLASSES_ROOT, "Test.Control", "Library", "/own/lib.so"), ERROR_SUCCESS);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, "Test.Control", "Library"), "/own/lib.so");
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, "Software\\Classes\\Test.Control", "Library"), "/machine/lib.so")
        << "a change through HKEY_CLASSES_ROOT is the user's";
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, "No.Such.Control", "Library"), "<error 2>");

    // A subkey under a key that only the machine's classes hold.
    ASSERT_EQ(setText(HKEY_LOCAL_MACHINE, "Software\\Classes\\Machine.Only", "Library", "/m.so"), ERROR_SUCCESS);
    HKEY machineOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Machine.Only", 0, KEY_ALL_ACCESS, &machineOnly), ERROR_SUCCESS);
    EXPECT_EQ(setText(machineOnly, "CLSID", nullptr, "x"), ERROR_SUCCESS);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, "Machine.Only\\CLSID", nullptr), "x");
    RegCloseKey(machineOnly);

    // The Run key stays the user's autostart folder under either root.
    const QByteArray before = contents(machine);
    ASSERT_EQ(setText(HKEY_LOCAL_MACHINE, kRun, "Tool", "/opt/tool"), ERROR_SUCCESS);
    EXPECT_TRUE(QFile::exists(autostart + QStringLiteral("/Tool.desktop")));
    EXPECT_EQ(contents(machine), before);
}

TEST_F(MachineStoreTest, AUserWhoMayNotWriteItReadsItAndIsDeniedEveryChange)
{
    ASSERT_EQ(setText(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name", "machine"), ERROR_SUCCESS);
    const QByteArray before = contents(machine);
    const auto traversable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                             | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(folder.path(), traversable);
    const QString userFolder = QFileInfo(user).absolutePath();
    ASSERT_TRUE(QDir().mkpath(userFolder));
    ASSERT_TRUE(testing_support::giveToOtherUser(userFolder));

    const QString machineFolder = QFileInfo(machine).absolutePath();
    const int failed = testing_support::runWithoutWriteRight(machineFolder, [&] {
        int check = 0;
        if (++check, text(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name") != "machine")
            return check;
        HKEY key = nullptr;
        if (++check, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     &key, nullptr) != ERROR_SUCCESS)
            return check;  // an existing key opens
        const unsigned char data[] = "x";
        if (++check, RegSetValueExA(key, "Name", 0, REG_SZ, data, 2) != ERROR_ACCESS_DENIED)
            return check;
        if (++check, RegDeleteValueA(key, "Name") != ERROR_ACCESS_DENIED)
            return check;
        RegCloseKey(key);
        if (++check, setText(HKEY_LOCAL_MACHINE, "Software\\New", "Name", "x") != ERROR_ACCESS_DENIED)
            return check;
        if (++check, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vendor") != ERROR_ACCESS_DENIED)
            return check;
        if (++check, setText(HKEY_CURRENT_USER, "Software\\Own", "Name", "mine") != ERROR_SUCCESS)
            return check;  // the user's own store is still theirs
        return 0;
    });
    EXPECT_EQ(failed, 0) << "check " << failed << " failed";
    EXPECT_EQ(contents(machine), before);
}

TEST_F(MachineStoreTest, WhatTheInstallStepWritesEveryUserCanRead)
{
    // Written under the strictest umask, as an install may be.
    const pid_t child = ::fork();
    if (child == 0) {
        ::umask(077);
        ::_exit(setText(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name", "machine") == ERROR_SUCCESS ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(QFileInfo(machine).permissions().testFlag(QFileDevice::ReadOther));
    const QFileInfo machineFolder(QFileInfo(machine).absolutePath());
    EXPECT_TRUE(machineFolder.permissions().testFlag(QFileDevice::ReadOther));
    EXPECT_TRUE(machineFolder.permissions().testFlag(QFileDevice::ExeOther));
}

TEST(MachineStoreLocation, FoundFromTheProgramsPlaceUnlessTheEnvironmentNamesIt)
{
    restoreDefaultRegistryLocation();
    const QByteArray saved = qgetenv(machine::kStoreVariable);
    qunsetenv(machine::kStoreVariable);
    // This test program lies in the build folder's bin/, beside its share/.
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString expected =
        QDir::cleanPath(QFileInfo(program).absolutePath() + QStringLiteral("/../share/tarnel-platform/registry.ini"));
    EXPECT_EQ(registryMachineStoreFile(), expected);
    EXPECT_EQ(machine::candidateFiles(QStringLiteral("/opt/k/lib"), false).last(),
              QStringLiteral("/opt/k/share/tarnel-platform/registry.ini"));

    qputenv(machine::kStoreVariable, "/elsewhere/machine.ini");
    EXPECT_EQ(registryMachineStoreFile(), QStringLiteral("/elsewhere/machine.ini"));
    qputenv(machine::kStoreVariable, saved);
}

}  // namespace
}  // namespace platform
