#include "playlist/Id3v2Tag.h"

#include "ErrorNumbers.h"
#include "LibraryLog.h"
#include "LookupTables.h"
#include "TextFile.h"

#include <taglib/id3v1genres.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace SonbrelMP3 {

namespace {

// The genre number that stands for a name the table does not know.
constexpr std::int16_t kUnknownGenre = 148;
constexpr unsigned int kHighestTrack = 32767;

QString fromTagLib(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true));
}

TagLib::String toTagLib(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

// Whether the file begins with a well-formed version 2 tag header: "ID3",
// major version 2 to 4, a size in the 7-bit bytes of the format, and a tag
// that ends within the file. A cheap test before TagLib is asked (most files
// of a playlist have no such tag), and the guard of every write: a header
// that claims more than the file holds would have the audio taken for tag.
bool startsWithId3v2(QFile &file)
{
    unsigned char header[10] = {};
    if (file.read(reinterpret_cast<char *>(header), sizeof header) != sizeof header)
        return false;
    if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] < 2 || header[3] > 4
        || header[4] == 0xFF)
        return false;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] >= 0x80)
            return false;
        size = (size << 7) | header[i];
    }
    constexpr unsigned char kFooterFlag = 0x10;
    const qint64 whole = sizeof header + size + ((header[5] & kFooterFlag) != 0 ? sizeof header : 0);
    return whole <= file.size();
}

// The genre table's number for one field of a genre frame: a number
// ("17", or "(17)" as version 2.3 tags write it), a name of the table, or
// a name of TagLib's ID3 list; -1 for none of these.
int genreOfField(QString field)
{
    field = field.trimmed();
    if (field.startsWith(QLatin1Char('(')) && field.endsWith(QLatin1Char(')')))
        field = field.mid(1, field.size() - 2);
    if (field.isEmpty())
        return -1;
    bool isNumber = false;
    const int number = field.toInt(&isNumber);
    if (isNumber)
        return number >= 0 && number <= 255 ? number : -1;
    for (int genre = 0; genre < kGenreCount; ++genre) {
        if (GenreName(genre).compare(field, Qt::CaseInsensitive) == 0)
            return genre;
    }
    const int listed = TagLib::ID3v1::genreIndex(toTagLib(field));
    return listed >= 0 && listed < 255 ? listed : -1;
}

std::int16_t genreOf(const TagLib::ID3v2::Tag &tag)
{
    const TagLib::ID3v2::FrameList &frames = tag.frameListMap()["TCON"];
    if (frames.isEmpty())
        return 0;
    TagLib::StringList fields;
    if (const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frames.front()))
        fields = text->fieldList();
    else
        fields.append(frames.front()->toString());
    for (const TagLib::String &field : fields) {
        if (const int genre = genreOfField(fromTagLib(field)); genre >= 0)
            return static_cast<std::int16_t>(genre);
    }
    return kUnknownGenre;
}

TagFields fieldsOf(const TagLib::ID3v2::Tag &tag)
{
    TagFields fields;
    fields.title = fromTagLib(tag.title());
    fields.artist = fromTagLib(tag.artist());
    fields.album = fromTagLib(tag.album());
    if (const unsigned int year = tag.year(); year != 0)
        fields.year = QString::number(year);
    fields.comment = fromTagLib(tag.comment());
    fields.genre = genreOf(tag);
    fields.track = static_cast<std::int16_t>(std::min(tag.track(), kHighestTrack));
    return fields;
}

void setField(TagLib::ID3v2::Tag &tag, TagField field, const TagFields &fields)
{
    switch (field) {
    case TagField::Title:
        tag.setTitle(toTagLib(fields.title));
        break;
    case TagField::Artist:
        tag.setArtist(toTagLib(fields.artist));
        break;
    case TagField::Album:
        tag.setAlbum(toTagLib(fields.album));
        break;
    case TagField::Year:
        // A year that is no number removes the frame, as TagLib's 0 does.
        tag.setYear(fields.year.trimmed().toUInt());
        break;
    case TagField::Comment:
        tag.setComment(toTagLib(fields.comment));
        break;
    case TagField::Genre:
        // The table's name; a number without one removes the frame.
        tag.setGenre(toTagLib(GenreName(fields.genre)));
        break;
    case TagField::Track:
        tag.setTrack(static_cast<unsigned int>(std::max<std::int16_t>(fields.track, 0)));
        break;
    }
}

}  // namespace

std::optional<TagFields> readId3v2Tag(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !startsWithId3v2(file))
        return std::nullopt;
    file.close();
    const QByteArray name = QFile::encodeName(fileName);
    TagLib::MPEG::File mpeg(name.constData(), TagLib::ID3v2::FrameFactory::instance(), false);
    if (!mpeg.isValid() || !mpeg.hasID3v2Tag())
        return std::nullopt;
    return fieldsOf(*mpeg.ID3v2Tag());
}

std::int32_t writeId3v2Field(const QString &fileName, TagField field, const TagFields &fields)
{
    if (!QFileInfo(fileName).isFile())
        return 0;  // nothing there: no version 2 tag to keep in step
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(libraryLog) << "the tag of" << fileName << "cannot be read:" << file.errorString();
        return kPathFileAccessError;
    }
    if (!startsWithId3v2(file))
        return 0;
    file.seek(0);
    const QByteArray original = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCDebug(libraryLog) << "the tag of" << fileName << "cannot be read:" << file.errorString();
        return kPathFileAccessError;
    }
    file.close();

    // The file is changed in memory; only a complete result replaces it.
    TagLib::ByteVectorStream stream(TagLib::ByteVector(original.constData(), static_cast<unsigned int>(original.size())));
    QByteArray changed;
    {
        TagLib::MPEG::File mpeg(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!mpeg.isValid() || !mpeg.hasID3v2Tag())
            return 0;
        TagLib::ID3v2::Tag &tag = *mpeg.ID3v2Tag();
        const TagLib::ID3v2::Version version =
            tag.header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
        setField(tag, field, fields);
        // The version 1 tag at the end is the engine's to write: kept as is.
        if (!mpeg.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version, TagLib::File::DoNotDuplicate)) {
            qCDebug(libraryLog) << "the version 2 tag of" << fileName << "cannot be written";
            return kPathFileAccessError;
        }
        const TagLib::ByteVector *data = stream.data();
        changed = QByteArray(data->data(), static_cast<qsizetype>(data->size()));
    }
    QString error;
    if (!platform::replaceFile(fileName, changed, &error)) {
        qCDebug(libraryLog) << "the tag of" << fileName << "cannot be written:" << error;
        return kPathFileAccessError;
    }
    return 0;
}

}  // namespace SonbrelMP3
