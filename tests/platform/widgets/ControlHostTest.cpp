// The control host over the real libTarnelMP3.so, which this program does
// not link: the library registers itself into a temporary registry store
// and the player is created by ProgID and driven only by name.
#include "ContainerSite.h"
#include "ControlHost.h"
#include "HostedControl.h"
#include "MachineStore.h"
#include "Registry.h"
#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <optional>
#include <tuple>
#include <utility>

#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

const QString kPlayer = QStringLiteral("SonbrelMP3.SBMP3Player");
const QString kPlayList = QStringLiteral("SonbrelMP3.SBMP3PlayList");

class RecordingSite : public ContainerSite {
public:
    bool userMode() const override { return true; }
    void propertyChanged(const QString &name) override { changed.append(name); }
    void messageBox(const QString &text, const QString &, MessageIcon) override { messages.append(text); }

    QStringList changed;
    QStringList messages;
};

// Receives an event connected by its signature text, as hosts connect.
class EventReceiver : public QObject {
    Q_OBJECT
public slots:
    void onFinishedPlaying() { ++finished; }

public:
    int finished = 0;
};

// A member set with known behaviour for the late-binding rules.
class Scripted : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint16 Volume READ Volume WRITE setVolume)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QVariant Tag READ Tag WRITE setTag)

public:
    qint16 Volume() const { return volume; }
    void setVolume(qint16 value)
    {
        if (value < 0)
            throw DispatchError(380, QStringLiteral("Scripted"), QStringLiteral("Invalid property value"));
        volume = value;
    }
    QString Title() const { return QStringLiteral("fixed"); }
    QVariant Tag() const { return tag; }
    void setTag(const QVariant &value) { tag = value; }

    Q_INVOKABLE int Add(int left, int right) { return left + right; }
    Q_INVOKABLE QString Add(const QString &a, const QString &b, const QString &c) { return a + b + c; }
    Q_INVOKABLE void Fail(int number)
    {
        throw DispatchError(number, QStringLiteral("Scripted"), QStringLiteral("failed on purpose"));
    }
    Q_INVOKABLE void RunOutOfMemory() { throw std::bad_alloc(); }
    Q_INVOKABLE void Misbehave() { throw std::runtime_error("not a dispatch error"); }
    void notDispatched() {}

    qint16 volume = 5;
    QVariant tag;
};

template <typename Call>
std::optional<DispatchError> errorOf(Call &&call)
{
    try {
        call();
    } catch (const DispatchError &error) {
        return error;
    }
    return std::nullopt;
}

// The number of the error that `call` raises; 0 when it raises none.
template <typename Call>
std::int32_t numberOf(Call &&call)
{
    const auto error = errorOf(std::forward<Call>(call));
    return error ? error->number() : 0;
}

class ControlHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // The library carries its own copy of the registry layer, which
        // uses the default store: the configuration folder is pointed at
        // the temporary one, so both copies use the same file there.
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), folder.path());
        setRegistryLocation(storeFile(), folder.filePath(QStringLiteral("autostart")));

        QString error;
        const auto library = SharedLibrary::load(QStringLiteral(TARNEL_LIBRARY_PATH), &error);
        ASSERT_TRUE(library) << qPrintable(error);
        registerServer = library->function<long()>("DllRegisterServer");
        unregisterServer = library->function<long()>("DllUnregisterServer");
        ASSERT_NE(registerServer, nullptr);
        ASSERT_NE(unregisterServer, nullptr);
    }

    void TearDown() override
    {
        restoreDefaultRegistryLocation();
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString storeFile() const { return folder.filePath(QStringLiteral("tarnel-platform/registry.ini")); }

    static QByteArray keyOf(const QString &progId) { return "Software\\Classes\\" + progId.toUtf8(); }

    static bool keyExists(const QString &progId)
    {
        HKEY key = nullptr;
        const long result = RegOpenKeyExA(HKEY_CURRENT_USER, keyOf(progId).constData(), 0, KEY_READ, &key);
        if (key)
            RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    static QByteArray textOf(const QString &progId, const char *valueName)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyOf(progId).constData(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        unsigned char data[1024] = {};
        unsigned long size = sizeof data;
        unsigned long type = 0;
        const long result = RegQueryValueExA(key, valueName, nullptr, &type, data, &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? QByteArray(reinterpret_cast<const char *>(data)) : "<no value>";
    }

    static void writeRecord(const QString &progId, const QByteArray &libraryPath, const QByteArray &className)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyOf(progId).constData(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const auto set = [&](const char *name, const QByteArray &text) {
            if (text.isNull())
                return;
            EXPECT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const unsigned char *>(text.constData()),
                                     static_cast<unsigned long>(text.size() + 1)),
                      ERROR_SUCCESS);
        };
        set("Library", libraryPath);
        set("Class", className);
        RegCloseKey(key);
    }

    // The error createControl raises for `progId`; fails the test when it
    // creates a control instead.
    DispatchError creationError(const QString &progId)
    {
        QWidget parent;
        const auto error = errorOf([&] { host.createControl(progId, &parent); });
        EXPECT_TRUE(error.has_value()) << qPrintable(progId) << " was created";
        return error.value_or(DispatchError(0, QString(), QString()));
    }

    QTemporaryDir folder;
    QByteArray savedConfigHome;
    bool hadConfigHome = false;
    long (*registerServer)() = nullptr;
    long (*unregisterServer)() = nullptr;
    ControlHost host;
};

// --- Registration --------------------------------------------------------

TEST_F(ControlHostTest, RegistrationRecordsBothProgIdsWithTheLoadedLibraryAndItsClass)
{
    ASSERT_EQ(registerServer(), 0);

    EXPECT_TRUE(QFileInfo::exists(storeFile()));
    const QString loaded = QFileInfo(QString::fromUtf8(TARNEL_LIBRARY_PATH)).canonicalFilePath();
    for (const auto &[progId, className] : {std::pair{kPlayer, "SBMP3Player"}, std::pair{kPlayList, "SBMP3PlayList"}}) {
        const QByteArray recorded = textOf(progId, "Library");
        EXPECT_TRUE(QFileInfo(QFile::decodeName(recorded)).isAbsolute()) << recorded.constData();
        EXPECT_EQ(QFileInfo(QFile::decodeName(recorded)).canonicalFilePath(), loaded);
        EXPECT_EQ(textOf(progId, "Class"), className);
        EXPECT_FALSE(textOf(progId, nullptr).startsWith('<')) << "no readable name";
    }
}

TEST_F(ControlHostTest, UnregistrationRemovesOnlyTheKeysThatNameThisLibrary)
{
    ASSERT_EQ(registerServer(), 0);
    // Another copy of the library has since taken over the playlist's
    // ProgID, and an unrelated record lies beside them.
    writeRecord(kPlayList, "/opt/other/libTarnelMP3.so", "SBMP3PlayList");
    writeRecord(QStringLiteral("Other.Control"), "/opt/other/libOther.so", "Other");

    ASSERT_EQ(unregisterServer(), 0);

    EXPECT_FALSE(keyExists(kPlayer));
    EXPECT_EQ(textOf(kPlayList, "Library"), "/opt/other/libTarnelMP3.so");
    EXPECT_TRUE(keyExists(QStringLiteral("Other.Control")));
    EXPECT_EQ(unregisterServer(), 0) << "unregistering twice is not an error";
    EXPECT_EQ(creationError(kPlayer).number(), kErrorCannotCreateObject);
}

TEST_F(ControlHostTest, RegistrationToolRegistersUnregistersAndReportsFailures)
{
    const auto run = [&](const QStringList &arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(TARNEL_REGISTER_PATH), arguments);
        EXPECT_TRUE(tool.waitForFinished(30000));
        return std::pair{tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError())};
    };
    const QString libraryPath = QStringLiteral(TARNEL_LIBRARY_PATH);

    auto [code, output] = run({libraryPath});
    EXPECT_EQ(code, 0) << qPrintable(output);
    EXPECT_EQ(output.count(QLatin1Char('\n')), 1) << qPrintable(output);
    EXPECT_TRUE(keyExists(kPlayer));

    std::tie(code, output) = run({QStringLiteral("--unregister"), libraryPath});
    EXPECT_EQ(code, 0) << qPrintable(output);
    EXPECT_FALSE(keyExists(kPlayer));

    const QString missing = folder.filePath(QStringLiteral("missing/libTarnelMP3.so"));
    std::tie(code, output) = run({missing});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(output.contains(missing)) << qPrintable(output);
    EXPECT_EQ(run({}).first, 1);
}

TEST_F(ControlHostTest, RegistrationToolOnAFullDiskFailsAndLeavesTheStoreAsItWas)
{
    // A store larger than the 512 bytes the tool's files may grow to.
    writeRecord(QStringLiteral("Other.Control"), "/opt/other/" + QByteArray(600, 'x') + ".so", "Other");
    QFile store(storeFile());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray before = store.readAll();
    store.close();

    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path());
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\""),
                                           QStringLiteral(TARNEL_REGISTER_PATH), QStringLiteral(TARNEL_LIBRARY_PATH)});
    ASSERT_TRUE(tool.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError());
    EXPECT_EQ(tool.exitCode(), 1) << qPrintable(output);
    EXPECT_TRUE(output.contains(QStringLiteral("File too large"))) << qPrintable(output);
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(store.readAll(), before);
    EXPECT_FALSE(keyExists(kPlayer));
}

// --- Creating controls by ProgID -----------------------------------------

TEST_F(ControlHostTest, CreatesThePlayerAsA32By32ChildWithItsContainerSite)
{
    ASSERT_EQ(registerServer(), 0);
    QWidget parent;
    RecordingSite site;

    QWidget *control = host.createControl(kPlayer, &parent, &site);

    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &parent);
    EXPECT_EQ(control->size(), QSize(32, 32));
    EXPECT_FALSE(control->isHidden());
    EXPECT_STREQ(control->metaObject()->className(), "SonbrelMP3::SBMP3Player");
    EXPECT_NE(qobject_cast<HostedControl *>(control), nullptr);
    // The site is attached: a property change reaches it.
    setProperty(control, "ChangeInterval", QStringLiteral("250"));
    EXPECT_EQ(site.changed, QStringList{QStringLiteral("ChangeInterval")});

    // A second control comes from the library already loaded.
    QWidget *second = host.createControl(kPlayer, &parent);
    EXPECT_NE(second, control);
    EXPECT_EQ(parent.findChildren<QWidget *>().size(), 2);

    std::unique_ptr<QWidget> window(host.createControl(kPlayer, nullptr));
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->isHidden());
}

TEST_F(ControlHostTest, ReportsEachCreationFailureWithTheProgId)
{
    const auto expectError = [&](const QString &progId, std::int32_t number, const QString &mentioned) {
        const DispatchError error = creationError(progId);
        EXPECT_EQ(error.number(), number) << qPrintable(error.description());
        EXPECT_EQ(error.source(), QStringLiteral("ControlHost"));
        EXPECT_TRUE(error.description().contains(progId)) << qPrintable(error.description());
        EXPECT_TRUE(error.description().contains(mentioned)) << qPrintable(error.description());
    };

    expectError(QStringLiteral("SonbrelMP3.NoSuchControl"), kErrorCannotCreateObject, QStringLiteral("not registered"));
    expectError(QString(), kErrorCannotCreateObject, QStringLiteral("not registered"));
    writeRecord(QStringLiteral("Test.Deeper"), TARNEL_LIBRARY_PATH, "SBMP3Player");
    writeRecord(QStringLiteral("Test.Deeper\\Sub"), TARNEL_LIBRARY_PATH, "SBMP3Player");
    expectError(QStringLiteral("Test.Deeper\\Sub"), kErrorCannotCreateObject, QStringLiteral("not registered"));

    const QString missing = folder.filePath(QStringLiteral("gone/libTarnelMP3.so"));
    writeRecord(QStringLiteral("Test.Missing"), QFile::encodeName(missing), "SBMP3Player");
    expectError(QStringLiteral("Test.Missing"), kErrorCannotLoadLibrary, missing);

    const QString broken = folder.filePath(QStringLiteral("libBroken.so"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a shared object");
    file.close();
    writeRecord(QStringLiteral("Test.Broken"), QFile::encodeName(broken), "SBMP3Player");
    expectError(QStringLiteral("Test.Broken"), kErrorCannotLoadLibrary, broken + QStringLiteral(" cannot be loaded: "));

    writeRecord(QStringLiteral("Test.Relative"), "libTarnelMP3.so", "SBMP3Player");
    expectError(QStringLiteral("Test.Relative"), kErrorCannotLoadLibrary, QStringLiteral("not absolute"));

    writeRecord(QStringLiteral("Test.NoFactory"), ENGINE_LIBRARY_PATH, "SBMP3Player");
    expectError(QStringLiteral("Test.NoFactory"), kErrorNoSuchEntryPoint, QStringLiteral("TarnelCreateControl"));

    writeRecord(QStringLiteral("Test.NoClass"), TARNEL_LIBRARY_PATH, QByteArray());
    expectError(QStringLiteral("Test.NoClass"), kErrorCannotCreateObject, QStringLiteral("no class"));

    writeRecord(QStringLiteral("Test.Unknown"), TARNEL_LIBRARY_PATH, "NoSuchClass");
    expectError(QStringLiteral("Test.Unknown"), kErrorCannotCreateObject, QStringLiteral("'NoSuchClass'"));
}

TEST_F(ControlHostTest, RefusesALibraryAnotherUserCouldHaveReplaced)
{
    // Libraries that are never loaded: the host refuses them before.
    const auto place = [&](const QString &folderName, QFile::Permissions folderMode, QFile::Permissions fileMode) {
        const QString dir = folder.filePath(folderName);
        EXPECT_TRUE(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/libPlaced.so");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a shared object");
        file.close();
        EXPECT_TRUE(file.setPermissions(fileMode));
        EXPECT_TRUE(QFile::setPermissions(dir, folderMode));
        return path;
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions shared = owner | QFile::ReadOther | QFile::ExeOther;
    const struct {
        QString path;
        QString why;
    } unsafe[] = {
        {place(QStringLiteral("open"), shared | QFile::WriteOther, shared), QStringLiteral("open may be written")},
        {place(QStringLiteral("group"), shared | QFile::WriteGroup, shared), QStringLiteral("group may be written")},
        {place(QStringLiteral("file"), shared, shared | QFile::WriteOther), QStringLiteral("libPlaced.so may be")},
    };
    // The group of "group" is one that others share (root may hand it over;
    // otherwise that case is left out).
    const bool sharedGroup = ::chown(QFile::encodeName(QFileInfo(unsafe[1].path).absolutePath()).constData(),
                                     static_cast<uid_t>(-1), 100) == 0;
    for (const auto &c : unsafe) {
        if (!sharedGroup && c.why.startsWith(QStringLiteral("group")))
            continue;
        writeRecord(QStringLiteral("Test.Unsafe"), QFile::encodeName(c.path), "SBMP3Player");
        const DispatchError error = creationError(QStringLiteral("Test.Unsafe"));
        EXPECT_EQ(error.number(), kErrorCannotLoadLibrary);
        EXPECT_TRUE(error.description().contains(c.path)) << qPrintable(error.description());
        EXPECT_TRUE(error.description().contains(c.why)) << qPrintable(error.description());
    }

    // A link to it does not hide where the library lies.
    const QString link = folder.filePath(QStringLiteral("libLink.so"));
    ASSERT_TRUE(QFile::link(unsafe[0].path, link));
    writeRecord(QStringLiteral("Test.Link"), QFile::encodeName(link), "SBMP3Player");
    EXPECT_TRUE(creationError(QStringLiteral("Test.Link")).description().contains(QStringLiteral("open may be written")));

    // A folder its owner's private group may write to (a umask of 002) is
    // the owner's alone.
    const QString privateGroup = place(QStringLiteral("private"), shared | QFile::WriteGroup, shared);
    const bool isPrivate = [] {
        const passwd *me = ::getpwuid(::geteuid());
        const group *own = me ? ::getgrgid(me->pw_gid) : nullptr;
        return own && std::strcmp(own->gr_name, me->pw_name) == 0 && (!own->gr_mem || !own->gr_mem[0]);
    }();
    if (isPrivate) {
        writeRecord(QStringLiteral("Test.Private"), QFile::encodeName(privateGroup), "SBMP3Player");
        EXPECT_TRUE(creationError(QStringLiteral("Test.Private")).description().contains(QStringLiteral("cannot be loaded")));
    }

    // A shared folder with the sticky bit (as /tmp) only lets owners replace.
    const QString sticky = place(QStringLiteral("sticky"), shared | QFile::WriteOther, shared);
    ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(sticky).absolutePath()).constData(), 01777), 0);
    writeRecord(QStringLiteral("Test.Sticky"), QFile::encodeName(sticky), "SBMP3Player");
    EXPECT_TRUE(creationError(QStringLiteral("Test.Sticky")).description().contains(QStringLiteral("cannot be loaded")));

    // A library of another user's (root may give it away to see this).
    const QString foreign = place(QStringLiteral("foreign"), shared, shared);
    if (::chown(QFile::encodeName(foreign).constData(), 1001, 1001) != 0)
        GTEST_SKIP() << "files can be given to another user only by root";
    writeRecord(QStringLiteral("Test.Foreign"), QFile::encodeName(foreign), "SBMP3Player");
    const DispatchError error = creationError(QStringLiteral("Test.Foreign"));
    EXPECT_EQ(error.number(), kErrorCannotLoadLibrary);
    EXPECT_TRUE(error.description().contains(QStringLiteral("belongs to another user (uid 1001)")))
        << qPrintable(error.description());
}

TEST_F(ControlHostTest, CreatesThePlayListByItsProgId)
{
    ASSERT_EQ(registerServer(), 0);
    QWidget parent;
    QObject *list = host.createControl(kPlayList, &parent);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(getProperty(list, "Count").toInt(), 0);
    EXPECT_EQ(static_cast<QWidget *>(list)->size(), QSize(32, 32));
    try {
        call(list, "RemoveEntry", {3});
        FAIL() << "no error";
    } catch (const platform::DispatchError &error) {
        EXPECT_EQ(error.number(), 30078);
        EXPECT_EQ(error.description(), QStringLiteral("There is no PlayList entry 3."));
    }
}

// --- The machine-wide record ----------------------------------------------

TEST_F(ControlHostTest, TheMachineWideRecordServesEveryUserWithoutAUsableRecordOfTheirOwn)
{
    // The library's copy of the registry and this test's find the machine
    // store through the environment.
    qputenv(machine::kStoreVariable, QFile::encodeName(folder.filePath(QStringLiteral("machine/registry.ini"))));
    const auto library = SharedLibrary::load(QStringLiteral(TARNEL_LIBRARY_PATH));
    ASSERT_TRUE(library);
    auto *registerMachine = library->function<long(int, const char *, const char *)>("TarnelRegisterMachine");
    ASSERT_NE(registerMachine, nullptr);
    ASSERT_EQ(registerMachine(1, nullptr, nullptr), 0);
    EXPECT_FALSE(keyExists(kPlayer)) << "the user's store is left alone";

    QWidget parent;
    EXPECT_NE(host.createControl(kPlayer, &parent), nullptr);
    // A user's record of a library that is gone (a build folder deleted
    // since) gives way to the machine's.
    writeRecord(kPlayer, QFile::encodeName(folder.filePath(QStringLiteral("gone/libTarnelMP3.so"))), "SBMP3Player");
    EXPECT_NE(host.createControl(kPlayer, &parent), nullptr);
    // One of a library that is there wins, even one that cannot make it.
    writeRecord(kPlayer, ENGINE_LIBRARY_PATH, "SBMP3Player");
    EXPECT_EQ(creationError(kPlayer).number(), kErrorNoSuchEntryPoint);

    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyOf(kPlayer).constData()), ERROR_SUCCESS);
    ASSERT_EQ(registerMachine(0, nullptr, nullptr), 0);
    EXPECT_EQ(creationError(kPlayer).number(), kErrorCannotCreateObject);
}

TEST_F(ControlHostTest, RegistrationToolRecordsForEveryUserUnderTheInstalledPath)
{
    const QString store = folder.filePath(QStringLiteral("prefix/share/tarnel-platform/registry.ini"));
    const QString installed = QStringLiteral("/opt/kestrum/lib/libTarnelMP3.so");
    const auto run = [&](const QStringList &arguments) {
        QProcess tool;
        tool.start(QStringLiteral(TARNEL_REGISTER_PATH), arguments);
        EXPECT_TRUE(tool.waitForFinished(30000));
        return std::pair{tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError())};
    };
    const auto recorded = [&] {
        setRegistryLocation(storeFile(), QString(), store);
        HKEY key = nullptr;
        std::optional<QByteArray> library;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyOf(kPlayer).constData(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            library = queryTextValue(key, "Library");
            RegCloseKey(key);
        }
        return library.value_or("<no record>");
    };
    const QString libraryPath = QStringLiteral(TARNEL_LIBRARY_PATH);

    auto [code, output] = run({QStringLiteral("--machine"), QStringLiteral("--store"), store, QStringLiteral("--as"),
                               installed, libraryPath});
    EXPECT_EQ(code, 0) << qPrintable(output);
    EXPECT_TRUE(output.contains(installed)) << qPrintable(output);
    EXPECT_EQ(recorded(), QFile::encodeName(installed));
    EXPECT_FALSE(keyExists(kPlayer));

    std::tie(code, output) = run({QStringLiteral("--unregister"), QStringLiteral("--machine"), QStringLiteral("--store"),
                                  store, QStringLiteral("--as"), installed, libraryPath});
    EXPECT_EQ(code, 0) << qPrintable(output);
    EXPECT_EQ(recorded(), "<no record>");

    EXPECT_EQ(run({QStringLiteral("--store"), store, libraryPath}).first, 1) << "--store belongs to --machine";
    // A store that cannot be written fails the tool, never silently.
    QFile blocker(folder.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::tie(code, output) = run({QStringLiteral("--machine"), QStringLiteral("--store"),
                                  folder.filePath(QStringLiteral("file/registry.ini")), libraryPath});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(output.contains(QStringLiteral("registry error 5"))) << qPrintable(output);
}

// --- Driving a control by name -------------------------------------------

TEST_F(ControlHostTest, DrivesThePlayerOnlyByName)
{
    ASSERT_EQ(registerServer(), 0);
    QWidget parent;
    QObject *player = host.createControl(kPlayer, &parent);

    setProperty(player, "Filename", folder.filePath(QStringLiteral("missing.mp3")));
    EXPECT_EQ(getProperty(player, "Filename"), QVariant(QString()));
    EXPECT_EQ(getProperty(player, "IsPlaying"), QVariant(false));
    EXPECT_EQ(getProperty(player, "isplaying"), QVariant(false)) << "names compare without regard to case";
    EXPECT_FALSE(call(player, "PlayStop").isValid());
    EXPECT_EQ(call(player, "GenreList", {QStringLiteral("17")}), QVariant(QStringLiteral("Rock")));
    EXPECT_NE(getProperty(player, "Equalizer").value<QObject *>(), nullptr);

    // An error raised inside the library reaches the host as raised.
    const auto raised = errorOf([&] { call(player, "GenreList", {40000}); });
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->number(), 30103);
    EXPECT_EQ(raised->source(), QStringLiteral("SBMP3Player"));
    EXPECT_FALSE(raised->description().isEmpty());

    for (const auto &failing : {std::function<void()>([&] { call(player, "PlayRewind"); }),
                                std::function<void()>([&] { getProperty(player, "Volume"); }),
                                std::function<void()>([&] { setProperty(player, "Volume", 3); })}) {
        const auto error = errorOf(failing);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), kErrorNoSuchMember);
        EXPECT_TRUE(error->description().contains(QStringLiteral("doesn't support this property or method")));
    }
    const auto named = errorOf([&] { call(player, "PlayRewind"); });
    ASSERT_TRUE(named);
    EXPECT_TRUE(named->description().contains(QStringLiteral("'PlayRewind'"))) << qPrintable(named->description());
    EXPECT_EQ(numberOf([&] { setProperty(player, "IsPlaying", true); }), kErrorPropertyReadOnly);
}

TEST_F(ControlHostTest, HostsConnectToEventsBySignature)
{
    ASSERT_EQ(registerServer(), 0);
    QWidget parent;
    QObject *player = host.createControl(kPlayer, &parent);
    EventReceiver receiver;

    EXPECT_TRUE(QObject::connect(player, SIGNAL(FinishedPlaying()), &receiver, SLOT(onFinishedPlaying())));
    QMetaObject::invokeMethod(player, "FinishedPlaying");
    EXPECT_EQ(receiver.finished, 1);

    // A host learns that an event does not exist from connect's result.
    EXPECT_FALSE(QObject::connect(player, SIGNAL(NoSuchEvent()), &receiver, SLOT(onFinishedPlaying())));
}

// --- Late-binding rules --------------------------------------------------

TEST(LateBinding, ConvertsArgumentsAndChoosesTheFormByArgumentCount)
{
    Scripted object;

    EXPECT_EQ(call(&object, "Add", {QStringLiteral("2"), 3.0}), QVariant(5));
    EXPECT_EQ(call(&object, "add", {1, 2, QStringLiteral("x")}), QVariant(QStringLiteral("12x")));
    setProperty(&object, "Volume", QStringLiteral("42"));
    EXPECT_EQ(object.volume, 42);
    EXPECT_EQ(call(&object, "Volume"), QVariant::fromValue<qint16>(42)) << "a property read as a call";
    const QVariant list = QStringList{QStringLiteral("a"), QStringLiteral("b")};
    setProperty(&object, "Tag", list);
    EXPECT_EQ(getProperty(&object, "Tag"), list) << "a QVariant property passes values unchanged";

    const auto mismatch = errorOf([&] { call(&object, "Add", {QStringLiteral("two"), 3}); });
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->number(), kErrorTypeMismatch);
    EXPECT_EQ(numberOf([&] { setProperty(&object, "Volume", QStringLiteral("loud")); }), kErrorTypeMismatch);
    EXPECT_EQ(object.volume, 42);

    const auto count = errorOf([&] { call(&object, "Add", {1}); });
    ASSERT_TRUE(count);
    EXPECT_EQ(count->number(), kErrorWrongArgumentCount);
    EXPECT_TRUE(count->description().contains(QStringLiteral("2 or 3"))) << qPrintable(count->description());

    EXPECT_EQ(numberOf([&] { setProperty(&object, "Title", QStringLiteral("new")); }), kErrorPropertyReadOnly);
    EXPECT_EQ(numberOf([&] { call(&object, "notDispatched"); }), kErrorNoSuchMember);
    EXPECT_EQ(numberOf([&] { call(nullptr, "Add", {1, 2}); }), kErrorObjectNotSet);
}

TEST(LateBinding, ErrorsRaisedByMembersReachTheCallerUnchanged)
{
    Scripted object;

    const auto fromMethod = errorOf([&] { call(&object, "Fail", {30075}); });
    ASSERT_TRUE(fromMethod);
    EXPECT_EQ(fromMethod->number(), 30075);
    EXPECT_EQ(fromMethod->source(), QStringLiteral("Scripted"));
    EXPECT_EQ(fromMethod->description(), QStringLiteral("failed on purpose"));

    const auto fromSetter = errorOf([&] { setProperty(&object, "Volume", -1); });
    ASSERT_TRUE(fromSetter);
    EXPECT_EQ(fromSetter->number(), 380);
    EXPECT_EQ(object.volume, 5);

    // Anything else a member lets out reaches the caller as an error too.
    EXPECT_EQ(numberOf([&] { call(&object, "RunOutOfMemory"); }), kErrorOutOfMemory);
    const auto other = errorOf([&] { call(&object, "Misbehave"); });
    ASSERT_TRUE(other);
    EXPECT_EQ(other->number(), kErrorInternal);
    EXPECT_TRUE(other->description().contains(QStringLiteral("not a dispatch error")));
}

}  // namespace

#include "ControlHostTest.moc"
