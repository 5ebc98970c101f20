#include "RegistryValues.h"
#include "WakeSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <utility>

namespace kestrum {
namespace {

using namespace platform;

const QString kKey = QStringLiteral("Software\\Kestrum\\Test");

class RegistryValuesTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString entry = folder.filePath(QStringLiteral("autostart/Kestrum.desktop"));

    void SetUp() override
    {
        setRegistryLocation(folder.filePath(QStringLiteral("registry.ini")),
                            folder.filePath(QStringLiteral("autostart")));
        OpenedKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum\\Test", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key.key, nullptr),
                  ERROR_SUCCESS);
        const unsigned char seven[4] = {7, 0, 0, 0};
        ASSERT_EQ(RegSetValueExA(key.key, "Count", 0, REG_DWORD, seven, 4), ERROR_SUCCESS);
    }
    void TearDown() override { restoreDefaultRegistryLocation(); }

    // The type and data of a value, or the error as the type.
    static std::pair<unsigned long, QByteArray> read(HKEY root, const QString &path,
                                                     const char *name)
    {
        OpenedKey key;
        unsigned long type = 0, size = 4096;
        QByteArray data(4096, '\0');
        long result = RegOpenKeyExA(root, path.toUtf8().constData(), 0, KEY_READ, &key.key);
        if (result == ERROR_SUCCESS)
            result = RegQueryValueExA(key.key, name, nullptr, &type,
                                      reinterpret_cast<unsigned char *>(data.data()), &size);
        if (result != ERROR_SUCCESS)
            return {static_cast<unsigned long>(1000000 + result), {}};
        return {type, data.left(size)};
    }
};

TEST_F(RegistryValuesTest, TextValuesAreWrittenAndReplaced)
{
    EXPECT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kKey, "Name", QString(3000, u'x')));
    EXPECT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kKey, "Name", QString::fromUtf8("zoë 42")));
    EXPECT_EQ(read(HKEY_CURRENT_USER, kKey, "Name"),
              std::make_pair(REG_SZ, QByteArray("zo\xc3\xab 42", 8)));
}

TEST_F(RegistryValuesTest, DwordValuesStayNumbersLeastSignificantByteFirst)
{
    EXPECT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kKey, "Count", "305419896")); // 0x12345678
    EXPECT_EQ(read(HKEY_CURRENT_USER, kKey, "Count"),
              std::make_pair(REG_DWORD, QByteArray("\x78\x56\x34\x12", 4)));
    EXPECT_TRUE(setRegistryValue(HKEY_CURRENT_USER, kKey, "Count", " -1 "));
    EXPECT_EQ(read(HKEY_CURRENT_USER, kKey, "Count").second, QByteArray("\xff\xff\xff\xff", 4));
    for (const char *text : {"abc", "", "1.5", "4294967296"})
        EXPECT_FALSE(setRegistryValue(HKEY_CURRENT_USER, kKey, "Count", text)) << text;
    EXPECT_EQ(read(HKEY_CURRENT_USER, kKey, "Count").second, QByteArray("\xff\xff\xff\xff", 4));
}

TEST_F(RegistryValuesTest, FailuresAndMissingValuesAreSilent)
{
    EXPECT_FALSE(setRegistryValue(HKEY_CURRENT_USER, "Software\\Nowhere", "Name", "x"));
    EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\Nowhere", "Name").first,
              1000000u + ERROR_FILE_NOT_FOUND);
    deleteRegistryValue(HKEY_CURRENT_USER, "Software\\Nowhere", "Name");
    deleteRegistryValue(HKEY_CURRENT_USER, kKey, "Never");
    deleteRegistryValue(HKEY_CURRENT_USER, kKey, "Count");
    EXPECT_EQ(read(HKEY_CURRENT_USER, kKey, "Count").first, 1000000u + ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValuesTest, RunValueIsTheAutostartEntry)
{
    applyAutoStart(1, "/home/me/my apps/");
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_EQ(read(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName),
              std::make_pair(REG_SZ, QByteArray("/home/me/my apps/Kestrum", 25)));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\nExec=\"/home/me/my apps/Kestrum\"\n"));

    applyAutoStart(0, "/home/me/my apps");
    EXPECT_FALSE(QFile::exists(entry));
    deleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName); // none left: silent
    EXPECT_FALSE(QFile::exists(entry));
}

TEST_F(RegistryValuesTest, WakeSettingsAreNumbersUnderKestrumsKeyAndBadOnesGiveTheirDefault)
{
    EXPECT_EQ(loadWakeSettings(), WakeSettings{}) << "nothing stored yet";

    WakeSettings wake;
    wake.fadeInSeconds = 15;
    wake.lateLimitMinutes = 0;
    ASSERT_TRUE(saveWakeSettings(wake));
    EXPECT_EQ(loadWakeSettings(), wake);
    const unsigned char fifteen[4] = {15, 0, 0, 0};
    EXPECT_EQ(read(HKEY_CURRENT_USER, QStringLiteral("Software\\Kestrum"), "FadeInSeconds"),
              std::make_pair(REG_DWORD, QByteArray(reinterpret_cast<const char *>(fifteen), 4)));

    // A value of another type, or out of range, gives that value's default only.
    deleteRegistryValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Kestrum"), "LateAlarmMinutes");
    EXPECT_TRUE(setRegistryValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Kestrum"), "LateAlarmMinutes", "soon"));
    EXPECT_EQ(loadWakeSettings().lateLimitMinutes, WakeSettings::kDefaultLateLimit);
    EXPECT_EQ(loadWakeSettings().fadeInSeconds, 15);
    OpenedKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, KEY_ALL_ACCESS, &key.key), ERROR_SUCCESS);
    const unsigned char tooLong[4] = {0x79, 0, 0, 0}; // 121 s
    ASSERT_EQ(RegSetValueExA(key.key, "FadeInSeconds", 0, REG_DWORD, tooLong, 4), ERROR_SUCCESS);
    EXPECT_EQ(loadWakeSettings().fadeInSeconds, 0);
}

} // namespace
} // namespace kestrum
