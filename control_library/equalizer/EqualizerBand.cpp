#include "equalizer/EqualizerBand.h"

#include "equalizer/Equalizer.h"

#include <utility>

namespace SonbrelMP3 {

namespace {

constexpr std::int16_t kLowestFrequency = 1;
constexpr std::int16_t kHighestFrequency = 22000;

}  // namespace

EqualizerBand::EqualizerBand(CreateKey) {}

EqualizerBand::~EqualizerBand() = default;

float EqualizerBand::Gain() const
{
    return gain_;
}

void EqualizerBand::setGain(float value)
{
    gain_ = value;
    if (parent_)
        parent_->SendBandGains();
}

qint16 EqualizerBand::GetFrequency() const
{
    return static_cast<qint16>(frequency_);
}

void EqualizerBand::SetFrequency(std::int16_t &Frequency)
{
    if (Frequency > kHighestFrequency)
        Frequency = kHighestFrequency;
    else if (Frequency <= 0)
        Frequency = kLowestFrequency;
    frequency_ = Frequency;
}

void EqualizerBand::SetParent(std::shared_ptr<Equalizer> Parent)
{
    parent_ = std::move(Parent);
}

}  // namespace SonbrelMP3
