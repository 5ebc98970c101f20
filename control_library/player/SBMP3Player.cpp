#include "player/SBMP3Player.h"

#include "about/AboutBox.h"
#include "LibraryLog.h"
#include "LookupTables.h"
#include "ControlFace.h"
#include "MemberCalls.h"
#include "RaisedError.h"
#include "SharedText.h"
#include "equalizer/Equalizer.h"
#include "engine/AudioEngine.h"
#include "playlist/PlayListEntry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QResizeEvent>

#include <algorithm>
#include <atomic>
#include <map>

namespace SonbrelMP3 {

using platform::trimSpaces;

static_assert(SBMP3Player::kChannelSelectors == SBMP3_CHANNEL_SELECTORS);
static_assert(SBMP3Player::kWaveSamples == SBMP3_WAVE_SAMPLES);
static_assert(SBMP3Player::kSpectrumBins == SBMP3_SPECTRUM_BINS);

// The record the engine knows as hWndProvider: invalidate posts one status
// event to the control, however often the engine calls it before the event
// is handled.
struct SBMP3Player::ProviderWindow : sbmp3_window {
    SBMP3Player *owner = nullptr;
    std::atomic<bool> pending{false};

    // Called by the engine, from its own thread.
    static void invalidateProvider(sbmp3_window *window);
};

namespace {

const QEvent::Type kStatusEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
constexpr std::int16_t kDefaultChannels = 2;
constexpr std::int16_t kDefaultChangeInterval = 100;
constexpr float kDefaultPlaybackRate = 1.0f;
constexpr float kLongestDecay = 20.0f;

QString defaultDeviceName()
{
    return QStringLiteral("Pellicor Wave Mapper");
}

const QString kReadOnlyTitle = QStringLiteral("SonbrelMP3Player Property is Read-Only");

// The player whose start is the current one of each engine: the engine keeps
// one track per process, whichever player started it. Players live on the
// user-interface thread, so only that thread reads and writes this.
std::map<const AudioEngine *, SBMP3Player *> &currentPlayers()
{
    static std::map<const AudioEngine *, SBMP3Player *> players;
    return players;
}

SBMP3Player *currentPlayer(const AudioEngine &engine)
{
    const auto &players = currentPlayers();
    const auto found = players.find(&engine);
    return found == players.end() ? nullptr : found->second;
}

}  // namespace

SBMP3Player::SBMP3Player(QWidget *parent, AudioEngine &engine)
    : QWidget(parent),
      engine_(engine),
      equalizer_(Equalizer::create(engine)),
      entry_(std::make_unique<PlayListEntry>(engine)),
      deviceName_(defaultDeviceName()),
      hWndProvider_(std::make_unique<ProviderWindow>())
{
    hWndProvider_->invalidate = &ProviderWindow::invalidateProvider;
    hWndProvider_->owner = this;
    tmrIsFinished_.setInterval(10);
    // The timer is the connection's receiver, not the player: a host that
    // calls a member from its FinishedPlaying handler makes a direct call.
    connect(&tmrIsFinished_, &QTimer::timeout, &tmrIsFinished_, [this] { tmrIsFinished_Timer(); });
    setFixedSize(kControlSize, kControlSize);
    // The equalizer (switched off, as it is made) reaches the engine only
    // while the engine's track is not another player's. A new player changes
    // nothing in the engine: it brings its equalizer when it starts.
    equalizer_->setEngineGate([this] { return ownsEngine(); });
}

SBMP3Player::~SBMP3Player()
{
    tmrIsFinished_.stop();
    if (!fileName_.isEmpty() && playing_)
        runStep([&] { engine_.stop_playing(); });
    if (currentPlayer(engine_) == this)
        currentPlayers().erase(&engine_);
    entry_.reset();
    // A band a host still holds may outlive the player: from now on its
    // equalizer never reaches the engine.
    equalizer_->setEngineGate({});
    runStep([&] { equalizer_->Clear(); });
    equalizer_.reset();
    // After this the engine never calls the record again; a status event
    // still queued for this control is dropped with the control.
    runStep([&] { engine_.release_window(hWndProvider_.get()); });
}

void SBMP3Player::ProviderWindow::invalidateProvider(sbmp3_window *window)
{
    auto *provider = static_cast<ProviderWindow *>(window);
    if (!provider->pending.exchange(true))
        QCoreApplication::postEvent(provider->owner, new QEvent(kStatusEvent));
}

bool SBMP3Player::event(QEvent *event)
{
    return countMetaCall(metaCallDepth_, event, [this](QEvent *e) { return QWidget::event(e); });
}

void SBMP3Player::customEvent(QEvent *event)
{
    if (event->type() != kStatusEvent) {
        QWidget::customEvent(event);
        return;
    }
    hWndProvider_->pending.store(false);
    UpdateStatus();
}

template <typename Body>
auto SBMP3Player::raising(Body &&body) const
{
    return callMember(*const_cast<SBMP3Player *>(this), memberDepth_, sender() != nullptr || metaCallDepth_ > 0,
                      std::forward<Body>(body));
}

// --- The engine's one track ----------------------------------------------

bool SBMP3Player::ownsEngine() const
{
    const SBMP3Player *current = currentPlayer(engine_);
    return current == nullptr || current == this;
}

void SBMP3Player::takeEngine()
{
    SBMP3Player *&current = currentPlayers()[&engine_];
    if (current != nullptr && current != this)
        current->yieldEngine();
    current = this;
}

void SBMP3Player::yieldEngine()
{
    endPending_ = false;
    // Stopped here rather than by the next start, which leaves the track
    // playing when it fails.
    PlayStop();
}

void SBMP3Player::reportEnd()
{
    paused_ = false;
    playing_ = false;
    tmrIsFinished_.stop();
    if (!endPending_)
        return;
    endPending_ = false;
    emit FinishedPlaying();
}

// --- Playback ------------------------------------------------------------

void SBMP3Player::setFilename(const QString &value)
{
    if (value == fileName_)
        return;
    if (playing_)
        PlayStop();
    fileName_ = value;
    std::int32_t result = -1;
    runStep([&] { result = entry_->SetFileName(value); });
    if (result != 0) {
        fileName_.clear(); // silently: no error, no notice
        return;
    }
    notifyChanged(QStringLiteral("FileName"));
}

void SBMP3Player::startPlayback(bool fade, double attackTime)
{
    if (fileName_.isEmpty())
        return;
    if (paused_) {
        runStep([&] { engine_.continue_playing(); });
        paused_ = false;
        playing_ = true;
        return;
    }
    if (playing_)
        PlayStop();
    takeEngine();
    runStep([&] { equalizer_->SendState(); });
    runStep([&] { engine_.set_vu_interval(changeInterval_); });
    runStep([&] { engine_.play_mp3(0, hWndProvider_.get()); });
    std::int16_t result = 0;
    try {
        result = fade ? engine_.fade_in(fileName_, static_cast<float>(attackTime)) : engine_.play(fileName_);
    } catch (const EngineUnavailable &unavailable) {
        // Nothing plays: said as what it is, not as a start that worked.
        throw RaisedError(unavailable.number(), QString::fromLatin1(kPlayerErrorSource),
                          unavailable.description());
    } catch (...) {
        logSkippedStep(std::current_exception());
    }
    if (result != 0) {
        qCDebug(libraryLog) << "the engine does not play" << fileName_ << "- error" << result;
        raiseCode(result);
    }
    paused_ = false;
    playing_ = true;
    endPending_ = true;
    tmrIsFinished_.start();
}

void SBMP3Player::PlayStart()
{
    raising([&] { startPlayback(false, 0.0); });
}

void SBMP3Player::PlayFadeIn(double AttackTime)
{
    raising([&] { startPlayback(true, AttackTime); });
}

void SBMP3Player::PlayPause()
{
    if (!playing_ || paused_)
        return;
    runStep([&] { engine_.pause_playing(); });
    paused_ = true;
}

void SBMP3Player::PlayStop()
{
    if (!playing_)
        return;
    paused_ = false;
    playing_ = false;
    endPending_ = false;
    tmrIsFinished_.stop();
    runStep([&] { engine_.stop_playing(); });
}

void SBMP3Player::PlayFadeOutByRef(float &DecayTime)
{
    if (!(DecayTime > 0.0f))
        return;
    if (DecayTime > kLongestDecay)
        DecayTime = kLongestDecay;
    if (!playing_)
        return;
    if (paused_)
        runStep([&] { engine_.continue_playing(); });
    const float decay = DecayTime;
    runStep([&] { engine_.fade_out(decay); });
    tmrIsFinished_.stop();
}

double SBMP3Player::TrackPosition(int From)
{
    switch (From) {
    case 0:
        return position_;
    case 2:
        return TrackLength() - position_;
    default:
        return 0.0;
    }
}

void SBMP3Player::setTrackPosition(int From, double value)
{
    if (!playing_)
        return;
    double target = 0.0;
    switch (From) {
    case 0:
        target = value;
        break;
    case 1:
        target = position_ + value;
        break;
    case 2:
        target = TrackLength() + value;
        break;
    default:
        break;
    }
    const double length = TrackLength();
    if (target < 0.0)
        target = 0.0;
    else if (target > length)
        target = length;
    runStep([&] { engine_.seek_playing(target); });
    position_ = target;
}

std::int16_t SBMP3Player::TrackLength()
{
    if (fileName_.isEmpty())
        return 0;
    std::int16_t length = 0;
    runStep([&] { length = entry_->TrackLength(); });
    return length;
}

void SBMP3Player::letChangeInterval(std::int16_t &value)
{
    value = std::clamp<std::int16_t>(value, 10, 250);
    changeInterval_ = value;
    runStep([&] { engine_.set_vu_interval(changeInterval_); });
    notifyChanged(QStringLiteral("ChangeInterval"));
}

void SBMP3Player::setChangeInterval(int value)
{
    auto interval = static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
    letChangeInterval(interval);
}

// --- Visualisation -------------------------------------------------------

std::int16_t SBMP3Player::selectChannel(std::int16_t &channel) const
{
    if (channel < 0 || channels_ <= 1)
        channel = 0;
    else if (channel > 2)
        channel = 2;
    return channel;
}

std::int16_t SBMP3Player::VUMeterByRef(std::int16_t &Channel) const
{
    return levels_[static_cast<std::size_t>(selectChannel(Channel))];
}

qint16 SBMP3Player::VUMeter(int Channel) const
{
    auto channel = static_cast<std::int16_t>(std::clamp(Channel, -32768, 32767));
    return VUMeterByRef(channel);
}

std::int16_t SBMP3Player::GfxWaveFormSampleByRef(std::int16_t &Channel, std::int16_t Index) const
{
    const std::int16_t channel = selectChannel(Channel);
    if (Index < 0 || Index >= SBMP3_WAVE_SAMPLES)
        return 0;
    return wave_[static_cast<std::size_t>(Index * SBMP3_CHANNEL_SELECTORS + channel)];
}

qint16 SBMP3Player::GfxWaveFormSample(int Channel, int Index) const
{
    auto channel = static_cast<std::int16_t>(std::clamp(Channel, -32768, 32767));
    if (Index < 0 || Index >= SBMP3_WAVE_SAMPLES)
        return 0;
    return GfxWaveFormSampleByRef(channel, static_cast<std::int16_t>(Index));
}

float SBMP3Player::SpectrumAnalysisByRef(std::int16_t &Channel, std::int16_t Index) const
{
    const std::int16_t channel = selectChannel(Channel);
    if (Index < 0 || Index >= SBMP3_SPECTRUM_BINS)
        return 0.0f;
    return spectrum_[static_cast<std::size_t>(Index * SBMP3_CHANNEL_SELECTORS + channel)];
}

float SBMP3Player::SpectrumAnalysis(int Channel, int Index) const
{
    auto channel = static_cast<std::int16_t>(std::clamp(Channel, -32768, 32767));
    if (Index < 0 || Index >= SBMP3_SPECTRUM_BINS)
        return 0.0f;
    return SpectrumAnalysisByRef(channel, static_cast<std::int16_t>(Index));
}

void SBMP3Player::UpdateStatus()
{
    // The engine's status belongs to the player whose start is current; a
    // notice that reaches another player (queued before that start) is
    // dropped.
    if (currentPlayer(engine_) != this)
        return;
    std::int16_t status = 0;
    runStep([&] { engine_.get_status(status, position_, levels_.data(), wave_.data(), spectrum_.data()); });
    switch (status) {
    case SBMP3_STATUS_ENDED:
        reportEnd();
        break;
    case SBMP3_STATUS_PLAYING:
        paused_ = false;
        playing_ = true;
        emit VisualizationUpdate();
        break;
    case SBMP3_STATUS_PAUSED:
        paused_ = true;
        playing_ = true;
        break;
    case SBMP3_STATUS_STOPPED:
        paused_ = false;
        playing_ = false;
        endPending_ = false;
        tmrIsFinished_.stop();
        break;
    default:
        break;
    }
}

void SBMP3Player::tmrIsFinished_Timer()
{
    if (timerBusy_)
        return;
    timerBusy_ = true;
    // The flag is cleared however the tick ends, so that a tick whose
    // engine call fails, or whose handler raises, does not stop the timer
    // from working for good.
    struct ClearBusy {
        bool &busy;
        ~ClearBusy() { busy = false; }
    } clearBusy{timerBusy_};
    const bool wasPlaying = playing_;
    std::int16_t finished = 0;
    runStep([&] { finished = engine_.is_finished(); });
    if (finished == 1 && wasPlaying)
        reportEnd();
}

// --- File information and tags -------------------------------------------

template <typename Value, typename Read>
Value SBMP3Player::fromEntry(Value noFile, Read read)
{
    if (fileName_.isEmpty())
        return noFile;
    Value value = noFile;
    runStep([&] { value = read(); });
    return value;
}

QString SBMP3Player::ChannelMode()
{
    return fromEntry(QString(), [&] { return entry_->ChannelMode(); });
}

std::int32_t SBMP3Player::FileSize()
{
    // Asked of the entry even without a file: it keeps the size of the
    // last file it accepted.
    std::int32_t size = 0;
    runStep([&] { size = entry_->FileSize(); });
    return size;
}

QVariant SBMP3Player::Copyrighted()
{
    return fromEntry(QVariant(), [&] { return QVariant(entry_->Copyrighted()); });
}

bool SBMP3Player::CRCExists()
{
    return fromEntry(false, [&] { return entry_->CRCExists(); });
}

std::int32_t SBMP3Player::DataRate()
{
    return fromEntry(std::int32_t{0}, [&] { return entry_->DataRate(); });
}

std::int32_t SBMP3Player::Frames()
{
    return fromEntry(std::int32_t{0}, [&] { return entry_->Frames(); });
}

QString SBMP3Player::Layer()
{
    return fromEntry(QString(), [&] { return entry_->Layer(); });
}

QString SBMP3Player::MPEGVersion()
{
    return fromEntry(QString(), [&] { return entry_->MPEGVersion(); });
}

bool SBMP3Player::Original()
{
    return fromEntry(false, [&] { return entry_->Original(); });
}

std::int32_t SBMP3Player::SampleRate()
{
    return fromEntry(std::int32_t{0}, [&] { return entry_->SampleRate(); });
}

QString SBMP3Player::ID3Album()
{
    return fromEntry(QString(), [&] { return trimSpaces(entry_->ID3Album()); });
}

void SBMP3Player::setID3Album(const QString &value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Album(value); });
}

QString SBMP3Player::ID3Artist()
{
    return fromEntry(QString(), [&] { return trimSpaces(entry_->ID3Artist()); });
}

void SBMP3Player::setID3Artist(const QString &value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Artist(value); });
}

QString SBMP3Player::ID3Comment()
{
    return fromEntry(QString(), [&] { return trimSpaces(entry_->ID3Comment()); });
}

void SBMP3Player::setID3Comment(const QString &value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Comment(value); });
}

std::int16_t SBMP3Player::ID3Genre()
{
    // Asked of the entry even without a file (which then raises, and the
    // genre reads 0).
    std::int16_t genre = 0;
    runStep([&] { genre = entry_->ID3Genre(); });
    return genre;
}

void SBMP3Player::setID3Genre(std::int16_t value)
{
    runStep([&] { entry_->setID3Genre(value); });
}

QString SBMP3Player::ID3Title()
{
    return fromEntry(QString(), [&] { return trimSpaces(entry_->ID3Title()); });
}

void SBMP3Player::setID3Title(const QString &value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Title(value); });
}

QString SBMP3Player::ID3Year()
{
    return fromEntry(QString(), [&] { return trimSpaces(entry_->ID3Year()); });
}

void SBMP3Player::setID3Year(const QString &value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Year(value); });
}

std::int16_t SBMP3Player::ID3Track()
{
    return fromEntry(std::int16_t{0}, [&] { return entry_->ID3Track(); });
}

void SBMP3Player::setID3Track(std::int16_t value)
{
    if (!fileName_.isEmpty())
        runStep([&] { entry_->setID3Track(value); });
}

QString SBMP3Player::GenreList(int Genre) const
{
    return raising([&] { return genreListName(Genre); });
}

QObject *SBMP3Player::equalizerObject() const
{
    return equalizer_.get();
}

// --- Hardware properties, About -------------------------------------------

std::int16_t SBMP3Player::Channels()
{
    if (fileName_.isEmpty())
        return 0;
    QString mode;
    runStep([&] { mode = entry_->ChannelMode(); });
    return mode.contains(QStringLiteral("Single")) ? 1 : 2;
}

void SBMP3Player::setChannels(std::int16_t)
{
    notifyChanged(QStringLiteral("Channels"));
    showReadOnlyMessage(QStringLiteral(
        "The number of channels is read-only.  Channels are determined by your hardware."));
}

void SBMP3Player::setDeviceName(const QString &)
{
    notifyChanged(QStringLiteral("DeviceName"));
    showReadOnlyMessage(QStringLiteral(
        "The device name is read-only.  The device name is determined by your hardware."));
}

void SBMP3Player::showReadOnlyMessage(const QString &text)
{
    if (site_ == nullptr)
        return; // no container to ask: taken as run mode
    bool userMode = true;
    runStep([&] { userMode = site_->userMode(); });
    if (userMode)
        return;
    runStep([&] { site_->messageBox(text, kReadOnlyTitle, platform::ContainerSite::MessageIcon::Information); });
}

void SBMP3Player::notifyChanged(const QString &name)
{
    if (site_ != nullptr)
        runStep([&] { site_->propertyChanged(name); });
}

void SBMP3Player::About()
{
    // Modal: returns when the user has closed the box.
    AboutBox box(this);
    box.exec();
}

// --- Persisted properties ------------------------------------------------

void SBMP3Player::InitProperties()
{
    fileName_.clear();
    channels_ = kDefaultChannels;
    changeInterval_ = kDefaultChangeInterval;
    deviceName_ = defaultDeviceName();
    playbackRate_ = kDefaultPlaybackRate;
}

void SBMP3Player::ReadProperties(platform::PropertyBag &bag)
{
    // Straight into the fields: the entry is not bound to the file, nothing
    // is clamped and nothing is sent to the engine.
    runStep([&] { fileName_ = bag.ReadProperty(QStringLiteral("FileName"), QString()).toString(); });
    runStep([&] {
        channels_ = static_cast<std::int16_t>(bag.ReadProperty(QStringLiteral("Channels"), kDefaultChannels).toInt());
    });
    runStep([&] {
        changeInterval_ = static_cast<std::int16_t>(
            bag.ReadProperty(QStringLiteral("ChangeInterval"), kDefaultChangeInterval).toInt());
    });
    runStep([&] { deviceName_ = bag.ReadProperty(QStringLiteral("DeviceName"), defaultDeviceName()).toString(); });
    runStep([&] {
        playbackRate_ = bag.ReadProperty(QStringLiteral("PlaybackRate"), kDefaultPlaybackRate).toFloat();
    });
}

void SBMP3Player::WriteProperties(platform::PropertyBag &bag)
{
    runStep([&] { bag.WriteProperty(QStringLiteral("FileName"), fileName_, QString()); });
    runStep([&] { bag.WriteProperty(QStringLiteral("Channels"), channels_, kDefaultChannels); });
    runStep([&] { bag.WriteProperty(QStringLiteral("ChangeInterval"), changeInterval_, kDefaultChangeInterval); });
    runStep([&] { bag.WriteProperty(QStringLiteral("DeviceName"), deviceName_, defaultDeviceName()); });
    runStep([&] { bag.WriteProperty(QStringLiteral("PlaybackRate"), playbackRate_, kDefaultPlaybackRate); });
}

// --- Look ----------------------------------------------------------------

const QPixmap &SBMP3Player::controlImage()
{
    // "MP3_CONTROL": a dark rounded tile with a green level meter and a
    // note, drawn once.
    static const QPixmap image = drawControlFace([](QPainter &painter) {
        const int bars[] = {8, 14, 20, 12, 17};
        for (int i = 0; i < 5; ++i) {
            const int height = bars[i];
            painter.fillRect(QRect(4 + i * 3, 27 - height, 2, height), QColor(90, 220, 120));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 205, 80));
        painter.drawEllipse(QRectF(19.5, 20.5, 7, 5.5));
        painter.fillRect(QRectF(25.2, 6, 1.6, 17.5), QColor(255, 205, 80));
        QPainterPath flag;
        flag.moveTo(26.8, 6);
        flag.cubicTo(30, 8, 30, 11, 28, 13);
        flag.lineTo(26.8, 10);
        painter.drawPath(flag);
    });
    return image;
}

void SBMP3Player::paintEvent(QPaintEvent *)
{
    paintControlFace(*this, controlImage());
}

void SBMP3Player::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    keepControlSize(*this, event->size());
}

}  // namespace SonbrelMP3
