#include "equalizer/Equalizer.h"

#include "Enumerations.h"
#include "MemberCalls.h"
#include "RaisedError.h"
#include "equalizer/EqualizerBand.h"
#include "engine/AudioEngine.h"

#include <algorithm>
#include <array>

namespace SonbrelMP3 {

namespace {

// The equalizer's own errors carry no source of their own; they name the
// library's type library, "SonbrelMP3", so a host can tell them from the
// player's and the entries' errors ("SBMP3Player").
const QString kEqualizerErrorSource = QStringLiteral("SonbrelMP3");

constexpr float kHighestGain = 20.0F;
constexpr float kLowestGain = -20.0F;

[[noreturn]] void raiseEqualizerError(std::int32_t number, const char *description)
{
    throw RaisedError(number, kEqualizerErrorSource, QString::fromLatin1(description));
}

}  // namespace

QObject *EqualizerMembers::Band(qint16 Value, qint16 SelectBy)
{
    return static_cast<Equalizer *>(this)->Band(Value, SelectBy).get();
}

void EqualizerMembers::AddBand(qint16 NewFrequency)
{
    static_cast<Equalizer *>(this)->AddBand(NewFrequency);
}

std::shared_ptr<Equalizer> Equalizer::create(AudioEngine &engine)
{
    return std::make_shared<Equalizer>(CreateKey{}, engine);
}

Equalizer::Equalizer(CreateKey, AudioEngine &engine)
    : engine_(engine), gate_([] { return true; })
{
}

Equalizer::~Equalizer() = default;

bool Equalizer::event(QEvent *event)
{
    return countMetaCall(metaCallDepth_, event, [this](QEvent *e) { return QObject::event(e); });
}

template <typename Body>
auto Equalizer::raising(Body &&body)
{
    return callMember(*this, memberDepth_, sender() != nullptr || metaCallDepth_ > 0, std::forward<Body>(body));
}

template <typename Call>
void Equalizer::toEngine(Call &&call)
{
    if (gate_ && gate_())
        runStep(std::forward<Call>(call));
}

void Equalizer::setEngineGate(std::function<bool()> gate)
{
    gate_ = std::move(gate);
}

std::shared_ptr<EqualizerBand> Equalizer::Band(std::int16_t Value, std::int16_t SelectBy)
{
    return raising([&]() -> std::shared_ptr<EqualizerBand> {
        if (bands_.empty())
            raiseEqualizerError(kNoBandsError,
                                "There are no frequency bands currently assigned to the equalizer.");
        switch (SelectBy) {
        case sbrEQBandsByFrequency:
            if (const auto found = findKey(Value); found != bands_.end())
                return found->band;
            break;
        case sbrEQBandsByIndex:
            if (Value >= 1 && static_cast<std::size_t>(Value) <= bands_.size())
                return bands_[static_cast<std::size_t>(Value) - 1].band;
            break;
        default:
            return nullptr;
        }
        raiseEqualizerError(kNoSuchBandError, "Frequency band does not exist in equalizer.");
    });
}

float Equalizer::Gain(qint16 Channel) const
{
    switch (Channel) {
    case sbrMP3AllChannels:
        return (leftGain_ + rightGain_) / 2.0F;
    case sbrMP3LeftChannel:
        return leftGain_;
    case sbrMP3RightChannel:
        return rightGain_;
    default:
        return 0.0F;
    }
}

void Equalizer::setGain(qint16 Channel, float value)
{
    value = std::clamp(value, kLowestGain, kHighestGain);
    if (Channel == sbrMP3AllChannels || Channel == sbrMP3LeftChannel)
        leftGain_ = value;
    if (Channel == sbrMP3AllChannels || Channel == sbrMP3RightChannel)
        rightGain_ = value;
    toEngine([&] { engine_.set_gain(leftGain_, rightGain_); });
}

bool Equalizer::Enabled() const
{
    return enabled_;
}

void Equalizer::setEnabled(bool value)
{
    toEngine([&] { engine_.eq_state(value ? 1 : 0); });
    enabled_ = value;
}

void Equalizer::RemoveBand(qint16 Frequency)
{
    raising([&] {
        const auto found = findKey(Frequency);
        if (found == bands_.end())
            raiseEqualizerError(kNoSuchBandError, "Frequency band does not exist in equalizer.");
        // The band may hold the last reference to this equalizer (a host that
        // reached it by pointer only); keep it alive until the member is done.
        const std::shared_ptr<Equalizer> self = shared_from_this();
        removeAt(found);
        SendBandFrequencies();
        // The engine keeps its gains by slot: the bands after the removed
        // one have moved up a slot, and the last slot is free.
        SendBandGains();
    });
}

void Equalizer::AddBand(std::int16_t &NewFrequency)
{
    raising([&] {
        auto band = std::make_shared<EqualizerBand>(EqualizerBand::CreateKey{});
        band->SetParent(shared_from_this());
        band->SetFrequency(NewFrequency);
        if (findKey(NewFrequency) != bands_.end())
            raiseEqualizerError(kBandExistsError, "Frequency band already exists in equalizer.");
        bands_.push_back({NewFrequency, std::move(band)});
        SendBandFrequencies();
    });
}

std::int16_t Equalizer::BandCount() const
{
    return static_cast<std::int16_t>(bands_.size());
}

QVariantList Equalizer::NewEnum() const
{
    QVariantList list;
    list.reserve(static_cast<qsizetype>(bands_.size()));
    for (const Entry &entry : bands_)
        list.append(QVariant::fromValue(static_cast<QObject *>(entry.band.get())));
    return list;
}

void Equalizer::Clear()
{
    if (bands_.empty())
        return;
    // Removing the last band may drop the last reference to this equalizer.
    const std::shared_ptr<Equalizer> self = shared_from_this();
    for (std::size_t count = bands_.size(); count > 0; --count)
        removeAt(bands_.begin());
    // The engine keeps the band set it had: all its gains go to 0.
    SendBandGains();
}

void Equalizer::SendBandFrequencies()
{
    if (bands_.empty())
        return;
    std::vector<std::int16_t> frequencies;
    frequencies.reserve(bands_.size());
    for (const Entry &entry : bands_)
        frequencies.push_back(entry.band->GetFrequency());
    toEngine([&] { engine_.create_eq(frequencies.data(), BandCount()); });
}

void Equalizer::SendBandGains()
{
    std::array<float, SBMP3_EQ_GAIN_SLOTS> gains{};
    const std::size_t sent = std::min(bands_.size(), gains.size());
    for (std::size_t i = 0; i < sent; ++i)
        gains[i] = bands_[i].band->Gain();
    toEngine([&] { engine_.set_eq(gains.data()); });
}

void Equalizer::SendState()
{
    toEngine([&] { engine_.eq_state(enabled_ ? 1 : 0); });
    SendBandFrequencies();
    SendBandGains();
    toEngine([&] { engine_.set_gain(leftGain_, rightGain_); });
}

std::vector<Equalizer::Entry>::iterator Equalizer::findKey(std::int16_t key)
{
    return std::find_if(bands_.begin(), bands_.end(),
                        [key](const Entry &entry) { return entry.key == key; });
}

void Equalizer::removeAt(std::vector<Entry>::iterator position)
{
    // The band is released only after the collection is consistent again:
    // its destructor drops its reference to this equalizer.
    const std::shared_ptr<EqualizerBand> removed = std::move(position->band);
    bands_.erase(position);
}

}  // namespace SonbrelMP3
