#include "about/AboutBox.h"
#include "about/AboutEnvironment.h"
#include "player/SBMP3Player.h"
#include "playlist/SBMP3PlayList.h"

#include "CallLog.h"
#include "FakeEngine.h"
#include "MachineStore.h"
#include "Registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <optional>

namespace SonbrelMP3 {
namespace {

// Records what the box asks of the desktop and answers as scripted.
class FakeEnvironment : public AboutEnvironment {
public:
    QString folder;
    unsigned devices = 1;
    int bits = 24;
    int playResult = 1;
    bool startResult = true;

    struct Play {
        std::optional<QString> file; // none: the stop call
        unsigned flags;
    };
    CallLog<std::vector<Play>> plays;
    QStringList opened;
    QStringList started;
    CallLog<QStringList> messages;

    QString dataFolder() override { return folder; }
    unsigned soundDeviceCount() override { return devices; }
    int playSound(const char *fileName, unsigned flags) override
    {
        plays.push_back({fileName ? std::optional<QString>(QFile::decodeName(fileName)) : std::nullopt, flags});
        return playResult;
    }
    int colourPlanes() override { return 1; }
    int bitsPerPixel() override { return bits; }
    void openUrl(const QString &address) override { opened << address; }
    bool startProgram(const QString &path) override
    {
        started << path;
        return startResult;
    }
    void messageBox(QWidget *, const QString &text, const QString &title) override
    {
        messages << title + QStringLiteral(": ") + text;
    }
};

// The box reads HKEY_LOCAL_MACHINE from the machine-wide registry store,
// which the environment points at a temporary file for both this test and
// the library (each links its own copy of the registry layer).
class AboutBoxTest : public ::testing::Test {
protected:
    QTemporaryDir config;
    QTemporaryDir data;
    FakeEnvironment environment;
    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");

    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        qputenv(platform::machine::kStoreVariable, QFile::encodeName(config.filePath(QStringLiteral("machine.ini"))));
        platform::restoreDefaultRegistryLocation();
        environment.folder = data.path();
    }
    void TearDown() override
    {
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    static void setValue(const char *path, const char *name, unsigned long type, const QByteArray &bytes)
    {
        using namespace platform;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                 static_cast<unsigned long>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void setText(const char *path, const char *name, const QByteArray &text)
    {
        setValue(path, name, platform::REG_SZ, text + '\0');
    }
    static void setNumber(const char *path, const char *name, quint32 number)
    {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
        setValue(path, name, platform::REG_DWORD, bytes);
    }

    static void moveOver(QWidget *widget)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    static QColor textColour(QWidget *widget) { return widget->palette().color(QPalette::WindowText); }
};

constexpr const char *kMsInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char *kToolsLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";

TEST_F(AboutBoxTest, LoadFillsTheCaptionsAndPutsTheLinkAtTheEndOfTheCopyrightLine)
{
    AboutBox box(nullptr, &environment);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About SonbrelMP3"));
    EXPECT_EQ(box.lblTitle->text(), QStringLiteral("SonbrelMP3"));
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version %1.%2.%3")
                                          .arg(TARNELMP3_VERSION_MAJOR)
                                          .arg(TARNELMP3_VERSION_MINOR)
                                          .arg(TARNELMP3_VERSION_PATCH));
    EXPECT_EQ(box.lblBeta->text(), QStringLiteral("BETA EDITION"));
    EXPECT_EQ(box.lblActiveX->text(), QStringLiteral("ActiveX Component"));
    EXPECT_EQ(box.lblWebLink->text(), QStringLiteral("Pellicor, Ltd."));
    EXPECT_EQ(box.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(textColour(box.lblBeta), QColor(255, 0, 0));
    EXPECT_EQ(box.lblWebLink->x(), box.lblCopyright->x() + box.lblCopyright->width());
    EXPECT_EQ(box.lblWebLink->y(), box.lblCopyright->y());
    EXPECT_FALSE(box.linkHighlighted());
    EXPECT_EQ(box.picIcon256->pixmap().size(), QSize(43, 233));
    EXPECT_EQ(box.picIcon->pixmap().size(), QSize(43, 233));
    EXPECT_EQ(box.picIcon->geometry(), box.picIcon256->geometry());
    // Nothing sounds before the box is on the screen.
    EXPECT_TRUE(environment.plays.empty());
}

TEST_F(AboutBoxTest, OnlyOnePictureShowsAndItDependsOnTheColourCount)
{
    struct Case {
        int bits;
        bool rich;
    };
    for (const Case c : {Case{1, false}, Case{4, false}, Case{8, false}, Case{9, true}, Case{16, true},
                         Case{24, true}, Case{32, true}}) {
        environment.bits = c.bits;
        AboutBox box(nullptr, &environment);
        box.show();
        EXPECT_EQ(box.picIcon256->isVisible(), c.rich) << c.bits << " bits";
        EXPECT_EQ(box.picIcon->isVisible(), !c.rich) << c.bits << " bits";
    }
}

TEST_F(AboutBoxTest, TheLinkLooksHoveredOnlyWhileThePointerIsOverIt)
{
    AboutBox box(nullptr, &environment);
    box.show();
    moveOver(box.lblWebLink);
    EXPECT_TRUE(box.linkHighlighted());
    EXPECT_EQ(textColour(box.lblWebLink), QColor(0, 0, 255));
    moveOver(box.cmdOK);
    EXPECT_FALSE(box.linkHighlighted());
    EXPECT_EQ(textColour(box.lblWebLink), QColor(0, 0, 128));
    moveOver(box.lblWebLink);
    EXPECT_TRUE(box.linkHighlighted());
    moveOver(&box); // the form's background, at its top left corner
    EXPECT_FALSE(box.linkHighlighted());
    for (QWidget *other : {static_cast<QWidget *>(box.lblDescription), static_cast<QWidget *>(box.picIcon256),
                           static_cast<QWidget *>(box.lblCopyright)}) {
        moveOver(box.lblWebLink);
        moveOver(other);
        EXPECT_FALSE(box.linkHighlighted()) << other->metaObject()->className();
    }
    // Leaving the link for the rights notice, or the box, also ends it.
    moveOver(box.lblWebLink);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(box.lblWebLink, &leave);
    EXPECT_FALSE(box.linkHighlighted());
    EXPECT_EQ(textColour(box.lblWebLink), QColor(0, 0, 128));
}

TEST_F(AboutBoxTest, ClickingTheLinkOpensTheMakersAddressAndOkCloses)
{
    AboutBox box(nullptr, &environment);
    box.show();
    QTest::mouseClick(box.lblWebLink, Qt::LeftButton);
    EXPECT_EQ(environment.opened, QStringList{QString::fromLatin1(AboutBox::kWebAddress)});
    QTest::mouseClick(box.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, TheClickSoundPlaysOnceTheBoxShowsAndItsAbsenceIsNoError)
{
    const QString click = QDir(data.path()).filePath(QStringLiteral("SonbrelClickz.wav"));
    {
        // No file: only a stop call, and the box opens all the same.
        AboutBox box(nullptr, &environment);
        box.show();
        QTest::qWait(20);
        ASSERT_EQ(environment.plays.size(), 1u);
        EXPECT_FALSE(environment.plays[0].file.has_value());
        EXPECT_EQ(environment.plays[0].flags, 19u);
        EXPECT_TRUE(box.isVisible());
    }
    QFile file(click);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
    file.close();
    environment.plays.clear();
    {
        AboutBox box(nullptr, &environment);
        box.show();
        QTest::qWait(20);
        ASSERT_EQ(environment.plays.size(), 1u);
        EXPECT_EQ(environment.plays[0].file, click);
        EXPECT_EQ(environment.plays[0].flags, 19u);
        // Shown again later: no second click.
        box.hide();
        box.show();
        QTest::qWait(20);
        EXPECT_EQ(environment.plays.size(), 1u);
    }
    environment.plays.clear();
    environment.devices = 0;
    environment.playResult = 0;
    {
        AboutBox box(nullptr, &environment);
        box.show();
        QTest::qWait(20);
        EXPECT_TRUE(environment.plays.empty()); // no device: not even tried
        EXPECT_TRUE(box.isVisible());
    }
}

TEST_F(AboutBoxTest, GetKeyValueReadsTextAndNumbersAndFailsWithAnEmptyValue)
{
    setText(kMsInfo, "PATH", "/usr/bin/hardinfo");
    setNumber(kMsInfo, "Count", 305419896);
    setNumber(kMsInfo, "Large", 0xFFFFFFFFu);
    setNumber(kMsInfo, "Small", 256); // its last byte is a NUL
    setText(kMsInfo, "Empty", "");
    QString value = QStringLiteral("left over");
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("path"), value));
    EXPECT_EQ(value, QStringLiteral("/usr/bin/hardinfo"));
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Count"), value));
    EXPECT_EQ(value, QStringLiteral("305419896"));
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Large"), value));
    EXPECT_EQ(value, QStringLiteral("4294967295"));
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Small"), value));
    EXPECT_EQ(value, QStringLiteral("256"));
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Empty"), value));
    EXPECT_EQ(value, QString());

    value = QStringLiteral("left over");
    EXPECT_FALSE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Missing"), value));
    EXPECT_EQ(value, QString());
    value = QStringLiteral("left over");
    EXPECT_FALSE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Nowhere"),
                                       QStringLiteral("PATH"), value));
    EXPECT_EQ(value, QString());
    // The same path under another root is another key.
    EXPECT_FALSE(AboutBox::GetKeyValue(platform::HKEY_CURRENT_USER, kMsInfo, QStringLiteral("PATH"), value));
}

TEST_F(AboutBoxTest, GetKeyValueTakesTextUpTo1024BytesWithItsNul)
{
    const QByteArray fits(1023, 'a');
    setText(kMsInfo, "Fits", fits);
    setText(kMsInfo, "TooLong", fits + 'b');
    setText(kMsInfo, "Accents", "C:\\Programme\\Systeminformationen \xC3\xA4");
    QString value;
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Fits"), value));
    EXPECT_EQ(value, QString::fromLatin1(fits));
    value = QStringLiteral("left over");
    EXPECT_FALSE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("TooLong"), value));
    EXPECT_EQ(value, QString());
    EXPECT_TRUE(AboutBox::GetKeyValue(platform::HKEY_LOCAL_MACHINE, kMsInfo, QStringLiteral("Accents"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\Programme\\Systeminformationen \u00E4"));
}

TEST_F(AboutBoxTest, SystemInfoStartsTheRegisteredProgramOrSaysItIsUnavailable)
{
    const QString unavailable =
        QStringLiteral("SonbrelMP3: ") + QString::fromLatin1(AboutBox::kSysInfoUnavailable);
    AboutBox box(nullptr, &environment);

    // Neither value.
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
    EXPECT_TRUE(environment.started.isEmpty());
    EXPECT_EQ(environment.messages, QStringList{unavailable});

    // The second names a folder without the program.
    QTemporaryDir tools;
    setText(kToolsLocation, "MSINFO", QFile::encodeName(tools.path()));
    box.StartSysInfo();
    EXPECT_TRUE(environment.started.isEmpty());
    EXPECT_EQ(environment.messages.size(), 2);

    // ... and then with it.
    const QString program = QDir(tools.path()).filePath(QStringLiteral("MSINFO32.EXE"));
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    box.StartSysInfo();
    EXPECT_EQ(environment.started, QStringList{program});
    EXPECT_EQ(environment.messages.size(), 2);

    // The first value wins and is started as it stands.
    environment.started.clear();
    setText(kMsInfo, "PATH", "/opt/tools/sysinfo");
    box.StartSysInfo();
    EXPECT_EQ(environment.started, QStringList{QStringLiteral("/opt/tools/sysinfo")});
    EXPECT_EQ(environment.messages.size(), 2);

    // A program that cannot start is a failure like any other.
    environment.startResult = false;
    box.StartSysInfo();
    EXPECT_EQ(environment.messages.size(), 3);
    EXPECT_EQ(environment.messages.last(), unavailable);
}

TEST_F(AboutBoxTest, PaintingFollowsTheControlsAndLeavesTheBandWhite)
{
    AboutBox box(nullptr, &environment);
    box.show();
    const int m1 = box.headerRule();
    const int m2 = box.descriptionRule();
    // The band ends between the product line and the version, the second
    // rule lies between the description and the legal notice.
    EXPECT_GT(m1, box.lblActiveX->geometry().bottom() - 1);
    EXPECT_LT(m1, box.lblVersion->y());
    EXPECT_GT(m2, box.lblDescription->geometry().bottom() - 1);
    EXPECT_LT(m2, box.lblDisclaimer->y());
    // No control overlaps another, and all lie inside the box.
    const QList<QWidget *> controls{box.lblTitle,      box.lblVersion,    box.lblBeta,     box.lblActiveX,
                                    box.lblDescription, box.lblDisclaimer, box.lblCopyright, box.lblCopyright2,
                                    box.lblWebLink,    box.picIcon256,    box.cmdOK,       box.cmdSysInfo};
    for (QWidget *a : controls) {
        EXPECT_TRUE(box.rect().contains(a->geometry())) << a->metaObject()->className();
        for (QWidget *b : controls) {
            if (a != b) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << qPrintable(a->property("text").toString()) << " / "
                    << qPrintable(b->property("text").toString());
            }
        }
    }

    const QImage image = box.grab().toImage();
    const QColor shadow = box.palette().color(QPalette::Dark);
    EXPECT_EQ(image.pixelColor(box.width() - 3, 2), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(box.width() - 3, m1 - 1), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(box.width() - 3, m1 + 3), QColor(Qt::white));
    // The picture's shadow shows beside it below the band, in the shadow tone.
    const QRect picture = box.picIcon256->geometry();
    EXPECT_EQ(image.pixelColor(picture.right() + 2, picture.bottom() - 10).rgb(), shadow.rgb());
    EXPECT_EQ(image.pixelColor(box.lblVersion->x() + 20, m2).rgb(), shadow.rgb());
}

TEST_F(AboutBoxTest, BothControlsShowTheBoxModallyAndReturnWhenItCloses)
{
    // The real desktop: no sound in the test, or the dummy driver at most.
    qputenv("SDL_AUDIODRIVER", "dummy");
    testing::FakeEngine engine;
    SBMP3PlayList list(nullptr, engine);
    int seen = 0;
    auto closeTheBox = [&] {
        auto *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isModal());
        ++seen;
        box->cmdOK->click();
    };
    QTimer::singleShot(50, closeTheBox);
    list.About();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    SBMP3Player player(nullptr, engine);
    QTimer::singleShot(50, closeTheBox);
    QMetaObject::invokeMethod(&player, "About");
    EXPECT_EQ(seen, 2);
    qunsetenv("SDL_AUDIODRIVER");
}

} // namespace
} // namespace SonbrelMP3
