// Arbitrary contents in a file: the last block reads back as it is, a block
// is written only into MPEG audio files, and then only over an old block or
// after the bytes that were there, which stay untouched; a failed write
// changes nothing.
#include "MpegFuzzInput.h"
#include "StreamFiles.h"
#include "StreamScanner.h"
#include "sonbrel_mp3.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace audioengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes = fuzzing::shapeMpegInput(data, size);
    fuzzing::writeScratch(bytes);
    const char *path = fuzzing::scratchFile().c_str();

    char tag[SBMP3_TAG_BLOCK_SIZE];
    if (readTagBlockOfFile(path, tag) != 0)
        std::abort();
    std::vector<std::uint8_t> last(SBMP3_TAG_BLOCK_SIZE, 0);
    if (bytes.size() >= SBMP3_TAG_BLOCK_SIZE)
        last.assign(bytes.end() - SBMP3_TAG_BLOCK_SIZE, bytes.end());
    if (std::memcmp(tag, last.data(), sizeof tag) != 0)
        std::abort();

    // A new block from the input's last bytes.
    char block[SBMP3_TAG_BLOCK_SIZE] = {'T', 'A', 'G'};
    for (std::size_t i = 3; i < sizeof block && i - 3 < size; ++i)
        block[i] = static_cast<char>(data[size - 1 - (i - 3)]);

    char wrong[SBMP3_TAG_BLOCK_SIZE];
    std::memcpy(wrong, block, sizeof wrong);
    wrong[0] = 'X';
    if (writeTagBlockToFile(path, wrong) != SBMP3_ERR_BAD_FILE_NAME || fuzzing::readScratch() != bytes)
        std::abort();

    MemorySource source(bytes);
    const bool audio = locateStream(source).status == ScanStatus::Audio;
    const std::int16_t written = writeTagBlockToFile(path, block);
    if (!audio) {
        if (written != SBMP3_ERR_NOT_AUDIO || fuzzing::readScratch() != bytes)
            std::abort();
        return 0;
    }
    if (written != 0)
        std::abort();
    const bool hadBlock = bytes.size() >= SBMP3_TAG_BLOCK_SIZE && std::memcmp(last.data(), "TAG", 3) == 0;
    std::vector<std::uint8_t> expected(bytes.begin(), bytes.end() - (hadBlock ? SBMP3_TAG_BLOCK_SIZE : 0));
    expected.insert(expected.end(), block, block + sizeof block);
    if (fuzzing::readScratch() != expected)
        std::abort();

    // The block reads back, the file stays audio, and writing it again adds nothing.
    if (readTagBlockOfFile(path, tag) != 0 || std::memcmp(tag, block, sizeof tag) != 0 ||
        probeMpegFile(path) != 0 || writeTagBlockToFile(path, block) != 0 ||
        fuzzing::readScratch() != expected)
        std::abort();
    return 0;
}
