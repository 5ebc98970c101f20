#pragma once

#include "ContainerSite.h"
#include "HostedControl.h"
#include "PropertyBag.h"

#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

namespace SonbrelMP3 {

class AudioEngine;
AudioEngine &processEngine();
class Equalizer;
class PlayListEntry;

// The player control: a 32 x 32 control that a host places on a form,
// points at one MPEG audio file through Filename and drives with PlayStart,
// PlayPause, PlayStop, PlayFadeIn and PlayFadeOut. The engine plays; the
// control keeps the playback state, notices the end of a track (from the
// engine's status and from its 10 ms finish timer) and fetches the level,
// wave and spectrum data.
//
// The engine holds one track for the whole process. The player whose start
// is the latest owns it: only that player raises events, and while it owns
// the track no other player's equalizer reaches the engine; a player that
// another one's start replaced is stopped at that moment (IsPlaying false),
// without an event. Each player brings its own equalizer to the engine when
// it starts, and a new player changes nothing in the engine.
//
// Errors: every member goes on after a failing step (an engine that cannot
// be reached, an entry that raises); only PlayStart, PlayFadeIn and
// GenreList raise (RaisedError, numbers in ErrorNumbers.h). Called directly
// or by name, they throw; delivered by a Qt signal connection (a button's
// clicked connected to PlayStart, a queued call), they emit Error instead,
// since an exception cannot pass through Qt's signal delivery.
//
// Members that clamp an argument passed by reference write the clamped
// value back into the caller's variable: the ...ByRef forms and
// letChangeInterval; hosts calling by name use the value forms.
class SBMP3Player : public QWidget, public platform::HostedControl {
    Q_OBJECT
    Q_INTERFACES(platform::HostedControl)
    Q_CLASSINFO("DefaultMember", "Filename")
    Q_CLASSINFO("AboutDispatchId", "-552")
    Q_CLASSINFO("DispatchOrder",
                "About,ChannelMode,Equalizer,FileSize,Copyrighted,CRCExists,DataRate,Frames,"
                "GfxWaveFormSample,GfxWaveFormLBound,GfxWaveFormUBound,Layer,MPEGVersion,Original,"
                "SampleRate,ID3Album,ID3Artist,ID3Comment,ID3Genre,ID3Title,ID3Year,ChangeInterval,"
                "Filename,SpectrumAnalysis,TrackPosition,TrackLength,PlayPause,PlayStart,PlayStop,"
                "PlayFadeIn,PlayFadeOut,IsPaused,IsPlaying,VUMeter,Channels,DeviceName,GenreList,ID3Track")
    // A form made in Qt Designer may set Filename and ChangeInterval; the
    // other properties belong to the file or to the playback.
    Q_PROPERTY(QString ChannelMode READ ChannelMode DESIGNABLE false)
    Q_PROPERTY(QObject *Equalizer READ equalizerObject DESIGNABLE false)
    Q_PROPERTY(qint32 FileSize READ FileSize DESIGNABLE false)
    Q_PROPERTY(QVariant Copyrighted READ Copyrighted DESIGNABLE false)
    Q_PROPERTY(bool CRCExists READ CRCExists DESIGNABLE false)
    Q_PROPERTY(qint32 DataRate READ DataRate DESIGNABLE false)
    Q_PROPERTY(qint32 Frames READ Frames DESIGNABLE false)
    Q_PROPERTY(qint32 GfxWaveFormLBound READ GfxWaveFormLBound DESIGNABLE false)
    Q_PROPERTY(qint32 GfxWaveFormUBound READ GfxWaveFormUBound DESIGNABLE false)
    Q_PROPERTY(QString Layer READ Layer DESIGNABLE false)
    Q_PROPERTY(QString MPEGVersion READ MPEGVersion DESIGNABLE false)
    Q_PROPERTY(bool Original READ Original DESIGNABLE false)
    Q_PROPERTY(qint32 SampleRate READ SampleRate DESIGNABLE false)
    Q_PROPERTY(QString ID3Album READ ID3Album WRITE setID3Album DESIGNABLE false)
    Q_PROPERTY(QString ID3Artist READ ID3Artist WRITE setID3Artist DESIGNABLE false)
    Q_PROPERTY(QString ID3Comment READ ID3Comment WRITE setID3Comment DESIGNABLE false)
    Q_PROPERTY(qint16 ID3Genre READ ID3Genre WRITE setID3Genre DESIGNABLE false)
    Q_PROPERTY(QString ID3Title READ ID3Title WRITE setID3Title DESIGNABLE false)
    Q_PROPERTY(QString ID3Year READ ID3Year WRITE setID3Year DESIGNABLE false)
    Q_PROPERTY(qint16 ID3Track READ ID3Track WRITE setID3Track DESIGNABLE false)
    // An int, the widest integer Qt Designer edits; let as a number beyond
    // 16 bits, it counts as the nearest 16-bit one.
    Q_PROPERTY(int ChangeInterval READ ChangeInterval WRITE setChangeInterval)
    Q_PROPERTY(QString Filename READ Filename WRITE setFilename)
    Q_PROPERTY(qint16 TrackLength READ TrackLength DESIGNABLE false)
    Q_PROPERTY(bool IsPaused READ IsPaused DESIGNABLE false)
    Q_PROPERTY(bool IsPlaying READ IsPlaying DESIGNABLE false)
    Q_PROPERTY(qint16 Channels READ Channels WRITE setChannels DESIGNABLE false)
    Q_PROPERTY(QString DeviceName READ DeviceName WRITE setDeviceName DESIGNABLE false)

public:
    // Sizes of the visualisation data: channel selectors (0 both, 1 left,
    // 2 right), wave samples and spectrum values per selector.
    static constexpr int kChannelSelectors = 3;
    static constexpr int kWaveSamples = 256;
    static constexpr int kSpectrumBins = 128;

    explicit SBMP3Player(QWidget *parent = nullptr, AudioEngine &engine = processEngine());
    ~SBMP3Player() override;

    Q_INVOKABLE void About();

    QString ChannelMode();
    SonbrelMP3::Equalizer &equalizer() const { return *equalizer_; }
    QObject *equalizerObject() const;
    std::int32_t FileSize();
    QVariant Copyrighted();
    bool CRCExists();
    std::int32_t DataRate();
    std::int32_t Frames();
    std::int16_t GfxWaveFormSampleByRef(std::int16_t &Channel, std::int16_t Index) const;
    Q_INVOKABLE qint16 GfxWaveFormSample(int Channel, int Index) const;
    std::int32_t GfxWaveFormLBound() const { return -32768; }
    std::int32_t GfxWaveFormUBound() const { return 32767; }
    QString Layer();
    QString MPEGVersion();
    bool Original();
    std::int32_t SampleRate();

    QString ID3Album();
    void setID3Album(const QString &value);
    QString ID3Artist();
    void setID3Artist(const QString &value);
    QString ID3Comment();
    void setID3Comment(const QString &value);
    std::int16_t ID3Genre();
    void setID3Genre(std::int16_t value);
    QString ID3Title();
    void setID3Title(const QString &value);
    QString ID3Year();
    void setID3Year(const QString &value);
    // The track number of an ID3 v1.1 tag (0: none).
    std::int16_t ID3Track();
    void setID3Track(std::int16_t value);

    std::int16_t ChangeInterval() const { return changeInterval_; }
    void letChangeInterval(std::int16_t &value);
    void setChangeInterval(int value);

    QString Filename() const { return fileName_; }
    void setFilename(const QString &value);

    float SpectrumAnalysisByRef(std::int16_t &Channel, std::int16_t Index) const;
    Q_INVOKABLE float SpectrumAnalysis(int Channel, int Index) const;
    Q_INVOKABLE double TrackPosition(int From);
    Q_INVOKABLE void setTrackPosition(int From, double value);
    std::int16_t TrackLength();

    Q_INVOKABLE void PlayPause();
    // Raises the engine's result when the file does not start (the control
    // stays stopped), 48 or 453 when the engine cannot be reached.
    Q_INVOKABLE void PlayStart();
    Q_INVOKABLE void PlayStop();
    // As PlayStart, rising from silence over AttackTime seconds; raises as
    // PlayStart does.
    Q_INVOKABLE void PlayFadeIn(double AttackTime);
    void PlayFadeOutByRef(float &DecayTime);
    Q_INVOKABLE void PlayFadeOut(float DecayTime) { PlayFadeOutByRef(DecayTime); }
    bool IsPaused() const { return paused_; }
    bool IsPlaying() const { return playing_; }
    std::int16_t VUMeterByRef(std::int16_t &Channel) const;
    Q_INVOKABLE qint16 VUMeter(int Channel) const;

    std::int16_t Channels();
    void setChannels(std::int16_t value);
    QString DeviceName() const { return deviceName_; }
    void setDeviceName(const QString &value);

    // The genre's name, "" outside 0-148; raises 30103 for a number
    // without a 16-bit form.
    Q_INVOKABLE QString GenreList(int Genre) const;

    // Container events.
    void setContainerSite(platform::ContainerSite *site) override { site_ = site; }
    void InitProperties() override;
    void ReadProperties(platform::PropertyBag &bag) override;
    void WriteProperties(platform::PropertyBag &bag) override;

    // The status update that each repaint of hWndProvider runs, and one
    // tick of the finish timer; public so that tests can drive them.
    void UpdateStatus();
    void tmrIsFinished_Timer();
    bool finishTimerRunning() const { return tmrIsFinished_.isActive(); }

    // The image the control shows in its container.
    static const QPixmap &controlImage();

signals:
    // The track this player started has ended: once per end.
    void FinishedPlaying();
    void VisualizationUpdate();
    // An error of a member that a signal connection delivered, which a
    // direct call would have raised.
    void Error(qint32 Number, const QString &Source, const QString &Description);

protected:
    bool event(QEvent *event) override;
    void customEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The record the engine knows as hWndProvider (see the source file).
    struct ProviderWindow;

    std::int16_t selectChannel(std::int16_t &channel) const;
    void startPlayback(bool fade, double attackTime);
    // Whether this player's start is the engine's current one, or no
    // player's is.
    bool ownsEngine() const;
    // Makes this player's start the current one: the player that had it is
    // stopped without an event.
    void takeEngine();
    // Another player's start replaced this one's: stopped, no event.
    void yieldEngine();
    // The end of this player's track, raised once.
    void reportEnd();
    template <typename Body>
    auto raising(Body &&body) const;
    void notifyChanged(const QString &name);
    void showReadOnlyMessage(const QString &text);
    template <typename Value, typename Read>
    Value fromEntry(Value noFile, Read read);

    AudioEngine &engine_;
    std::shared_ptr<SonbrelMP3::Equalizer> equalizer_;
    std::unique_ptr<PlayListEntry> entry_;
    std::array<std::int16_t, kChannelSelectors> levels_{};
    std::array<std::int16_t, kChannelSelectors * kWaveSamples> wave_{};
    std::array<float, kChannelSelectors * kSpectrumBins> spectrum_{};
    QString fileName_;
    std::int16_t channels_ = 2;
    std::int16_t changeInterval_ = 100;
    double position_ = 0.0;
    bool playing_ = false;
    bool paused_ = false;
    bool timerBusy_ = false;
    // A track this player started whose end has not been reported yet.
    bool endPending_ = false;
    // Members under way, and Qt's deliveries of queued calls under way.
    mutable int memberDepth_ = 0;
    int metaCallDepth_ = 0;
    QString deviceName_;
    float playbackRate_ = 1.0f;

    QTimer tmrIsFinished_;
    std::unique_ptr<ProviderWindow> hWndProvider_;
    platform::ContainerSite *site_ = nullptr;
};

}  // namespace SonbrelMP3
