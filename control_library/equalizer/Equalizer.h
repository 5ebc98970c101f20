#pragma once

#include <QObject>
#include <QVariantList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace SonbrelMP3 {

class AudioEngine;
class Equalizer;
class EqualizerBand;

// The host-facing forms of Equalizer's Band and AddBand. Their C++ forms
// cannot share an overload set with them: in C++, Band returns a counted
// reference and AddBand writes the clamped frequency back into the caller's
// variable, while a host receives a plain object pointer and passes the
// frequency by value. Equalizer declares its own Band and AddBand, which hide
// these, so C++ calls never turn ambiguous; hosts reach these by name through
// the meta-object. Only Equalizer derives from this class.
class EqualizerMembers : public QObject {
    Q_OBJECT

public:
    // The band, or null (see Equalizer::Band). The object stays valid while
    // a counted reference holds it: the equalizer's own, until the band is
    // removed, or one taken with EqualizerBand::shared_from_this().
    Q_INVOKABLE QObject *Band(qint16 Value, qint16 SelectBy);
    Q_INVOKABLE void AddBand(qint16 NewFrequency);

private:
    EqualizerMembers() = default;
    friend class Equalizer;
};

// The engine's equalizer as clients see it: an ordered set of frequency
// bands, an overall gain per channel and an on/off switch. Every change is
// pushed to the engine as it is made, unless the engine's track belongs to
// another player (whose equalizer the engine then runs); the owning player
// brings the whole state to the engine when it starts. The engine's results
// are not used and an engine that cannot be reached is skipped silently.
// An equalizer without bands is flat in the engine.
//
// Errors: Band, AddBand and RemoveBand raise (RaisedError, source
// "SonbrelMP3", numbers 30090-30092 of ErrorNumbers.h); delivered by a Qt
// signal connection they emit Error instead. No other member raises.
//
// Ownership: the equalizer holds counted references to its bands and each
// band one to its equalizer, so the two keep each other alive until the
// bands are removed. The owner calls Clear before dropping its reference;
// a band a client still holds after that keeps its equalizer alive. The
// engine passed to create must outlive the equalizer and all its bands.
//
// Objects are created only through create(), never given a QObject parent
// and never deleted by a host: the counted references own them.
class Equalizer : public EqualizerMembers, public std::enable_shared_from_this<Equalizer> {
    Q_OBJECT
    Q_CLASSINFO("DefaultMember", "Band")
    Q_CLASSINFO("DispatchOrder", "Band,Gain,Enabled,RemoveBand,AddBand,BandCount,NewEnum,Clear")
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(qint16 BandCount READ BandCount)
    Q_PROPERTY(QVariantList NewEnum READ NewEnum)

    struct CreateKey {
        explicit CreateKey() = default;
    };

public:
    static std::shared_ptr<Equalizer> create(AudioEngine &engine);
    Equalizer(CreateKey, AudioEngine &engine);
    ~Equalizer() override;

    // One band: SelectBy sbrEQBandsByFrequency looks Value up as a
    // frequency, sbrEQBandsByIndex as a position counted from 1 in the order
    // the bands were added; any other SelectBy looks nothing up and returns
    // null. Raises 30092 when there are no bands (whatever the arguments),
    // 30091 when the lookup finds nothing.
    std::shared_ptr<EqualizerBand> Band(std::int16_t Value, std::int16_t SelectBy);

    // The overall gain of a channel (SonbrelMP3Channels); all channels read as
    // the mean of left and right, any other channel as 0.
    Q_INVOKABLE float Gain(qint16 Channel) const;
    // Clamps the gain to -20..20 and stores it for the channel (both for
    // all channels, none for any other), then sends both gains to the engine
    // whatever the channel was.
    Q_INVOKABLE void setGain(qint16 Channel, float value);

    bool Enabled() const;
    // Switches the engine's equalizer on or off, then stores the value.
    void setEnabled(bool value);

    // Removes the band added under Frequency (not clamped: a band added as
    // 30000 is removed as 22000). Raises 30091 when there is none.
    Q_INVOKABLE void RemoveBand(qint16 Frequency);
    // Adds a band at the end. The frequency is clamped to 1..22000 and
    // written back into NewFrequency. Raises 30090, leaving the bands as they
    // were, when a band of the clamped frequency exists.
    void AddBand(std::int16_t &NewFrequency);

    std::int16_t BandCount() const;
    // The bands in order, as objects (QObject *). The list is a snapshot: it
    // holds no references, so its objects stay valid only while the bands
    // are held (see EqualizerMembers::Band).
    QVariantList NewEnum() const;
    // Removes every band; the engine's bands become flat. Gains and the
    // on/off state stay as they were.
    Q_INVOKABLE void Clear();

    // For the library's own classes: send the band frequencies (nothing
    // while there are no bands), and the band gains as 32 values, bands past
    // the 32nd left out and slots past the last band 0.
    void SendBandFrequencies();
    void SendBandGains();
    // Sends the whole state: on or off, the bands and their gains, the
    // overall gains.
    void SendState();
    // Whether the equalizer may reach the engine, asked before each call;
    // an empty gate never lets it. The default lets it always.
    void setEngineGate(std::function<bool()> gate);

signals:
    // Declared for hosts that connect to it; nothing raises it.
    void UpdateEQ();
    // An error of a member that a signal connection delivered, which a
    // direct call would have raised.
    void Error(qint32 Number, const QString &Source, const QString &Description);

protected:
    bool event(QEvent *event) override;

private:
    struct Entry {
        // The band's frequency when it was added. A frequency's decimal text
        // is unique, so comparing numbers is comparing the texts.
        std::int16_t key;
        std::shared_ptr<EqualizerBand> band;
    };

    std::vector<Entry>::iterator findKey(std::int16_t key);
    void removeAt(std::vector<Entry>::iterator position);
    template <typename Call>
    void toEngine(Call &&call);
    template <typename Body>
    auto raising(Body &&body);

    AudioEngine &engine_;
    float leftGain_ = 0.0F;
    float rightGain_ = 0.0F;
    std::vector<Entry> bands_;
    bool enabled_ = false;
    std::function<bool()> gate_;
    int memberDepth_ = 0;
    int metaCallDepth_ = 0;
};

}  // namespace SonbrelMP3
