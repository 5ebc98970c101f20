#include "playlist/PlayListEntry.h"

#include "LookupTables.h"
#include "RaisedError.h"
#include "SharedText.h"
#include "engine/AudioEngine.h"
#include "playlist/FrameInfo.h"
#include "playlist/TagBlock.h"


namespace SonbrelMP3 {

using platform::trimSpaces;

namespace {

// Genre numbers above this read as this number.
constexpr std::int16_t kHighestGenreRead = 149;

}  // namespace

PlayListEntry::PlayListEntry(AudioEngine &engine, QObject *parent)
    : QObject(parent), engine_(engine)
{
}

PlayListEntry::~PlayListEntry() = default;

QString PlayListEntry::ChannelMode() const
{
    return channelMode_;
}

QString PlayListEntry::GenreList(int Genre) const
{
    return genreListName(Genre);
}

QString PlayListEntry::MPEGVersion() const
{
    return floatToText(mpegVersion_);
}

std::int32_t PlayListEntry::FileSize() const
{
    return fileSize_;
}

QString PlayListEntry::Filename() const
{
    return fileName_;
}

std::int16_t PlayListEntry::TrackLength() const
{
    return trackLength_;
}

void PlayListEntry::readTagOrRaise()
{
    if (const std::int32_t code = ReadID3Tag())
        raiseCode(code);
}

void PlayListEntry::setTextField(QString &field, const QString &value)
{
    field = value;
    if (const std::int32_t code = WriteID3Tag())
        raiseCode(code);
}

QString PlayListEntry::ID3Album()
{
    readTagOrRaise();
    return trimSpaces(album_);
}

void PlayListEntry::setID3Album(const QString &value)
{
    setTextField(album_, value);
}

QString PlayListEntry::ID3Artist()
{
    readTagOrRaise();
    return trimSpaces(artist_);
}

void PlayListEntry::setID3Artist(const QString &value)
{
    setTextField(artist_, value);
}

QString PlayListEntry::ID3Comment()
{
    readTagOrRaise();
    return trimSpaces(comment_);
}

void PlayListEntry::setID3Comment(const QString &value)
{
    setTextField(comment_, value);
}

std::int16_t PlayListEntry::ID3Genre()
{
    readTagOrRaise();
    if (genre_ > kHighestGenreRead)
        genre_ = kHighestGenreRead;
    return genre_;
}

void PlayListEntry::setID3Genre(int value)
{
    if (value < 0 || value > 255)
        raiseCode(kUnknownGenreError);
    std::int32_t code = 0;
    try {
        genre_ = static_cast<std::int16_t>(value);
        code = WriteID3Tag();
    } catch (...) {
        raiseCode(kUnknownGenreError);
    }
    if (code != 0)
        raiseCode(code);
}

QString PlayListEntry::ID3Title()
{
    readTagOrRaise();
    return trimSpaces(title_);
}

void PlayListEntry::setID3Title(const QString &value)
{
    setTextField(title_, value);
}

QString PlayListEntry::ID3Year()
{
    readTagOrRaise();
    return trimSpaces(year_);
}

void PlayListEntry::setID3Year(const QString &value)
{
    setTextField(year_, value);
}

bool PlayListEntry::Copyrighted() const
{
    return copyrighted_;
}

bool PlayListEntry::CRCExists() const
{
    return crcPresent_;
}

std::int32_t PlayListEntry::DataRate() const
{
    return dataRate_;
}

std::int32_t PlayListEntry::Frames() const
{
    return frames_;
}

QString PlayListEntry::Layer() const
{
    return QString::number(layer_);
}

bool PlayListEntry::Original() const
{
    return original_;
}

std::int32_t PlayListEntry::SampleRate() const
{
    return sampleRate_;
}

qint32 PlayListEntry::SetFileName(const QString &Filename)
{
    fileName_ = Filename;
    if (const std::int32_t code = ReadID3Tag()) {
        fileName_.clear();
        return code;
    }
    if (const std::int32_t code = ReadFrameInfo()) {
        fileName_.clear();
        return code;
    }
    return 0;
}

QString PlayListEntry::Tag() const
{
    return tag_;
}

void PlayListEntry::setTag(const QString &value)
{
    tag_ = value;
}

QString PlayListEntry::Key() const
{
    return key_;
}

void PlayListEntry::SetKey(const QString &Key)
{
    key_ = Key;
}

std::int32_t PlayListEntry::ReadID3Tag()
{
    if (fileName_.isEmpty())
        return SBMP3_ERR_FILE_NOT_FOUND;
    TagBlock block{};
    std::int16_t result = 0;
    runStep([&] { result = engine_.get_id3_tag(fileName_, block); });
    if (result != 0)
        return result;
    const std::optional<TagFields> fields = parseTagBlock(block);
    if (!fields) {
        // The file has no tag: its fields are empty, so that nothing read
        // from another file is shown for it or written into it.
        title_.clear();
        artist_.clear();
        album_.clear();
        year_.clear();
        comment_.clear();
        genre_ = 0;
        return 0;
    }
    title_ = fields->title;
    artist_ = fields->artist;
    album_ = fields->album;
    year_ = fields->year;
    comment_ = fields->comment;
    genre_ = fields->genre;
    return 0;
}

std::int32_t PlayListEntry::WriteID3Tag()
{
    if (fileName_.isEmpty())
        return SBMP3_ERR_FILE_NOT_FOUND;
    const TagBlock block = buildTagBlock({title_, artist_, album_, year_, comment_, genre_});
    std::int16_t result = 0;
    runStep([&] { result = engine_.set_id3_tag(fileName_, block); });
    return result;
}

std::int32_t PlayListEntry::ReadFrameInfo()
{
    if (fileName_.isEmpty())
        return SBMP3_ERR_FILE_NOT_FOUND;
    FrameInfoBuffer buffer{};
    std::int16_t result = 0;
    runStep([&] { result = engine_.get_frame_info(fileName_, buffer); });
    if (result == 0)
        return SBMP3_ERR_NOT_AUDIO;
    if (result == SBMP3_ERR_FILE_NOT_FOUND)
        return SBMP3_ERR_FILE_NOT_FOUND;

    const FrameInfoFields info = parseFrameInfo(buffer);
    const auto take = [](auto &field, const auto &value) {
        if (value)
            field = *value;
    };
    take(mpegVersion_, info.mpegVersion);
    take(layer_, info.layer);
    take(dataRate_, info.dataRate);
    take(sampleRate_, info.sampleRate);
    take(crcPresent_, info.crcPresent);
    take(channelMode_, info.channelMode);
    take(copyrighted_, info.copyrighted);
    take(original_, info.original);
    take(fileSize_, info.fileSize);
    take(frames_, info.frames);
    take(trackLength_, info.trackLength);
    return 0;
}

}  // namespace SonbrelMP3
