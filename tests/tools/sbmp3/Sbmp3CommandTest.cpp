// sbmp3 run as a program on the project's small test files, its sound
// going to a file through SDL's disk driver.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>

#include <map>

namespace {

const QString kData = QStringLiteral(ENGINE_TEST_DATA_DIR);

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class Sbmp3 : public ::testing::Test {
protected:
    Result sbmp3(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
        environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), heard());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SBMP3_PATH), arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << qPrintable(arguments.join(' '));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    // A copy of a test file that the test may change.
    QString copyOf(const QString &name, const QString &as = QString())
    {
        const QString copy = folder_.filePath(as.isEmpty() ? name : as);
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(kData + QLatin1Char('/') + name, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        return copy;
    }

    QString heard() const { return folder_.filePath(QStringLiteral("heard.raw")); }
    QString path(const QString &name) const { return folder_.filePath(name); }

    static QByteArray contents(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    static void write(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    QTemporaryDir folder_;
};

// The sections of tests/data/engine/expected.txt, by file name.
std::map<QString, std::map<QString, QString>> expectedFrameInformation()
{
    std::map<QString, std::map<QString, QString>> sections;
    QFile file(kData + QStringLiteral("/expected.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString section;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            sections[section][line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
    }
    return sections;
}

TEST_F(Sbmp3, InfoMatchesTheFrameInformationOfTheTestFiles)
{
    const QStringList names = {QStringLiteral("tone_1k.mp3"), QStringLiteral("mono_mpeg2.mp3"),
                               QStringLiteral("mpeg25.mp3"), QStringLiteral("layer2.mp2"),
                               QStringLiteral("whole_chunks_8k.mp3"), QStringLiteral("with_id3v1.mp3")};
    QStringList arguments = {QStringLiteral("info"), QStringLiteral("--json")};
    for (const QString &name : names)
        arguments << kData + QLatin1Char('/') + name;
    const Result run = sbmp3(arguments);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QJsonArray files = QJsonDocument::fromJson(run.out.toUtf8()).array();
    ASSERT_EQ(files.size(), names.size()) << qPrintable(run.out);

    auto expected = expectedFrameInformation();
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(qPrintable(names[i]));
        const QJsonObject info = files[i].toObject();
        std::map<QString, QString> &want = expected[names[i]];
        EXPECT_EQ(info[QStringLiteral("file")].toString(), kData + QLatin1Char('/') + names[i]);
        EXPECT_EQ(info[QStringLiteral("mpegVersion")].toString(), want[QStringLiteral("mpeg_version")]);
        EXPECT_EQ(info[QStringLiteral("layer")].toInt(), want[QStringLiteral("layer")].toInt());
        EXPECT_EQ(info[QStringLiteral("sampleRate")].toInt(), want[QStringLiteral("sample_rate")].toInt());
        EXPECT_EQ(info[QStringLiteral("bitRate")].toInt(), want[QStringLiteral("bit_rate")].toInt());
        EXPECT_EQ(info[QStringLiteral("frames")].toInt(), want[QStringLiteral("packets")].toInt());
        EXPECT_EQ(info[QStringLiteral("fileSize")].toInt(), want[QStringLiteral("file_size")].toInt());
        EXPECT_EQ(info[QStringLiteral("channelMode")].toString() == QStringLiteral("Single Channel"),
                  want[QStringLiteral("channels")] == QStringLiteral("1"));
    }
    const QJsonObject tag = files.last()[QStringLiteral("tag")].toObject();
    const std::map<QString, QString> &wantTag = expected[QStringLiteral("with_id3v1.mp3 tag")];
    for (const QString &field : {QStringLiteral("title"), QStringLiteral("artist"), QStringLiteral("album"),
                                QStringLiteral("year"), QStringLiteral("comment")})
        EXPECT_EQ(tag[field].toString(), wantTag.at(field)) << qPrintable(field);
    EXPECT_EQ(tag[QStringLiteral("genre")].toInt(), wantTag.at(QStringLiteral("genre")).toInt());

    const Result text = sbmp3({QStringLiteral("info"), kData + QStringLiteral("/with_id3v1.mp3")});
    EXPECT_EQ(text.exitCode, 0);
    for (const char *line : {"Stream:      MPEG 1 layer 3", "Sample rate: 44100 Hz", "Frames:      21",
                             "Title:       Morning Tune", "Genre:       17 Rock"})
        EXPECT_TRUE(text.out.contains(QLatin1String(line))) << line << "\n" << qPrintable(text.out);
}

TEST_F(Sbmp3, TagRoundTripsAndKeepsTheTrackNumberOfAVersion11Tag)
{
    const QString song = copyOf(QStringLiteral("tone_1k.mp3"));
    Result run = sbmp3({QStringLiteral("tag"), song, QStringLiteral("--title"), QStringLiteral("Réveil"),
                     QStringLiteral("--artist"), QStringLiteral("Ann Example"), QStringLiteral("--album"),
                     QStringLiteral("Mornings"), QStringLiteral("--year"), QStringLiteral("2024"),
                     QStringLiteral("--comment"), QStringLiteral("first take"), QStringLiteral("--genre"),
                     QStringLiteral("Jazz"), QStringLiteral("--track"), QStringLiteral("7")});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_TRUE(run.err.isEmpty()) << qPrintable(run.err);

    // Another field later: the track number stays.
    run = sbmp3({QStringLiteral("tag"), song, QStringLiteral("--title"), QStringLiteral("Second Title")});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QByteArray block = contents(song).right(128);
    ASSERT_TRUE(block.startsWith("TAG"));
    EXPECT_EQ(block[125], '\0') << "ID3 v1.1: a zero byte before the track number";
    EXPECT_EQ(block[126], '\x07');

    run = sbmp3({QStringLiteral("info"), QStringLiteral("--json"), song});
    const QJsonObject tag = QJsonDocument::fromJson(run.out.toUtf8()).array()[0][QStringLiteral("tag")].toObject();
    EXPECT_EQ(tag[QStringLiteral("title")].toString(), QStringLiteral("Second Title"));
    EXPECT_EQ(tag[QStringLiteral("artist")].toString(), QStringLiteral("Ann Example"));
    EXPECT_EQ(tag[QStringLiteral("album")].toString(), QStringLiteral("Mornings"));
    EXPECT_EQ(tag[QStringLiteral("year")].toString(), QStringLiteral("2024"));
    EXPECT_EQ(tag[QStringLiteral("comment")].toString(), QStringLiteral("first take"));
    EXPECT_EQ(tag[QStringLiteral("genre")].toInt(), 8);
    EXPECT_EQ(tag[QStringLiteral("track")].toInt(), 7);

    // A comment longer than a v1.1 tag keeps beside its track number is cut,
    // and sbmp3 says so.
    run = sbmp3({QStringLiteral("tag"), song, QStringLiteral("--comment"), QString(30, QLatin1Char('c'))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("the tag holds the comment as \"%1\"").arg(QString(28, QLatin1Char('c')))))
        << qPrintable(run.err);
}

TEST_F(Sbmp3, PlayEndsWithExitZeroThroughTheDiskDriver)
{
    const Result run = sbmp3({QStringLiteral("play"), QStringLiteral("--eq"), QStringLiteral("100:+3,1000:-2"),
                           QStringLiteral("--fade-in"), QStringLiteral("0.2"), kData + QStringLiteral("/left_only.mp3")});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    // A second of 44.1 kHz stereo in 16-bit samples or more.
    EXPECT_GE(QFileInfo(heard()).size(), 176400);
}

TEST_F(Sbmp3, PlayStopsAtOnceWhenInterrupted)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), heard());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SBMP3_PATH), {QStringLiteral("play"), kData + QStringLiteral("/steps.mp3")});
    ASSERT_TRUE(process.waitForStarted());
    // Once the track plays, Ctrl+C: the four-second track ends at once.
    for (int wait = 0; wait < 100 && QFileInfo(heard()).size() == 0; ++wait)
        QThread::msleep(20);
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(2000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
}

TEST_F(Sbmp3, PlayNamesAFileItCannotPlayAndPlaysTheOthers)
{
    const Result run = sbmp3({QStringLiteral("play"), kData + QStringLiteral("/random.mp3"),
                           kData + QStringLiteral("/with_id3v1.mp3")});
    EXPECT_EQ(run.exitCode, 65);
    EXPECT_TRUE(run.err.contains(QStringLiteral("random.mp3: File is not a recognized audio file format. (error 30075)")))
        << qPrintable(run.err);
    EXPECT_GE(QFileInfo(heard()).size(), 44100) << "the other file played";
}

TEST_F(Sbmp3, BadInputGetsAClearMessageAndANonZeroExitAndLosesNothing)
{
    const QString song = copyOf(QStringLiteral("with_id3v1.mp3"));
    const QByteArray before = contents(song);
    const QString notAList = path(QStringLiteral("notes.m3u"));
    write(notAList, "song.mp3\n");
    const struct {
        QStringList arguments;
        int exitCode;
        QString message;
    } cases[] = {
        {{}, 64, QString()},
        {{QStringLiteral("frobnicate")}, 64, QStringLiteral("no command \"frobnicate\"")},
        {{QStringLiteral("info")}, 64, QStringLiteral("info: a file is missing")},
        {{QStringLiteral("info"), QStringLiteral("--colour"), song}, 64, QStringLiteral("Unknown option 'colour'")},
        {{QStringLiteral("info"), path(QStringLiteral("gone.mp3"))}, 66, QStringLiteral("(error 53)")},
        {{QStringLiteral("info"), kData + QStringLiteral("/not_audio.wav")}, 65, QStringLiteral("(error 30075)")},
        {{QStringLiteral("tag"), song}, 64, QStringLiteral("no field to write")},
        {{QStringLiteral("tag"), song, QStringLiteral("--track"), QStringLiteral("300")}, 65,
         QStringLiteral("track: Invalid property value. (error 380)")},
        {{QStringLiteral("tag"), song, QStringLiteral("--title"), QStringLiteral("x"), QStringLiteral("--track"),
          QStringLiteral("seven")},
         64, QStringLiteral("\"seven\" is no whole number")},
        {{QStringLiteral("tag"), song, QStringLiteral("--genre"), QStringLiteral("Skiffle Metal")}, 64,
         QStringLiteral("no genre number or name")},
        {{QStringLiteral("play"), QStringLiteral("--eq"), QStringLiteral("100:+30"), song}, 64,
         QStringLiteral("outside -24 to +24 dB")},
        {{QStringLiteral("playlist"), path(QStringLiteral("gone.m3u"))}, 66, QStringLiteral("(error 53)")},
        {{QStringLiteral("playlist"), notAList}, 65, QStringLiteral("(error 30077)")},
        {{QStringLiteral("playlist"), notAList, QStringLiteral("--sort"), QStringLiteral("colour")}, 64,
         QStringLiteral("none of file, title, artist, time")},
    };
    for (const auto &[arguments, exitCode, message] : cases) {
        SCOPED_TRACE(qPrintable(arguments.join(' ')));
        const Result run = sbmp3(arguments);
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_TRUE(run.err.contains(message)) << qPrintable(run.err);
        if (exitCode == 64 && !arguments.isEmpty()) {
            EXPECT_TRUE(run.err.contains(QStringLiteral("sbmp3 --help"))) << qPrintable(run.err);
        }
    }
    EXPECT_EQ(contents(song), before) << "a refused tag leaves the file as it was";
    EXPECT_TRUE(sbmp3({QStringLiteral("--help")}).out.contains(QStringLiteral("Exit status:")));
}

TEST_F(Sbmp3, PlayListListsChecksSortsAndWritesWindowsLinesAsNativePaths)
{
    ASSERT_TRUE(QDir(folder_.path()).mkpath(QStringLiteral("sub")));
    const QString longer = copyOf(QStringLiteral("tone_1k.mp3"), QStringLiteral("sub/tone.mp3"));      // 2 s
    const QString tagged = copyOf(QStringLiteral("with_id3v1.mp3"), QStringLiteral("sub/tagged.mp3"));  // 1 s
    const QString absolute = copyOf(QStringLiteral("left_only.mp3"), QStringLiteral("left.mp3"));       // 1 s
    copyOf(QStringLiteral("random.mp3"), QStringLiteral("sub/noise.mp3"));
    const QString list = path(QStringLiteral("list.m3u"));
    const QByteArray original = "#EXTM3U\r\n#EXTINF:2,Somebody - Tone\r\nsub\\tagged.mp3\r\n.\\sub\\tone.mp3\r\n"
                                "sub\\missing.mp3\r\n" + absolute.toUtf8() + "\r\nsub\\noise.mp3\r\n";
    write(list, original);

    Result run = sbmp3({QStringLiteral("playlist"), list});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains(QStringLiteral("1\t0:01\tTest Artist - Morning Tune\t") + tagged)) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(QStringLiteral("2\t0:02\ttone.mp3\t") + longer)) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(QStringLiteral("# 3 entries, 0:04 in all"))) << qPrintable(run.out);
    EXPECT_TRUE(run.err.contains(QStringLiteral("2 entries cannot be played"))) << qPrintable(run.err);

    run = sbmp3({QStringLiteral("playlist"), list, QStringLiteral("--check")});
    EXPECT_EQ(run.exitCode, 65);
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 2) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(list + QStringLiteral(":5: sub\\missing.mp3: no such file"))) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(list + QStringLiteral(":7: sub\\noise.mp3: File is not a recognized audio file format."
                                                       " (error 30075)")))
        << qPrintable(run.out);

    // Writing would lose the two entries: refused, nothing written.
    run = sbmp3({QStringLiteral("playlist"), list, QStringLiteral("--sort"), QStringLiteral("time"),
                 QStringLiteral("--write")});
    EXPECT_EQ(run.exitCode, 65);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--drop-missing"))) << qPrintable(run.err);
    EXPECT_EQ(contents(list), original);

    const QString sorted = path(QStringLiteral("sorted.m3u"));
    run = sbmp3({QStringLiteral("playlist"), list, QStringLiteral("--sort"), QStringLiteral("time"),
                 QStringLiteral("--descending"), QStringLiteral("--drop-missing"), QStringLiteral("--output"), sorted});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(QString::fromUtf8(contents(sorted)),
              QStringLiteral("#EXTM3U\r\n%1\r\n#EXTINF:1,Test Artist - Morning Tune\r\n%2\r\n%3\r\n")
                  .arg(longer, tagged, absolute));
}

}  // namespace
