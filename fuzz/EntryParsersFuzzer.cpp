// Arbitrary bytes as the tag block and the frame-information text that the
// engine hands back, through the parsers and through a playlist entry.
#include "FakeEngine.h"
#include "playlist/FrameInfo.h"
#include "playlist/PlayListEntry.h"
#include "playlist/TagBlock.h"

#include <cstdlib>
#include <cstring>

using namespace SonbrelMP3;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // A block that parses builds back into a block that parses the same.
    const TagBlock block = testing::FakeEngine::rawBlock(bytes);
    if (const auto fields = parseTagBlock(block)) {
        const auto again = parseTagBlock(buildTagBlock(*fields));
        if (!again || again->title != fields->title || again->comment != fields->comment ||
            again->year != fields->year || again->genre != fields->genre)
            std::abort();
    }

    FrameInfoBuffer buffer{};
    std::memcpy(buffer.data(), bytes.constData(), std::min<std::size_t>(size, buffer.size()));
    parseFrameInfo(buffer);

    testing::FakeEngine engine;
    testing::FakeEngine::File &file = engine.addFile(QStringLiteral("/f.mp3"), bytes);
    file.tag = block;
    PlayListEntry entry(engine);
    if (entry.SetFileName(QStringLiteral("/f.mp3")) == 0) {
        entry.MPEGVersion();
        entry.Layer();
        if (entry.ID3Genre() > 149)
            std::abort();
        entry.setID3Title(entry.ID3Title() + entry.ID3Comment());
    }
    return 0;
}
