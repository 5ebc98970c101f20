#pragma once

#include "ErrorNumbers.h"

#include <QString>

#include <cstdint>

namespace SonbrelMP3 {

// Description of an error number that the library passes on from the engine
// or from a playlist entry; "Unknown error." for numbers without a row.
QString ErrorText(std::int32_t number);

// Name of an ID3 version 1 genre number; rows 0 to 148, the empty string for
// every other number. The table is looked up by number only.
QString GenreName(int genre);

// The GenreList members' lookup: GenreName, raising 30103 "Unknown genre."
// when the lookup fails, which it does for a number without a 16-bit form.
QString genreListName(int genre);

// Number of rows of the genre table (0 to 148).
inline constexpr int kGenreCount = 149;

}  // namespace SonbrelMP3
