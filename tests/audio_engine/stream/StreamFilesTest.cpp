// The engine's file operations over the files that
// tests/data/engine/make-test-files.sh made, checked against what ffprobe and
// mpg123 reported about them (expected.txt), and over bad input.
#include "StreamFiles.h"
#include "sonbrel_mp3.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audioengine {
namespace {

namespace fs = std::filesystem;
using Section = std::map<std::string, std::string>;

const fs::path kData = ENGINE_TEST_DATA_DIR;

std::map<std::string, Section> readManifest()
{
    std::map<std::string, Section> sections;
    std::ifstream in(kData / "expected.txt");
    std::string line;
    Section *section = nullptr;
    while (std::getline(in, line)) {
        if (line.starts_with('['))
            section = &sections[line.substr(1, line.find(']') - 1)];
        else if (const auto equals = line.find('='); section && equals != std::string::npos)
            (*section)[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return sections;
}

std::vector<std::string> fieldsOf(const char *info)
{
    std::vector<std::string> fields(1);
    for (const char *c = info; *c; ++c) {
        if (*c == '|')
            fields.emplace_back();
        else
            fields.back() += *c;
    }
    return fields;
}

std::string contents(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string tagBlock(const std::string &title)
{
    std::string block(SBMP3_TAG_BLOCK_SIZE, '\0');
    block.replace(0, 3 + title.size(), "TAG" + title);
    return block;
}

class StreamFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "stream-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path copyOf(const std::string &name)
    {
        fs::copy_file(kData / name, dir_ / name);
        return dir_ / name;
    }

    fs::path dir_;
};

TEST_F(StreamFilesTest, FrameInfoAgreesWithFfprobeAndMpg123)
{
    int files = 0;
    for (const auto &[name, expected] : readManifest()) {
        if (name.find(' ') != std::string::npos)
            continue;
        SCOPED_TRACE(name);
        ++files;
        std::array<char, SBMP3_FRAME_INFO_SIZE> info{};
        ASSERT_EQ(frameInfoOfFile((kData / name).c_str(), info.data()), 1);
        ASSERT_EQ(probeMpegFile((kData / name).c_str()), 0);
        const std::vector<std::string> fields = fieldsOf(info.data());
        ASSERT_EQ(fields.size(), 15u);
        EXPECT_EQ(fields[0], expected.at("mpeg_version"));
        EXPECT_EQ(fields[1], expected.at("layer"));
        const bool variable = name.starts_with("vbr_");
        EXPECT_EQ(fields[2], variable ? "VBR" : "CBR");
        // ffprobe's VBR bit rate is its own estimate; within 3 % of the true average.
        const double rate = std::stod(fields[3]);
        const double expectedRate = std::stod(expected.at("bit_rate"));
        EXPECT_NEAR(rate, expectedRate, variable ? expectedRate * 0.03 : 0);
        EXPECT_EQ(fields[4], expected.at("sample_rate"));
        EXPECT_EQ(fields[11], expected.at("channels"));
        EXPECT_EQ(fields[12], expected.at("file_size"));
        // ffprobe counts the frame cut short at the end; only whole frames count here.
        const long cut = name == "truncated.mp3" ? 1 : 0;
        EXPECT_EQ(std::stol(fields[13]), std::stol(expected.at("packets")) - cut);
        // Whole frames, so the encoder's delay and padding are in the length.
        EXPECT_LT(std::abs(std::stod(fields[14]) - std::stod(expected.at("decoded_duration"))), 1.0);
    }
    EXPECT_EQ(files, 16);
}

TEST_F(StreamFilesTest, FrameInfoOfStreamsThatChangeHideOrMislead)
{
    // Fields: 2 CBR/VBR, 3 data rate, 4 sample rate, 5 CRC, 11 channels,
    // 13 frames, 14 seconds. The values follow from how make-test-files.sh
    // made each file (ffprobe cannot tell some of them).
    struct Case {
        const char *name;
        std::map<int, std::string> fields;
    };
    const Case cases[] = {
        // Three parts: 21 frames at 44100 Hz, 12 at 11025 Hz, 22 at 48000 Hz;
        // 0.549 + 0.627 + 0.528 s. The first part's header speaks for the rest.
        {"rate_change.mp3", {{2, "VBR"}, {4, "44100"}, {11, "2"}, {13, "55"}, {14, "2"}}},
        // 21 mono frames at 64 kbit/s, then 21 stereo ones at 128 kbit/s.
        {"channel_change.mp3", {{2, "VBR"}, {4, "44100"}, {11, "1"}, {13, "42"}, {14, "1"}}},
        // Free format: 653-byte frames, so 200 kbit/s.
        {"free_format.mp3", {{2, "CBR"}, {3, "200000"}, {4, "44100"}, {13, "21"}, {14, "1"}}},
        // 70 KiB of zeros before the stream.
        {"junk_prefix.mp3", {{3, "128000"}, {4, "44100"}, {12, "80874"}, {13, "21"}, {14, "1"}}},
        // An Info frame that claims 0xFFFFFFFF frames: they are counted instead.
        {"huge_count.mp3", {{2, "CBR"}, {13, "21"}, {14, "1"}}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        std::array<char, SBMP3_FRAME_INFO_SIZE> info{};
        ASSERT_EQ(frameInfoOfFile((kData / test.name).c_str(), info.data()), 1);
        EXPECT_EQ(probeMpegFile((kData / test.name).c_str()), 0);
        const std::vector<std::string> fields = fieldsOf(info.data());
        ASSERT_EQ(fields.size(), 15u);
        for (const auto &[index, value] : test.fields)
            EXPECT_EQ(fields[static_cast<std::size_t>(index)], value) << "field " << index;
    }
}

TEST_F(StreamFilesTest, TurnsAwayWhatIsNotMpegAudio)
{
    write(dir_ / "empty.mp3", "");
    write(dir_ / "text.mp3", "Not a single frame here.\n");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.mp3").c_str(), 0600), 0);
    for (const fs::path &path : {kData / "random.mp3", kData / "not_audio.wav", dir_,
                                 dir_ / "empty.mp3", dir_ / "text.mp3", dir_ / "pipe.mp3",
                                 fs::path("/dev/zero")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(probeMpegFile(path.c_str()), SBMP3_ERR_NOT_AUDIO);
        std::array<char, SBMP3_FRAME_INFO_SIZE> info;
        info.fill('x');
        EXPECT_EQ(frameInfoOfFile(path.c_str(), info.data()), 0);
        EXPECT_EQ(info, decltype(info){});
    }

    const fs::path missing = dir_ / "missing.mp3";
    std::array<char, SBMP3_FRAME_INFO_SIZE> info{};
    EXPECT_EQ(probeMpegFile(missing.c_str()), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(frameInfoOfFile(missing.c_str(), info.data()), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(probeMpegFile(nullptr), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(probeMpegFile(""), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(frameInfoOfFile(nullptr, info.data()), 0);
    EXPECT_EQ(frameInfoOfFile((kData / "tone_1k.mp3").c_str(), nullptr), 0);
}

TEST_F(StreamFilesTest, UnreadableOrReadOnlyFileIsAnAccessError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads and writes any file";
    const fs::path path = copyOf("tone_1k.mp3");
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_EQ(writeTagBlockToFile(path.c_str(), tagBlock("x").data()), SBMP3_ERR_ACCESS);
    EXPECT_EQ(contents(path), contents(kData / "tone_1k.mp3"));
    fs::permissions(path, fs::perms::none);
    std::array<char, SBMP3_FRAME_INFO_SIZE> info{};
    EXPECT_EQ(probeMpegFile(path.c_str()), SBMP3_ERR_ACCESS);
    EXPECT_EQ(frameInfoOfFile(path.c_str(), info.data()), 0);
    EXPECT_EQ(readTagBlockOfFile(path.c_str(), info.data()), SBMP3_ERR_ACCESS);
}

TEST_F(StreamFilesTest, ReadsTheLastBlockOfAFile)
{
    std::array<char, SBMP3_TAG_BLOCK_SIZE> tag{};
    ASSERT_EQ(readTagBlockOfFile((kData / "with_id3v1.mp3").c_str(), tag.data()), 0);
    const Section expected = readManifest().at("with_id3v1.mp3 tag");
    EXPECT_EQ(std::string(tag.data()), "TAG" + expected.at("title"));  // padded with NULs
    EXPECT_EQ(static_cast<unsigned char>(tag[127]), std::stoul(expected.at("genre")));

    const std::string untagged = contents(kData / "tone_1k.mp3");
    ASSERT_EQ(readTagBlockOfFile((kData / "tone_1k.mp3").c_str(), tag.data()), 0);
    EXPECT_EQ(std::string(tag.data(), tag.size()), untagged.substr(untagged.size() - 128));

    write(dir_ / "short", std::string(127, 'T'));
    tag.fill('x');
    EXPECT_EQ(readTagBlockOfFile((dir_ / "short").c_str(), tag.data()), 0);
    EXPECT_EQ(tag, decltype(tag){});

    EXPECT_EQ(readTagBlockOfFile((dir_ / "missing").c_str(), tag.data()), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(readTagBlockOfFile(dir_.c_str(), tag.data()), SBMP3_ERR_ACCESS);
    EXPECT_EQ(readTagBlockOfFile(nullptr, tag.data()), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(readTagBlockOfFile(dir_.c_str(), nullptr), SBMP3_ERR_BAD_FILE_NAME);
}

TEST_F(StreamFilesTest, WritesOneBlockAndNeverTouchesTheAudio)
{
    const fs::path path = copyOf("tone_1k.mp3");
    const std::string audio = contents(path);
    ASSERT_EQ(writeTagBlockToFile(path.c_str(), tagBlock("First").data()), 0);
    ASSERT_EQ(writeTagBlockToFile(path.c_str(), tagBlock("First").data()), 0);
    EXPECT_EQ(contents(path), audio + tagBlock("First"));
    ASSERT_EQ(writeTagBlockToFile(path.c_str(), tagBlock("Second").data()), 0);
    EXPECT_EQ(contents(path), audio + tagBlock("Second"));

    const fs::path tagged = copyOf("with_id3v1.mp3");
    const std::string old = contents(tagged);
    ASSERT_EQ(writeTagBlockToFile(tagged.c_str(), tagBlock("Third").data()), 0);
    EXPECT_EQ(contents(tagged), old.substr(0, old.size() - 128) + tagBlock("Third"));
}

TEST_F(StreamFilesTest, RefusesBadBlocksAndFilesThatAreNotAudio)
{
    const fs::path audio = copyOf("tone_1k.mp3");
    const fs::path text = dir_ / "notes.txt";
    write(text, std::string(300, 'a'));
    std::string noTag = tagBlock("Title");
    noTag[0] = 'X';
    EXPECT_EQ(writeTagBlockToFile(audio.c_str(), noTag.data()), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(writeTagBlockToFile(text.c_str(), tagBlock("Title").data()), SBMP3_ERR_NOT_AUDIO);
    EXPECT_EQ(contents(audio), contents(kData / "tone_1k.mp3"));
    EXPECT_EQ(contents(text), std::string(300, 'a'));

    const std::string block = tagBlock("Title");
    EXPECT_EQ(writeTagBlockToFile(dir_.c_str(), block.data()), SBMP3_ERR_ACCESS);
    EXPECT_EQ(writeTagBlockToFile((dir_ / "missing").c_str(), block.data()), SBMP3_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(writeTagBlockToFile(nullptr, block.data()), SBMP3_ERR_BAD_FILE_NAME);
    EXPECT_EQ(writeTagBlockToFile(audio.c_str(), nullptr), SBMP3_ERR_BAD_FILE_NAME);
}

TEST_F(StreamFilesTest, FailedAppendLeavesTheFileAsItWas)
{
    // A file size limit 50 bytes past the file: the first 50 bytes of the block
    // lands, the rest fails as on a full disk.
    const fs::path path = copyOf("tone_1k.mp3");
    const std::string audio = contents(path);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = audio.size() + 50;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::int16_t written = writeTagBlockToFile(path.c_str(), tagBlock("Title").data());
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(written, SBMP3_ERR_DEVICE_IO);
    EXPECT_EQ(contents(path), audio);
}

}  // namespace
}  // namespace audioengine
