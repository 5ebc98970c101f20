#include "playlist/TagBlock.h"

#include "TextHelpers.h"

#include <QList>

#include <algorithm>

namespace SonbrelMP3 {

namespace {

constexpr int kTitleOffset = 3;
constexpr int kArtistOffset = 33;
constexpr int kAlbumOffset = 63;
constexpr int kYearOffset = 93;
constexpr int kCommentOffset = 97;
constexpr int kTrackMarkOffset = 125;
constexpr int kTrackOffset = 126;
constexpr int kGenreOffset = 127;

QString textAt(const TagBlock &block, int offset, int width)
{
    QByteArray bytes(block.data() + offset, width);
    bytes.replace('\0', ' ');
    return QString::fromLatin1(bytes);
}

void putText(TagBlock &block, int offset, int width, const QString &text)
{
    // Mapped to Latin-1 first, so that each character of the padded text is one byte.
    const QString latin1 = QString::fromLatin1(toLatin1OrQuestionMark(text));
    const QByteArray bytes = PadToWidth(latin1, width).toLatin1();
    std::copy_n(bytes.constData(), width, block.data() + offset);
}

}  // namespace

QByteArray toLatin1OrQuestionMark(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const uint codePoint : text.toUcs4())
        bytes.append(codePoint <= 0xFF ? static_cast<char>(codePoint) : '?');
    return bytes;
}

std::optional<TagFields> parseTagBlock(const TagBlock &block)
{
    if (block[0] != 'T' || block[1] != 'A' || block[2] != 'G')
        return std::nullopt;
    TagFields fields;
    fields.title = textAt(block, kTitleOffset, kTagTextWidth);
    fields.artist = textAt(block, kArtistOffset, kTagTextWidth);
    fields.album = textAt(block, kAlbumOffset, kTagTextWidth);
    fields.year = textAt(block, kYearOffset, kTagYearWidth);
    if (block[kTrackMarkOffset] == '\0' && block[kTrackOffset] != '\0') {
        fields.comment = textAt(block, kCommentOffset, kTagShortCommentWidth);
        fields.track = static_cast<unsigned char>(block[kTrackOffset]);
    } else {
        fields.comment = textAt(block, kCommentOffset, kTagTextWidth);
    }
    fields.genre = static_cast<unsigned char>(block[kGenreOffset]);
    return fields;
}

TagBlock buildTagBlock(const TagFields &fields)
{
    TagBlock block{};
    block[0] = 'T';
    block[1] = 'A';
    block[2] = 'G';
    putText(block, kTitleOffset, kTagTextWidth, fields.title);
    putText(block, kArtistOffset, kTagTextWidth, fields.artist);
    putText(block, kAlbumOffset, kTagTextWidth, fields.album);
    putText(block, kYearOffset, kTagYearWidth, fields.year);
    if (fitsTagBlock(fields.track)) {
        putText(block, kCommentOffset, kTagShortCommentWidth, fields.comment);
        block[kTrackMarkOffset] = '\0';
        block[kTrackOffset] = static_cast<char>(static_cast<unsigned char>(fields.track));
    } else {
        putText(block, kCommentOffset, kTagTextWidth, fields.comment);
    }
    block[kGenreOffset] = static_cast<char>(static_cast<unsigned char>(fields.genre));
    return block;
}

bool fitsTagBlock(std::int16_t track)
{
    return track >= 1 && track <= 255;
}

}  // namespace SonbrelMP3
