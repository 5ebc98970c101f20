#include "AlarmClock.h"

#include "KestrumLog.h"

#include <exception>
#include <limits>
#include <utility>

namespace kestrum {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Wraps value + delta into 0 .. modulus - 1.
int wrap(int value, int delta, int modulus)
{
    return ((value + delta) % modulus + modulus) % modulus;
}

}  // namespace

AlarmClock::AlarmClock(AlarmSettings &settings, Clock &clock, Timer &tmrFlash, Timer &tmrNap,
                       Player &player, AlarmView &view, Bell &bell, QString defaultTune)
    : settings_(settings),
      clock_(clock),
      tmrFlash_(tmrFlash),
      tmrNap_(tmrNap),
      player_(player),
      view_(view),
      bell_(bell),
      defaultTune_(std::move(defaultTune))
{
    tmrFlash_.setInterval(kFlashInterval);
    tmrFlash_.setTimeout([this] { flashTick(); });
    tmrNap_.setInterval(kNapInterval);
    tmrNap_.setTimeout([this] { napTick(); });
    player_.setFinishedPlaying([this] { finishedPlaying(); });
}

AlarmClock::~AlarmClock()
{
    // The timers and the player may outlive this object: leave them nothing
    // to call back.
    tmrFlash_.stop();
    tmrNap_.stop();
    tmrFlash_.setTimeout({});
    tmrNap_.setTimeout({});
    player_.setFinishedPlaying({});
}

void AlarmClock::startUp()
{
    refreshClock();
    editField_ = HourField;
    separatorShown_ = true;
    view_.showSeparator(true);
    showAlarmFields();
    view_.setToggle(false, QStringLiteral("Set"));
    view_.setArmedPictureVisible(false);
    view_.setRingingPictureVisible(false);
    view_.setMessageVisible(false, settings_.alarmMessage);
    tmrNap_.stop();
    tmrFlash_.start();
}

// ---- Clock display ---------------------------------------------------------

QString AlarmClock::hourText(int hourOfDay)
{
    const int hour = hourOfDay % 12;
    return QString::number(hour == 0 ? 12 : hour);
}

// Always "AM" or "PM", whatever the locale: the alarm side holds only these
// two texts, and the clock's text must be able to equal it.
QString AlarmClock::halfText(int hourOfDay)
{
    return hourOfDay < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
}

void AlarmClock::refreshClock()
{
    lastReading_ = clock_.now();
    const QTime time = lastReading_.time();
    view_.showClock(hourText(time.hour()), twoDigits(time.minute()), twoDigits(time.second()),
                    halfText(time.hour()));
}

void AlarmClock::flashTick()
{
    if (separatorShown_) {
        // Blank phase: only the separator changes.
        separatorShown_ = false;
        view_.showSeparator(false);
    } else {
        // Display phase, once a second.
        separatorShown_ = true;
        view_.showSeparator(true);
        refreshClock();
        const QTime time = lastReading_.time();
        currentTimeText_ = hourText(time.hour()) + twoDigits(time.minute()) + halfText(time.hour());
        checkAlarm();
        if (belling_ && ++bellSeconds_ >= kBellEverySeconds) {
            bellSeconds_ = 0;
            bell_.ring();
        }
    }
    ringingPictureShown_ = sounding() && !ringingPictureShown_;
    view_.setRingingPictureVisible(ringingPictureShown_);
}

// ---- Alarm-time editor -----------------------------------------------------

void AlarmClock::selectField(int field)
{
    if (field >= HourField && field <= HalfField)
        editField_ = static_cast<std::int16_t>(field);
}

void AlarmClock::increase()
{
    switch (editField_) {
    case HourField: stepHour(+1); break;
    case MinuteField: stepMinute(+1); break;
    default: toggleHalf(); break;
    }
    showAlarmFields();
    rebuildAlarmText();
    view_.focusSnooze();
}

void AlarmClock::decrease()
{
    switch (editField_) {
    case HourField: stepHour(-1); break;
    case MinuteField: stepMinute(-1); break;
    default: toggleHalf(); break;
    }
    showAlarmFields();
    rebuildAlarmText();
    view_.focusSnooze();
}

// The fields are independent: the hour passing 11 to 12 keeps the half, the
// minute wrapping keeps the hour.
void AlarmClock::stepHour(int delta)
{
    bool ok = false;
    const int hour = alarmHour_.toInt(&ok);
    const int next = wrap(ok ? hour : 1, delta, 12);
    alarmHour_ = QString::number(next == 0 ? 12 : next);
}

void AlarmClock::stepMinute(int delta)
{
    bool ok = false;
    const int minute = alarmMinute_.toInt(&ok);
    alarmMinute_ = twoDigits(wrap(ok ? minute : 0, delta, 60));
}

void AlarmClock::toggleHalf()
{
    alarmHalf_ = alarmHalf_ == QLatin1String("PM") ? QStringLiteral("AM") : QStringLiteral("PM");
}

void AlarmClock::showAlarmTextFields()
{
    const QString &text = settings_.alarmText;
    if (text.size() == 5 || text.size() == 6) {
        const QString hour = text.left(text.size() - 4);
        const QString minute = text.mid(text.size() - 4, 2);
        const QString half = text.right(2);
        bool hourOk = false;
        bool minuteOk = false;
        const int h = hour.toInt(&hourOk);
        const int m = minute.toInt(&minuteOk);
        const bool valid = hourOk && h >= 1 && h <= 12 && hour == QString::number(h) && minuteOk
            && m >= 0 && m <= 59 && minute == twoDigits(m)
            && (half == QLatin1String("AM") || half == QLatin1String("PM"));
        if (valid) {
            alarmHour_ = hour;
            alarmMinute_ = minute;
            alarmHalf_ = half;
        }
    }
    showAlarmFields();
}

void AlarmClock::rebuildAlarmText()
{
    settings_.alarmText = alarmHour_ + alarmMinute_ + alarmHalf_;
}

void AlarmClock::showAlarmFields()
{
    view_.showAlarmTime(alarmHour_, alarmMinute_, alarmHalf_);
}

// ---- Arming ----------------------------------------------------------------

void AlarmClock::setArmed(bool checked)
{
    if (checked == armed_)
        return;
    armed_ = checked;
    if (checked) {
        playCount_ = 0;
        view_.setToggle(true, QStringLiteral("ON"));
        view_.setArmedPictureVisible(true);
        settings_.alarmTune = nextTune();
        rebuildAlarmText();
    } else {
        view_.setToggle(false, QStringLiteral("Set"));
        view_.setArmedPictureVisible(false);
        ringingPictureShown_ = false;
        view_.setRingingPictureVisible(false);
        if (sounding())
            stopTune();
        settings_.alarmTune.clear();
        messageShown_ = false;
        view_.setMessageVisible(false, settings_.alarmMessage);
        tmrNap_.stop();
    }
    view_.focusSnooze();
}

// The path of the tune the coming arming plays: the text of the entry at
// nextTuneIndex before its first ",". An empty list, an index outside it or
// an entry without a path give the first entry or the shipped tune.
QString AlarmClock::nextTune()
{
    const int count = settings_.tuneCount;
    if (count <= 0 || count > AlarmSettings::kTuneSlots)
        return defaultTune_;
    int index = settings_.nextTuneIndex;
    if (index < 0 || index >= count)
        index = 0;
    const QString path = settings_.tunes[static_cast<std::size_t>(index)].section(QLatin1Char(','), 0, 0);
    if (settings_.playOrder == 1) {
        settings_.nextTuneIndex = static_cast<std::int16_t>((index + 1) % count);
    } else {
        const int selected = settings_.selectedTuneIndex;
        settings_.nextTuneIndex = static_cast<std::int16_t>(selected >= 0 && selected < count ? selected : 0);
    }
    return path.isEmpty() ? defaultTune_ : path;
}

// ---- Firing and sound ------------------------------------------------------

// Fires at the first display-phase tick inside the alarm minute (normally the
// one at second "00", but a late tick does not lose the day), and once only
// in that minute of that day.
void AlarmClock::checkAlarm()
{
    if (playing_ || !armed_ || settings_.alarmText != currentTimeText_)
        return;
    const QTime time = lastReading_.time();
    const int minuteOfDay = time.hour() * 60 + time.minute();
    if (lastFireDate_ == lastReading_.date() && lastFireMinuteOfDay_ == minuteOfDay)
        return;
    fire();
}

void AlarmClock::fire()
{
    const QTime time = lastReading_.time();
    lastFireDate_ = lastReading_.date();
    lastFireMinuteOfDay_ = time.hour() * 60 + time.minute();
    if (!view_.isUp())
        view_.openFromTray();
    playTune(settings_.alarmTune);
    messageShown_ = true;
    view_.setMessageVisible(true, settings_.alarmMessage);
    snoozeCount_ = 0;
    // Restarted rather than left running, so that the first snooze minute
    // counts from this fire also when yesterday's timer still runs.
    tmrNap_.start();
}

void AlarmClock::playTune(const QString &path)
{
    if (sounding())
        stopTune();
    if (playCount_ >= kMaxStarts)
        return; // the cap: silent until armed again
    ++playCount_;
    // A tune that cannot play falls back to the shipped tune, and that to the
    // bell: an alarm is never silent by accident.
    if (tryStart(path) || (path != defaultTune_ && tryStart(defaultTune_))) {
        playing_ = true;
        return;
    }
    startBell();
}

bool AlarmClock::tryStart(const QString &path)
{
    try {
        player_.setFilename(path);
        player_.PlayStart();
        if (player_.IsPlaying())
            return true;
        qCDebug(kestrumLog) << "the tune" << path << "does not play";
        return false;
    } catch (const std::exception &error) {
        // platform::DispatchError and anything else the player raises: this
        // start failed, the caller tries the next sound.
        qCDebug(kestrumLog).noquote() << "the tune" << path << "does not play:" << error.what();
        return false;
    }
}

bool AlarmClock::playerIsPlaying() const
{
    try {
        return player_.IsPlaying();
    } catch (const std::exception &) {
        return false;
    }
}

void AlarmClock::startBell()
{
    belling_ = true;
    bellSeconds_ = 0;
    bell_.ring();
}

void AlarmClock::stopTune()
{
    try {
        player_.PlayStop();
    } catch (const std::exception &) {
        // Nothing plays that could be stopped; the alarm goes on regardless.
    }
    playing_ = false;
    belling_ = false;
}

void AlarmClock::snooze()
{
    if (sounding())
        stopTune();
}

void AlarmClock::napTick()
{
    // Bounded, so that a count without replays (snoozeMinutes 0) never wraps.
    if (snoozeCount_ < std::numeric_limits<std::int16_t>::max())
        ++snoozeCount_;
    // ">=" rather than "==": a snooze length shortened in the options dialog
    // below the count already reached still replays at the next tick.
    if (settings_.snoozeMinutes > 0 && snoozeCount_ >= settings_.snoozeMinutes && armed_) {
        playTune(settings_.alarmTune);
        if (!view_.isUp())
            view_.openFromTray();
        snoozeCount_ = 0;
    }
}

void AlarmClock::finishedPlaying()
{
    // Only the end of the start under way counts. A report after PlayStop
    // finds playing_ false; a second report for an end already handled
    // arrives after the replay has started, while the player plays.
    if (!playing_ || playerIsPlaying())
        return;
    playing_ = false;
    if (settings_.repeatTune == 1)
        playTune(settings_.alarmTune);
}

AlarmState AlarmClock::state() const
{
    if (!armed_)
        return AlarmState::Disarmed;
    if (!messageShown_)
        return AlarmState::Armed;
    return sounding() ? AlarmState::Ringing : AlarmState::Quiet;
}

}  // namespace kestrum
