#pragma once

#include "engine/AudioEngine.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace SonbrelMP3 {

// The fields of an ID3 version 1 tag block, as the program holds them.
struct TagFields {
    QString title;
    QString artist;
    QString album;
    QString year;
    QString comment;
    std::int16_t genre = 0;
    // The track number of an ID3 v1.1 block, 0 for none.
    std::int16_t track = 0;
};

// Widths of the text fields in the block.
inline constexpr int kTagTextWidth = 30;
inline constexpr int kTagYearWidth = 4;
// The comment of a block that carries a track number (ID3 v1.1): its last
// two bytes are a NUL and the track number.
inline constexpr int kTagShortCommentWidth = 28;

// The fields of a block that starts with "TAG" (exactly, case-sensitive), or
// nothing. NUL bytes in the texts become spaces; the texts are not trimmed.
// The block's bytes are Latin-1. A block whose comment ends with a NUL and
// a byte other than NUL carries a track number: the comment is its first
// 28 bytes and the last byte is the track.
std::optional<TagFields> parseTagBlock(const TagBlock &block);

// The block for the fields: "TAG", title, artist and album padded with
// spaces or cut to 30, year to 4, comment to 30, then the genre byte.
// A track from 1 to 255 is kept as ID3 v1.1 keeps it: the comment cut to
// 28, a NUL, the track. The genre must be 0 to 255. Text that Latin-1
// cannot hold becomes "?".
TagBlock buildTagBlock(const TagFields &fields);

// Whether a track number has a place in the block: 1 to 255.
bool fitsTagBlock(std::int16_t track);

// Text as Latin-1 bytes, one byte per character; each character outside
// Latin-1 becomes one "?".
QByteArray toLatin1OrQuestionMark(const QString &text);

}  // namespace SonbrelMP3
