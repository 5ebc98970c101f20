#include "playlist/PlayListEntry.h"

#include "ErrorNumbers.h"
#include "LookupTables.h"
#include "MemberCalls.h"
#include "RaisedError.h"
#include "SharedText.h"
#include "engine/AudioEngine.h"
#include "playlist/FrameInfo.h"
#include "playlist/Id3v2Tag.h"
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

bool PlayListEntry::event(QEvent *event)
{
    return countMetaCall(metaCallDepth_, event, [this](QEvent *e) { return QObject::event(e); });
}

template <typename Body>
auto PlayListEntry::raising(Body &&body) const
{
    return callMember(*const_cast<PlayListEntry *>(this), memberDepth_, sender() != nullptr || metaCallDepth_ > 0,
                      std::forward<Body>(body));
}

// An engine call whose result the entry passes on. One that cannot be made
// (no engine library, no such function) results in its error's number, and
// raiseResult tells why; any other failure is a skipped step reading 0.
template <typename Call>
std::int16_t PlayListEntry::engineResult(Call &&call)
{
    unreachableNumber_ = 0;
    try {
        return call();
    } catch (const EngineUnavailable &unavailable) {
        unreachableNumber_ = unavailable.number();
        unreachableText_ = unavailable.description();
        return static_cast<std::int16_t>(unavailable.number());
    } catch (...) {
        logSkippedStep(std::current_exception());
        return 0;
    }
}

void PlayListEntry::raiseResult(std::int32_t code) const
{
    if (code != 0 && code == unreachableNumber_)
        throw RaisedError(code, QString::fromLatin1(kPlayerErrorSource), unreachableText_);
    raiseCode(code);
}

QString PlayListEntry::ChannelMode() const
{
    return channelMode_;
}

QString PlayListEntry::GenreList(int Genre) const
{
    return raising([&] { return genreListName(Genre); });
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
        raiseResult(code);
}

void PlayListEntry::setTextField(QString &field, TagField changed, const QString &value)
{
    raising([&] {
        field = value;
        if (const std::int32_t code = WriteID3Tag(changed))
            raiseResult(code);
    });
}

QString PlayListEntry::ID3Album()
{
    return raising([&] {
        readTagOrRaise();
        return trimSpaces(album_);
    });
}

void PlayListEntry::setID3Album(const QString &value)
{
    setTextField(album_, TagField::Album, value);
}

QString PlayListEntry::ID3Artist()
{
    return raising([&] {
        readTagOrRaise();
        return trimSpaces(artist_);
    });
}

void PlayListEntry::setID3Artist(const QString &value)
{
    setTextField(artist_, TagField::Artist, value);
}

QString PlayListEntry::ID3Comment()
{
    return raising([&] {
        readTagOrRaise();
        return trimSpaces(comment_);
    });
}

void PlayListEntry::setID3Comment(const QString &value)
{
    setTextField(comment_, TagField::Comment, value);
}

std::int16_t PlayListEntry::ID3Genre()
{
    return raising([&] {
        readTagOrRaise();
        if (genre_ > kHighestGenreRead)
            genre_ = kHighestGenreRead;
        return genre_;
    });
}

void PlayListEntry::setID3Genre(int value)
{
    raising([&] {
        if (value < 0 || value > 255)
            raiseCode(kUnknownGenreError);
        std::int32_t code = 0;
        try {
            genre_ = static_cast<std::int16_t>(value);
            code = WriteID3Tag(TagField::Genre);
        } catch (...) {
            raiseCode(kUnknownGenreError);
        }
        if (code != 0)
            raiseResult(code);
    });
}

std::int16_t PlayListEntry::ID3Track()
{
    return raising([&] {
        readTagOrRaise();
        return track_;
    });
}

void PlayListEntry::setID3Track(int value)
{
    raising([&] {
        if (value < 0 || value > 255)
            throw RaisedError(kInvalidPropertyValueError, QString::fromLatin1(kPlayerErrorSource),
                              QStringLiteral("Invalid property value."));
        track_ = static_cast<std::int16_t>(value);
        if (const std::int32_t code = WriteID3Tag(TagField::Track))
            raiseResult(code);
    });
}

QString PlayListEntry::ID3Title()
{
    return raising([&] {
        readTagOrRaise();
        return trimSpaces(title_);
    });
}

void PlayListEntry::setID3Title(const QString &value)
{
    setTextField(title_, TagField::Title, value);
}

QString PlayListEntry::ID3Year()
{
    return raising([&] {
        readTagOrRaise();
        return trimSpaces(year_);
    });
}

void PlayListEntry::setID3Year(const QString &value)
{
    setTextField(year_, TagField::Year, value);
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
        return kFileNotFoundError;
    TagBlock block{};
    const std::int16_t result = engineResult([&] { return engine_.get_id3_tag(fileName_, block); });
    if (result != 0)
        return result;
    std::optional<TagFields> fields = parseTagBlock(block);
    if (!fields)
        fields = readId3v2Tag(fileName_);
    if (!fields) {
        // The file has no tag: its fields are empty, so that nothing read
        // from another file is shown for it or written into it.
        fields.emplace();
    }
    title_ = fields->title;
    artist_ = fields->artist;
    album_ = fields->album;
    year_ = fields->year;
    comment_ = fields->comment;
    genre_ = fields->genre;
    track_ = fields->track;
    return 0;
}

std::int32_t PlayListEntry::WriteID3Tag(TagField changed)
{
    if (fileName_.isEmpty())
        return kFileNotFoundError;
    const TagFields fields{title_, artist_, album_, year_, comment_, genre_, track_};
    // The version 2 tag first: when it cannot be written, the file stays
    // as it was, version 1 block included.
    if (const std::int32_t code = writeId3v2Field(fileName_, changed, fields))
        return code;
    const TagBlock block = buildTagBlock(fields);
    return engineResult([&] { return engine_.set_id3_tag(fileName_, block); });
}

std::int32_t PlayListEntry::ReadFrameInfo()
{
    if (fileName_.isEmpty())
        return kFileNotFoundError;
    FrameInfoBuffer buffer{};
    const std::int16_t result = engineResult([&] { return engine_.get_frame_info(fileName_, buffer); });
    // Not "not audio" when the engine was never asked.
    if (unreachableNumber_ != 0)
        return unreachableNumber_;
    if (result == 0)
        return kNotAudioFileError;
    if (result == kFileNotFoundError)
        return kFileNotFoundError;

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
