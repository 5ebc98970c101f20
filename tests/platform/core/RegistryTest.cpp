#include "Registry.h"
#include "RegistryStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr const char *kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString store = folder.filePath(QStringLiteral("config/registry.ini"));
    QString autostart = folder.filePath(QStringLiteral("auto start"));

    void SetUp() override { setRegistryLocation(store, autostart); }
    void TearDown() override { restoreDefaultRegistryLocation(); }

    static HKEY create(HKEY root, const char *path, unsigned long *disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static long setText(HKEY key, const char *name, const char *text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const unsigned char *>(text),
                              static_cast<unsigned long>(std::strlen(text) + 1));
    }
    // The text of a REG_SZ value, or "<error N>".
    static std::string text(HKEY key, const char *name)
    {
        unsigned long type = 0, size = 0;
        long result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        std::string data(size, '?');
        if (result == ERROR_SUCCESS)
            result = RegQueryValueExA(key, name, nullptr, &type,
                                      reinterpret_cast<unsigned char *>(data.data()), &size);
        if (result != ERROR_SUCCESS || type != REG_SZ || size == 0 || data.back() != '\0')
            return "<error " + std::to_string(result) + ">";
        return data.substr(0, size - 1);
    }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

TEST_F(RegistryTest, CreatesOpensAndClosesKeys)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);

    unsigned long disposition = 0;
    HKEY created = create(HKEY_CURRENT_USER, "Software\\Kestrum\\Alarm", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(create(HKEY_CURRENT_USER, "software\\KESTRUM\\alarm", &disposition));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\kestrum", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "keys above a created key exist, whatever the case of their names";
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Kestrum", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND)
        << "each root is its own subtree";
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
}

TEST_F(RegistryTest, StringValuesNegotiateTheirSize)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum");
    const unsigned char withNul[] = "abc\0ignored";
    ASSERT_EQ(RegSetValueExA(key, "Song", 0, REG_SZ, withNul, sizeof withNul), ERROR_SUCCESS);

    unsigned long type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "SONG", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u) << "stored up to the first NUL, read with one";
    unsigned char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    size = 3;
    EXPECT_EQ(RegQueryValueExA(key, "Song", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "Song", nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(buffer, "abc\0xxxx", 8), 0);

    EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setText(key, "", "default"), ERROR_SUCCESS);
    EXPECT_EQ(text(key, nullptr), "default") << "null and empty both name the default value";
    EXPECT_EQ(setText(key, "song", "Café \"x\"\\\n\x01\xff"), ERROR_SUCCESS);
    EXPECT_EQ(text(key, "Song"), "Café \"x\"\\\n\x01\xff") << "every byte survives the file";
    EXPECT_TRUE(contents(store).contains("\"song\"=sz:\"Café \\\"x\\\"\\\\\\n\\x01\\xff\""))
        << contents(store).toStdString();
    RegCloseKey(key);
}

TEST_F(RegistryTest, DwordValuesAreFourLittleEndianBytes)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum");
    const unsigned char bytes[4] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_EQ(RegSetValueExA(key, "Volume", 0, REG_DWORD, bytes, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Volume", 0, REG_DWORD, bytes, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "Volume", 0, 3 /* REG_BINARY */, bytes, 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(contents(store).contains("\"Volume\"=dword:12345678"));

    unsigned long type = 0, size = 4;
    unsigned char out[4] = {};
    ASSERT_EQ(RegQueryValueExA(key, "volume", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(std::memcmp(out, bytes, 4), 0);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletesValuesAndLeafKeys)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum\\Alarm");
    ASSERT_EQ(setText(key, "Song", "a.mp3"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "SONG"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Song"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kestrum"), ERROR_ACCESS_DENIED)
        << "a key with subkeys stays";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kestrum\\alarm"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kestrum\\Alarm"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setText(key, "Song", "a.mp3"), ERROR_KEY_DELETED)
        << "a handle to a deleted key does not bring it back";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kestrum"), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, BadHandlesPointersAndAccessGiveCodes)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setText(key, "a", "b"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(text(key, "a"), "<error 6>");
    EXPECT_EQ(RegDeleteValueA(key, "a"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyA(key, "a"), ERROR_INVALID_HANDLE);
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &other), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &other, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    unsigned char byte = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "a", nullptr, nullptr, &byte, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "a", 0, REG_SZ, nullptr, 5),
              ERROR_INVALID_PARAMETER);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(setText(key, "a", "b"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SeesWhatAnotherWriterPutInTheFile)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum");
    writeFile(store, "KestrumRegistry=1\n[HKEY_CURRENT_USER\\Software\\Kestrum]\n"
                     "\"Song\"=sz:\"first.mp3\"\n[HKCR\\SonbrelMP3.SBMP3Player]\n@=sz:\"x\"\n");
    EXPECT_EQ(text(key, "song"), "first.mp3") << "an open handle reads the file afresh";
    HKEY progId = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "sonbrelmp3.sbmp3player", 0, KEY_READ, &progId),
              ERROR_SUCCESS);
    EXPECT_EQ(text(progId, ""), "x");
    RegCloseKey(progId);
    RegCloseKey(key);
}

TEST_F(RegistryTest, WritersInTwoProcessesKeepEachOthersChanges)
{
    constexpr int kValues = 25;
    pid_t children[2] = {};
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            HKEY key = nullptr;
            bool ok = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
            for (int i = 0; i < kValues; ++i) {
                const std::string name = std::to_string(child) + "-" + std::to_string(i);
                ok = ok && setText(key, name.c_str(), "x") == ERROR_SUCCESS;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < kValues; ++i) {
            const std::string name = std::to_string(child) + "-" + std::to_string(i);
            EXPECT_EQ(text(key, name.c_str()), "x") << name;
        }
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, ALineThatDoesNotParseIsLeftOutAndTheRestKept)
{
    const QByteArray damaged = "KestrumRegistry=1\n"
                               "[HKCU\\Software\\Classes\\SonbrelMP3.SBMP3Player]\n"
                               "\"Library\"=sz:\"/lib/libTarnelMP3.so\"\n"
                               "not a value\n"
                               "\"Class\"=sz:\"SBMP3Player\"\n"
                               "[HKXX\\Bad key]\n"
                               "\"Lost\"=sz:\"with its key\"\n"
                               "[HKCU\\Software\\Kestrum]\n"
                               "\"Song\"=sz:\"a.mp3\n";
    writeFile(store, damaged);
    HKEY player = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\SonbrelMP3.SBMP3Player", 0, KEY_READ, &player),
              ERROR_SUCCESS);
    EXPECT_EQ(text(player, "Library"), "/lib/libTarnelMP3.so");
    EXPECT_EQ(text(player, "Class"), "SBMP3Player");
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Kestrum");
    EXPECT_EQ(text(key, "Song"), "<error 2>");
    ASSERT_EQ(setText(key, "Song", "b.mp3"), ERROR_SUCCESS);
    EXPECT_EQ(contents(store + ".corrupt"), damaged);
    EXPECT_EQ(text(key, "Song"), "b.mp3");
    EXPECT_EQ(text(player, "Library"), "/lib/libTarnelMP3.so") << "a change keeps every line that parsed";
    EXPECT_FALSE(contents(store).contains("Lost"));
    RegCloseKey(key);
    RegCloseKey(player);

    // A file without the store's header is no store: it reads as empty.
    writeFile(store, "garbage\n[HKCU\\Software\\Kestrum]\n\"Song\"=sz:\"a.mp3\"\n");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrum", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AStoreThatIsNoRegularFileOrTooLargeIsNeitherWaitedOnNorReplaced)
{
    ASSERT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_SUCCESS);
    QFile::remove(store);
    ASSERT_EQ(::mkfifo(QFile::encodeName(store).constData(), 0600), 0);
    EXPECT_EQ(text(HKEY_CURRENT_USER, "Song"), "<error 2>") << "a FIFO reads as empty at once";
    EXPECT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_CANTWRITE);

    for (const QString &target : {QStringLiteral("/dev/zero"), folder.path()}) {
        QFile::remove(store);
        ASSERT_TRUE(QFile::link(target, store));
        EXPECT_EQ(text(HKEY_CURRENT_USER, "Song"), "<error 2>") << qPrintable(target);
        EXPECT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_CANTWRITE) << qPrintable(target);
        EXPECT_TRUE(QFileInfo(store).isSymLink());
    }

    QFile::remove(store);
    QFile file(store);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("KestrumRegistry=1\n");
    ASSERT_TRUE(file.resize(store::kMaxStoreSize + 1));
    file.close();
    EXPECT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_CANTWRITE);
    EXPECT_EQ(QFileInfo(store).size(), store::kMaxStoreSize + 1);
}

TEST_F(RegistryTest, TheStoreItsLockAndTheEntriesAreTheUsersWhateverTheUmask)
{
    const mode_t previous = ::umask(0);
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRun, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    EXPECT_EQ(setText(run, "Kestrum", "/opt/Kestrum"), ERROR_SUCCESS);
    EXPECT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_SUCCESS);
    RegCloseKey(run);
    const auto modeOf = [](const QString &path) {
        struct stat status {};
        ::stat(QFile::encodeName(path).constData(), &status);
        return status.st_mode & 07777;
    };
    mode_t lockMode = 0;
    store::change(store, [&](store::Tree &) {
        lockMode = modeOf(store + ".lock");
        return false;
    });
    ::umask(previous);
    EXPECT_EQ(modeOf(store), 0600u);
    EXPECT_EQ(lockMode, 0600u);
    EXPECT_EQ(modeOf(QFileInfo(store).absolutePath()), 0700u);
    EXPECT_EQ(modeOf(autostart + "/Kestrum.desktop"), 0644u);
    EXPECT_EQ(modeOf(autostart), 0700u);
}

TEST_F(RegistryTest, AStoreIsReadAgainOnlyWhenItChanged)
{
    ASSERT_EQ(setText(HKEY_CURRENT_USER, "Song", "a.mp3"), ERROR_SUCCESS);
    EXPECT_EQ(text(HKEY_CURRENT_USER, "Song"), "a.mp3");
    const auto first = store::snapshot(store);
    EXPECT_EQ(store::snapshot(store).tree, first.tree) << "an unchanged file is not parsed again";

    // Another writer: same size, and the same modification time as well.
    const QByteArray other = contents(store).replace("a.mp3", "b.mp3");
    struct stat before {};
    ::stat(QFile::encodeName(store).constData(), &before);
    writeFile(store + ".new", other);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(store + ".new").constData(), times, 0);
    ASSERT_TRUE(::rename(QFile::encodeName(store + ".new").constData(), QFile::encodeName(store).constData()) == 0);
    EXPECT_EQ(text(HKEY_CURRENT_USER, "Song"), "b.mp3") << "a new inode is a new file";
}

TEST_F(RegistryTest, RunKeyIsTheAutostartFolder)
{
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    const QByteArray program = QDir(folder.path()).filePath("My Apps/Kestrum").toUtf8();
    ASSERT_EQ(setText(run, "Kestrum", program.constData()), ERROR_SUCCESS);
    const QString entry = autostart + "/Kestrum.desktop";
    EXPECT_EQ(contents(entry), "[Desktop Entry]\nType=Application\nName=Kestrum\nExec=\""
                                   + program + "\"\nTerminal=false\n"
                                   "X-GNOME-Autostart-enabled=true\nX-TarnelPlatform-Command="
                                   + program + "\n");
    EXPECT_EQ(text(run, "kestrum"), program.toStdString());

    // Quotes, dollars and backslashes are escaped for Exec, then for the file.
    ASSERT_EQ(setText(run, "Odd", "/opt/a \"b\"/$x\\y 100%"), ERROR_SUCCESS);
    // A program whose path holds "%" is started through the shell.
    EXPECT_TRUE(contents(autostart + "/Odd.desktop")
                    .contains("\nExec=/bin/sh -c \"exec \\\\\"\\\\$0\\\\\" \\\\\"\\\\$@\\\\\"\" "
                              "\"/opt/a \\\\\"b\\\\\"/\\\\$x\\\\\\\\y 100%%\"\n"))
        << contents(autostart + "/Odd.desktop").constData();
    EXPECT_EQ(text(run, "Odd"), "/opt/a \"b\"/$x\\y 100%");

    // A quoted program is followed by its arguments, split as Windows would.
    ASSERT_EQ(setText(run, "Kestrum", ("\"" + program + "\" --minimized").constData()), ERROR_SUCCESS);
    EXPECT_TRUE(contents(entry).contains("\nExec=\"" + program + "\" --minimized\n"));

    const unsigned char dword[4] = {};
    EXPECT_EQ(RegSetValueExA(run, "Kestrum", 0, REG_DWORD, dword, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setText(run, "../escape", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteValueA(run, "KESTRUM"), ERROR_SUCCESS);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(RegDeleteValueA(run, "Kestrum"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QDir(autostart).entryList(QDir::Files), QStringList{"Odd.desktop"});
    EXPECT_FALSE(QFile::exists(store)) << "the Run key never reaches the store";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kRun), ERROR_ACCESS_DENIED);
    RegCloseKey(run);
}

TEST_F(RegistryTest, DefaultLocationsComeBack)
{
    restoreDefaultRegistryLocation();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    EXPECT_EQ(registryStoreFile(), config + "/tarnel-platform/registry.ini");
    EXPECT_EQ(registryAutostartFolder(), config + "/autostart");
}

}  // namespace
}  // namespace platform
