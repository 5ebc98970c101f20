#include "LookupTables.h"

#include "RaisedError.h"

#include <array>
#include <limits>

namespace SonbrelMP3 {

QString ErrorText(std::int32_t number)
{
    const char *text = "Unknown error.";
    switch (number) {
    case 52: text = "Bad file name or number."; break;
    case 53: text = "Can't find specified file. (File not found)"; break;
    case 55: text = "File already open."; break;
    case 57: text = "Device I/O error."; break;
    case 68: text = "Device unavailable or disk not ready."; break;
    case 75: text = "Path/File access error."; break;
    case 76: text = "Path not found."; break;
    case 30073: text = "File already exists in playlist."; break;
    case 30074: text = "Can't access file. File may be locked by another application."; break;
    case 30075: text = "File is not a recognized audio file format."; break;
    case 30076: text = "Audio device is already open."; break;
    case 30077: text = "A valid playlist file name must be selected in order to load or save it."; break;
    case 30078: text = "There are no playlist entries matching .."; break;
    case 30098: text = "There is no audio driver in this system."; break;
    case 30099: text = "Unable to allocate sound memory."; break;
    case 30100: text = "Audio device is synchronous."; break;
    case 30101: text = "No audio devices present."; break;
    case 30102: text = "Unknown media error."; break;
    case 30103: text = "Unknown genre."; break;
    case 30104: text = "Insufficient memory available."; break;
    default: break;
    }
    return QString::fromLatin1(text);
}

namespace {

// The genres of the ID3 version 1 format (0-79), the common extension rows
// (80-147) with this library's own spellings, and row 148 of its own.
constexpr std::array<const char *, kGenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco",                              // 0
    "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",                                     // 5
    "New Age", "Oldies", "Other", "Pop", "R&B",                                       // 10
    "Rap", "Reggae", "Rock", "Techno", "Industrial",                                  // 15
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack",                      // 20
    "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk",                       // 25
    "Fusion", "Trance", "Classical", "Instrumental", "Acid",                          // 30
    "House", "Game", "Sound Clip", "Gospel", "Noise",                                 // 35
    "AlternRock", "Bass", "Soul", "Punk", "Space",                                    // 40
    "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",        // 45
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance",           // 50
    "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",                            // 55
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",               // 60
    "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes",                        // 65
    "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz",                           // 70
    "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",                          // 75
    "Folk", "Folk/Rock", "National folk", "Swing", "Fast-fusion",                     // 80
    "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",                               // 85
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock",  // 90
    "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",                  // 95
    "Humour", "Speech", "Chanson", "Opera", "Chamber Music",                          // 100
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove",                      // 105
    "Satire", "Slow Jam", "Club", "Tango", "Samba",                                   // 110
    "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle",               // 115
    "Duet", "Punk Rock", "Drum Solo", "A Capella", "Euro-House",                      // 120
    "Dance Hall", "Goa", "Drum & Bass", "Club House", "Hardcore",                     // 125
    "Terror", "Indie", "BritPop", "NegerPunk", "Polsk Punk",                          // 130
    "Beat", "Christian Gangsta", "Heavy Metal", "Black Metal", "Crossover",           // 135
    "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal",  // 140
    "Anime", "JPop", "SynthPop", "Unknown",                                           // 145
};

}  // namespace

QString GenreName(int genre)
{
    if (genre < 0 || genre >= kGenreCount)
        return {};
    return QString::fromLatin1(kGenres[static_cast<std::size_t>(genre)]);
}

QString genreListName(int genre)
{
    if (genre < std::numeric_limits<std::int16_t>::min() ||
        genre > std::numeric_limits<std::int16_t>::max())
        raiseCode(kUnknownGenreError);
    try {
        return GenreName(genre);
    } catch (...) {
        raiseCode(kUnknownGenreError);
    }
}

}  // namespace SonbrelMP3
