#pragma once

#include <QObject>

#include <cstdint>
#include <memory>

namespace SonbrelMP3 {

class Equalizer;

// One frequency band of an Equalizer: a frequency within 1 to 22000 and a
// gain. Bands are made only by Equalizer::AddBand. A band holds a counted
// reference to its equalizer from then on, so a band a client keeps after
// RemoveBand or Clear keeps the equalizer alive; setting its gain then sends
// the gains of the bands that remain.
class EqualizerBand : public QObject, public std::enable_shared_from_this<EqualizerBand> {
    Q_OBJECT
    Q_CLASSINFO("DispatchOrder", "Gain,GetFrequency")
    Q_PROPERTY(float Gain READ Gain WRITE setGain)

    struct CreateKey {
        explicit CreateKey() = default;
    };
    friend class Equalizer;

public:
    explicit EqualizerBand(CreateKey);
    ~EqualizerBand() override;

    float Gain() const;
    // Stores any value, then has the equalizer send all band gains.
    void setGain(float value);

    Q_INVOKABLE qint16 GetFrequency() const;

    // For the library's own classes: sets the frequency, clamped to
    // 1..22000, and writes the clamped value back into Frequency.
    void SetFrequency(std::int16_t &Frequency);
    void SetParent(std::shared_ptr<Equalizer> Parent);

private:
    std::int32_t frequency_ = 0;
    float gain_ = 0.0F;
    std::shared_ptr<Equalizer> parent_;
};

}  // namespace SonbrelMP3
