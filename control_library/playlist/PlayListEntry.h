#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

namespace SonbrelMP3 {

class AudioEngine;
AudioEngine &processEngine();
enum class TagField;

// One audio file: its name, its stream information and the fields of its
// ID3 tag, readable and writable. The library creates entries (one per
// playlist item, one inside each player); clients only use them.
//
// The engine reads the version 1 tag block and the stream information and
// writes the tag block. A file without a version 1 tag shows the fields of
// its version 2 tag (read with TagLib); a write also sets the field in a
// version 2 tag the file has, before the version 1 block is written, and
// replaces the file whole, so a failure leaves it as it was. The tag is not
// cached: every read of a tag property reads the file again.
//
// Errors: the tag properties, GenreList and ID3Genre's let raise
// (RaisedError, source "SBMP3Player", numbers in ErrorNumbers.h); delivered
// by a Qt signal connection they emit Error instead. SetFileName returns its
// code and never raises.
//
// Members that a host reaches by name: the properties below and the
// invokable methods; their order is the class info "DispatchOrder".
class PlayListEntry : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DefaultMember", "Filename")
    Q_CLASSINFO("DispatchOrder",
                "ChannelMode,GenreList,MPEGVersion,FileSize,Filename,TrackLength,ID3Album,"
                "ID3Artist,ID3Comment,ID3Genre,ID3Title,ID3Year,Copyrighted,CRCExists,DataRate,"
                "Frames,Layer,Original,SampleRate,SetFileName,Tag,Key,ID3Track")
    Q_PROPERTY(QString ChannelMode READ ChannelMode)
    Q_PROPERTY(QString MPEGVersion READ MPEGVersion)
    Q_PROPERTY(qint32 FileSize READ FileSize)
    Q_PROPERTY(QString Filename READ Filename)
    Q_PROPERTY(qint16 TrackLength READ TrackLength)
    Q_PROPERTY(QString ID3Album READ ID3Album WRITE setID3Album)
    Q_PROPERTY(QString ID3Artist READ ID3Artist WRITE setID3Artist)
    Q_PROPERTY(QString ID3Comment READ ID3Comment WRITE setID3Comment)
    Q_PROPERTY(int ID3Genre READ ID3Genre WRITE setID3Genre)
    Q_PROPERTY(QString ID3Title READ ID3Title WRITE setID3Title)
    Q_PROPERTY(QString ID3Year READ ID3Year WRITE setID3Year)
    Q_PROPERTY(int ID3Track READ ID3Track WRITE setID3Track)
    Q_PROPERTY(bool Copyrighted READ Copyrighted)
    Q_PROPERTY(bool CRCExists READ CRCExists)
    Q_PROPERTY(qint32 DataRate READ DataRate)
    Q_PROPERTY(qint32 Frames READ Frames)
    Q_PROPERTY(QString Layer READ Layer)
    Q_PROPERTY(bool Original READ Original)
    Q_PROPERTY(qint32 SampleRate READ SampleRate)
    Q_PROPERTY(QString Tag READ Tag WRITE setTag)
    Q_PROPERTY(QString Key READ Key)

public:
    explicit PlayListEntry(AudioEngine &engine = processEngine(), QObject *parent = nullptr);
    ~PlayListEntry() override;

    QString ChannelMode() const;
    // The genre name of a genre number; raises 30103 for a number that has
    // no 16-bit form.
    Q_INVOKABLE QString GenreList(int Genre) const;
    QString MPEGVersion() const;
    std::int32_t FileSize() const;
    QString Filename() const;
    std::int16_t TrackLength() const;

    // The tag properties raise 53 while the entry has no file, and pass on
    // the engine's failure codes (48 and 453 when it cannot be reached, 75
    // when a version 2 tag cannot be written).
    QString ID3Album();
    void setID3Album(const QString &value);
    QString ID3Artist();
    void setID3Artist(const QString &value);
    QString ID3Comment();
    void setID3Comment(const QString &value);
    std::int16_t ID3Genre();
    // A genre outside 0-255 has no one-byte form: raises 30103, stores and
    // writes nothing.
    void setID3Genre(int value);
    QString ID3Title();
    void setID3Title(const QString &value);
    QString ID3Year();
    void setID3Year(const QString &value);
    // The track number (ID3 v1.1: the last byte of the comment, which then
    // holds 28 characters; 0 for none). A value outside 0-255 raises 380.
    std::int16_t ID3Track();
    void setID3Track(int value);

    bool Copyrighted() const;
    bool CRCExists() const;
    std::int32_t DataRate() const;
    std::int32_t Frames() const;
    QString Layer() const;
    bool Original() const;
    std::int32_t SampleRate() const;

    // Binds the entry to a file and reads its tag and stream information.
    // Returns 0, or the code of the failure; a failure clears the file name
    // and keeps every other field. Never raises.
    Q_INVOKABLE qint32 SetFileName(const QString &Filename);

    QString Tag() const;
    void setTag(const QString &value);
    QString Key() const;

    // For the library's own classes: the key under which a playlist holds
    // the entry.
    void SetKey(const QString &Key);
    // Raises a code this entry returned (SetFileName's): source
    // "SBMP3Player", the description of the error table, or for an engine
    // that could not be reached, why.
    [[noreturn]] void raiseResult(std::int32_t code) const;

signals:
    // An error of a member that a signal connection delivered, which a
    // direct call would have raised.
    void Error(qint32 Number, const QString &Source, const QString &Description);

protected:
    bool event(QEvent *event) override;

private:
    std::int32_t ReadID3Tag();
    std::int32_t WriteID3Tag(TagField changed);
    std::int32_t ReadFrameInfo();

    void readTagOrRaise();
    void setTextField(QString &field, TagField changed, const QString &value);
    template <typename Call>
    std::int16_t engineResult(Call &&call);
    template <typename Body>
    auto raising(Body &&body) const;

    AudioEngine &engine_;

    QString tag_;
    QString fileName_;
    std::int16_t trackLength_ = 0;
    QString title_;
    QString artist_;
    QString album_;
    QString year_;
    std::int16_t genre_ = 0;
    QString comment_;
    std::int16_t track_ = 0;
    std::int32_t fileSize_ = 0;
    std::int32_t dataRate_ = 0;
    std::int32_t frames_ = 0;
    std::int32_t sampleRate_ = 0;
    std::int16_t layer_ = 0;
    bool copyrighted_ = false;
    bool crcPresent_ = false;
    bool original_ = false;
    float mpegVersion_ = 0.0F;
    QString channelMode_;
    QString key_;
    // The last engine call that could not be made: its number and why.
    std::int32_t unreachableNumber_ = 0;
    QString unreachableText_;
    mutable int memberDepth_ = 0;
    int metaCallDepth_ = 0;
};

}  // namespace SonbrelMP3
