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
};

// Widths of the text fields in the block.
inline constexpr int kTagTextWidth = 30;
inline constexpr int kTagYearWidth = 4;

// The fields of a block that starts with "TAG" (exactly, case-sensitive), or
// nothing. NUL bytes in the texts become spaces; the texts are not trimmed.
// The block's bytes are Latin-1.
std::optional<TagFields> parseTagBlock(const TagBlock &block);

// The block for the fields: "TAG", title, artist and album padded with
// spaces or cut to 30, year to 4, comment to 30, then the genre byte.
// The genre must be 0 to 255. Text that Latin-1 cannot hold becomes "?".
TagBlock buildTagBlock(const TagFields &fields);

// Text as Latin-1 bytes, one byte per character; each character outside
// Latin-1 becomes one "?".
QByteArray toLatin1OrQuestionMark(const QString &text);

}  // namespace SonbrelMP3
