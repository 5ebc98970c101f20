#pragma once

#include "playlist/TagBlock.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace SonbrelMP3 {

// The ID3 version 2 tag at the start of a file, as far as the entry shows
// it: the fields of a version 1 tag (title, artist, album, year, comment,
// genre, track), with texts as long as the tag holds them. Read and written
// with TagLib.

// The fields of the file's version 2 tag; nothing when the file has none
// (or cannot be read). The genre is the genre table's number of the tag's
// genre (a number, or a name of the table or of the ID3 list), 148
// "Unknown" for a name the table lacks, 0 without one.
std::optional<TagFields> readId3v2Tag(const QString &fileName);

// The field of a tag that a write changes.
enum class TagField { Title, Artist, Album, Year, Comment, Genre, Track };

// Sets one field of the file's version 2 tag to its value in `fields`,
// keeping the tag's version and every other frame; a file without a version
// 2 tag is left alone. The file is read whole, changed in memory and
// replaced through the platform's replace-write helper, keeping its mode,
// so a failure leaves it as it was. Returns 0, or 75 when the file cannot be
// read, changed or replaced.
std::int32_t writeId3v2Field(const QString &fileName, TagField field, const TagFields &fields);

}  // namespace SonbrelMP3
