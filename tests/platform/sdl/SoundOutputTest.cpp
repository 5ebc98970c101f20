#include "SoundOutput.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

// A 16-bit mono PCM WAV file of a sine tone.
QByteArray toneWav(double seconds, double amplitude, int rate = 22050)
{
    const auto frames = static_cast<quint32>(seconds * rate);
    QByteArray samples;
    for (quint32 i = 0; i < frames; ++i) {
        const auto value = static_cast<qint16>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * 880.0 * i / rate)));
        samples.append(reinterpret_cast<const char *>(&value), 2);
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 v) { v = qToLittleEndian(v); wav.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&wav](quint16 v) { v = qToLittleEndian(v); wav.append(reinterpret_cast<const char *>(&v), 2); };
    wav.append("RIFF");
    u32(36 + static_cast<quint32>(samples.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate) * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(static_cast<quint32>(samples.size()));
    return wav + samples;
}

// Sounds go to SDL's disk driver, whose output file the tests read back.
class SoundOutputTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QString output = folder.filePath(QStringLiteral("out.raw"));

    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", QFile::encodeName(output).constData(), 1);
        unsetenv("SDL_DISKAUDIODELAY");
    }
    void TearDown() override
    {
        sndPlaySoundA(nullptr, 0);
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // The largest sample the device received, as a fraction of full scale.
    // The device takes the file's own format, 16-bit signed.
    double peakHeard() const
    {
        QFile file(output);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray raw = file.readAll();
        int peak = 0;
        for (qsizetype i = 0; i + 1 < raw.size(); i += 2) {
            const auto sample = static_cast<qint16>(qFromLittleEndian<quint16>(raw.constData() + i));
            peak = std::max(peak, std::abs(int{sample}));
        }
        return peak / 32767.0;
    }
};

TEST_F(SoundOutputTest, CountsDevicesOnlyWhenADriverWorks)
{
    EXPECT_GE(waveOutGetNumDevs(), 1u);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
}

TEST_F(SoundOutputTest, PlaysAWavFileToItsEnd)
{
    const QString tone = write(QStringLiteral("tone.wav"), toneWav(0.1, 0.5));
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_SYNC | SND_NODEFAULT), 1);
    EXPECT_FALSE(soundIsPlaying());
    EXPECT_NEAR(peakHeard(), 0.5, 0.01);
}

TEST_F(SoundOutputTest, RefusesWhatItCannotPlayWithoutStoppingTheSound)
{
    const QString tone = write(QStringLiteral("tone.wav"), toneWav(2.0, 0.3));
    ASSERT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_ASYNC), 1);
    EXPECT_TRUE(soundIsPlaying());

    const QString text = write(QStringLiteral("notes.wav"), "not a wave file");
    const QString empty = write(QStringLiteral("empty.wav"), QByteArray());
    const QString cut = write(QStringLiteral("cut.wav"), toneWav(0.1, 0.3).left(30));
    for (const QString &bad : {text, empty, cut, folder.filePath(QStringLiteral("missing.wav")), folder.path()})
        EXPECT_EQ(sndPlaySoundA(QFile::encodeName(bad).constData(), SND_ASYNC | SND_NOSTOP), 0) << qPrintable(bad);
    EXPECT_EQ(sndPlaySoundA("", SND_ASYNC | SND_NOSTOP), 0);
    EXPECT_TRUE(soundIsPlaying());

    // SND_NOSTOP does not interrupt; without it the new sound replaces the old.
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_ASYNC | SND_NOSTOP), 0);
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_ASYNC), 1);
    EXPECT_TRUE(soundIsPlaying());

    // No name stops it.
    EXPECT_NE(sndPlaySoundA(nullptr, SND_ASYNC), 0);
    EXPECT_FALSE(soundIsPlaying());
    EXPECT_NE(sndPlaySoundA(nullptr, SND_ASYNC), 0);
}

TEST_F(SoundOutputTest, PlaysAWavImageFromMemoryAndLoopsItUntilStopped)
{
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    QByteArray image = toneWav(0.05, 0.4);
    const qsizetype length = image.size();
    image.append("trailing bytes that are not part of the image");
    ASSERT_EQ(sndPlaySoundA(image.constData(), SND_MEMORY | SND_SYNC), 1);
    // Only the image's own length was played: the text after it, heard as
    // samples, would be far louder.
    EXPECT_NEAR(peakHeard(), 0.4, 0.01);

    // Looping: the buffer may go at once, the sound goes on for many rounds.
    {
        QByteArray loop = toneWav(0.05, 0.25);
        ASSERT_EQ(sndPlaySoundA(loop.constData(), SND_MEMORY | SND_ASYNC | SND_LOOP), 1);
        loop.fill('\0');
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(soundIsPlaying());
    EXPECT_NE(sndPlaySoundA(nullptr, 0), 0);
    EXPECT_FALSE(soundIsPlaying());
    EXPECT_GT(QFileInfo(output).size(), 4 * (length - 44)) << "the loop did not repeat";
    EXPECT_NEAR(peakHeard(), 0.25, 0.01);

    // A loop cannot be waited for; what is no WAV image is refused.
    EXPECT_EQ(sndPlaySoundA(image.constData(), SND_MEMORY | SND_SYNC | SND_LOOP), 0);
    for (const char *bad : {"", "RIFX....WAVE", "RIFF\x02\0\0\0WAVE", "not a wave image at all"})
        EXPECT_EQ(sndPlaySoundA(bad, SND_MEMORY | SND_ASYNC), 0) << bad;
    EXPECT_FALSE(soundIsPlaying());
}

TEST_F(SoundOutputTest, NoDeviceMeansNoSoundAndNoHang)
{
    const QString tone = write(QStringLiteral("tone.wav"), toneWav(0.1, 0.3));
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_SYNC), 0);
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_ASYNC), 0);
    EXPECT_FALSE(soundIsPlaying());
}

TEST_F(SoundOutputTest, ASynchronousSoundEndsWhenAnotherThreadStopsIt)
{
    const QString tone = write(QStringLiteral("long.wav"), toneWav(5.0, 0.3));
    std::thread stopper([] {
        std::this_thread::sleep_for(200ms);
        sndPlaySoundA(nullptr, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sndPlaySoundA(QFile::encodeName(tone).constData(), SND_SYNC), 1);
    stopper.join();
    // Stopped long before its five seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

} // namespace
} // namespace platform
