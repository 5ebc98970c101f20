#include "AlarmClock.h"

#include "KestrumLog.h"

#include <QFileInfo>

#include <exception>
#include <limits>
#include <optional>
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

const WakeSettings kDesignWake;

// The alarm time of an alarm text ("705AM"), when it is one.
std::optional<QTime> timeOfAlarmText(const QString &text)
{
    if (text.size() != 5 && text.size() != 6)
        return std::nullopt;
    const QString hour = text.left(text.size() - 4);
    const QString minute = text.mid(text.size() - 4, 2);
    const QString half = text.right(2);
    bool hourOk = false;
    bool minuteOk = false;
    const int h = hour.toInt(&hourOk);
    const int m = minute.toInt(&minuteOk);
    if (!hourOk || h < 1 || h > 12 || hour != QString::number(h) || !minuteOk || m < 0 || m > 59
        || minute != twoDigits(m) || (half != QLatin1String("AM") && half != QLatin1String("PM")))
        return std::nullopt;
    return QTime(h % 12 + (half == QLatin1String("PM") ? 12 : 0), m);
}

// Local date and time taken as written (see lastWallTime_).
QDateTime asWritten(const QDateTime &local)
{
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

// "7:05 AM".
QString timeText(const QTime &time)
{
    return AlarmClock::hourText(time.hour()) + u':' + twoDigits(time.minute()) + u' ' + AlarmClock::halfText(time.hour());
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
      defaultTune_(std::move(defaultTune)),
      wake_(&kDesignWake)
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
    if (notifier_ != nullptr)
        notifier_->setActions({}, {});
}

void AlarmClock::setNotifier(Notifier *notifier)
{
    if (notifier_ != nullptr)
        notifier_->setActions({}, {});
    notifier_ = notifier;
    if (notifier_ != nullptr)
        notifier_->setActions([this] { snooze(); }, [this] { disarm(); });
}

void AlarmClock::setWakeSettings(const WakeSettings *wake)
{
    wake_ = wake != nullptr ? wake : &kDesignWake;
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
        checkNow();
    }
    watchSound();
    showRinging();
    ringingPictureShown_ = sounding() && !ringingPictureShown_;
    view_.setRingingPictureVisible(ringingPictureShown_);
}

void AlarmClock::checkNow()
{
    refreshClock();
    const QTime time = lastReading_.time();
    currentTimeText_ = hourText(time.hour()) + twoDigits(time.minute()) + halfText(time.hour());
    checkMissed();
    checkAlarm();
    lastWallTime_ = asWritten(lastReading_);
    showRinging();
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
    if (timeOfAlarmText(text)) {
        alarmHour_ = text.left(text.size() - 4);
        alarmMinute_ = text.mid(text.size() - 4, 2);
        alarmHalf_ = text.right(2);
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
    if (missedShown_) {
        missedShown_ = false;
        view_.setMessageVisible(messageShown_, settings_.alarmMessage);
    }
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
        setNotice(QString());
    }
    showRinging();
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

// An alarm minute that the ticks never saw: the wall clock went past it
// between two looks (the computer slept, the clock was set forward, summer
// time began). It rings now when it is late by at most the limit; later than
// that, the window says it was missed.
void AlarmClock::checkMissed()
{
    const QDateTime now = asWritten(lastReading_);
    if (!armed_ || !lastWallTime_.isValid() || now <= lastWallTime_)
        return;
    const auto alarmTime = timeOfAlarmText(settings_.alarmText);
    if (!alarmTime)
        return;
    // The latest alarm moment that the jump passed.
    QDateTime due(now.date(), *alarmTime, Qt::UTC);
    if (due > now)
        due = due.addDays(-1);
    if (due <= lastWallTime_)
        return;
    // Still within the alarm minute: the usual test fires.
    if (now < due.addSecs(60))
        return;
    if (lastFireDate_ == due.date() && lastFireMinuteOfDay_ == alarmTime->hour() * 60 + alarmTime->minute())
        return;
    const qint64 lateMinutes = due.secsTo(now) / 60;
    if (!sounding() && lateMinutes <= wake_->lateLimitMinutes) {
        fireAt(due);
        const QString late = QStringLiteral("Ringing late: the alarm was due at %1").arg(timeText(*alarmTime));
        setNotice(notice_.isEmpty() ? late : late + QStringLiteral("; ") + notice_);
        return;
    }
    if (sounding())
        return; // an alarm already rings; nothing is lost
    lastFireDate_ = due.date();
    lastFireMinuteOfDay_ = alarmTime->hour() * 60 + alarmTime->minute();
    missedShown_ = true;
    const QString text = missedText(timeText(*alarmTime));
    view_.setMessageVisible(true, text);
    if (!view_.isUp())
        view_.openFromTray();
    view_.bringToFront();
    if (notifier_ != nullptr)
        notifier_->showNotice(text);
}

QString AlarmClock::missedText(const QString &alarmTime)
{
    return QStringLiteral("Missed alarm at %1").arg(alarmTime);
}

QString AlarmClock::alarmTimeText() const
{
    const auto time = timeOfAlarmText(settings_.alarmText);
    return time ? timeText(*time) : alarmHour_ + u':' + alarmMinute_ + u' ' + alarmHalf_;
}

void AlarmClock::fire()
{
    fireAt(asWritten(lastReading_));
}

void AlarmClock::fireAt(const QDateTime &due)
{
    lastFireDate_ = due.date();
    lastFireMinuteOfDay_ = due.time().hour() * 60 + due.time().minute();
    if (!view_.isUp())
        view_.openFromTray();
    // The cap counts the starts of one day's ringing, so an alarm left
    // armed rings again every day.
    playCount_ = 0;
    playTune(settings_.alarmTune, true);
    missedShown_ = false;
    messageShown_ = true;
    view_.setMessageVisible(true, settings_.alarmMessage);
    snoozeCount_ = 0;
    // Restarted rather than left running, so that the first snooze minute
    // counts from this fire also when yesterday's timer still runs.
    tmrNap_.start();
    view_.bringToFront();
    showRinging();
}

void AlarmClock::playTune(const QString &path)
{
    playTune(path, false);
}

// `fadeIn`: a start that wakes (the fire, a snooze replay) rises gently when
// the settings ask for it; a repeat goes on at full level.
void AlarmClock::playTune(const QString &path, bool fadeIn)
{
    if (sounding())
        stopTune();
    if (playCount_ >= kMaxStarts)
        return; // the cap: silent until the next fire
    ++playCount_;
    startSound(path, fadeIn);
}

// A tune that cannot play falls back to the shipped tune, and that to the
// bell: an alarm is never silent by accident. The notice says what happened.
void AlarmClock::startSound(const QString &path, bool fadeIn)
{
    QString why;
    if (tryStart(path, fadeIn, why)) {
        playing_ = true;
        setNotice(QString());
        return;
    }
    if (path != defaultTune_) {
        QString defaultWhy;
        if (tryStart(defaultTune_, fadeIn, defaultWhy)) {
            playing_ = true;
            setNotice(why + QStringLiteral(" \u2014 playing the default tune"));
            return;
        }
        if (path.isEmpty())
            why = defaultWhy;
    }
    startBell();
    setNotice(why + QStringLiteral(" \u2014 ringing the alarm bell"));
}

bool AlarmClock::tryStart(const QString &path, bool fadeIn, QString &why)
{
    const QString name = QFileInfo(path).fileName();
    try {
        player_.setFilename(path);
        if (fadeIn && wake_->fadeInSeconds > 0)
            player_.PlayFadeIn(wake_->fadeInSeconds);
        else
            player_.PlayStart();
        if (player_.IsPlaying())
            return true;
        qCDebug(kestrumLog) << "the tune" << path << "does not play";
        why = QFileInfo::exists(path) ? QStringLiteral("Tune cannot play: %1").arg(name)
                                      : QStringLiteral("Tune not found: %1").arg(name);
        return false;
    } catch (const platform::DispatchError &error) {
        qCDebug(kestrumLog).noquote() << "the tune" << path << "does not play:" << error.what();
        constexpr int kFileNotFound = 53;
        if (error.number() == kFileNotFound || (!path.isEmpty() && !QFileInfo::exists(path)))
            why = QStringLiteral("Tune not found: %1").arg(name);
        else
            why = QStringLiteral("Tune cannot play: %1 (%2)").arg(name, error.description());
        return false;
    } catch (const std::exception &error) {
        // Anything else the player raises: this start failed, the caller
        // tries the next sound.
        qCDebug(kestrumLog).noquote() << "the tune" << path << "does not play:" << error.what();
        why = QStringLiteral("Tune cannot play: %1").arg(name);
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
    bell_.ring();
    bellHeard_ = bell_.ringing();
}

// While the alarm rings, every tick makes sure that it is heard: a player
// that stopped without reporting the end of its tune (the sound device went
// away) or a bell that fell silent is started again, the tune first, then
// the default tune, then the bell.
void AlarmClock::watchSound()
{
    if (!sounding()) {
        silentTicks_ = 0;
        return;
    }
    const bool heard = playing_ ? playerIsPlaying() : bell_.ringing();
    if (heard) {
        silentTicks_ = 0;
        return;
    }
    const int patience = belling_ && !bellHeard_ ? 2 * kBellEverySeconds : kSilentTicks;
    if (++silentTicks_ < patience)
        return;
    silentTicks_ = 0;
    if (playing_)
        qCInfo(kestrumLog) << "the alarm tune stopped before its end; starting the sound again";
    else
        qCDebug(kestrumLog) << "the alarm bell is not heard; trying the sounds again";
    stopTune();
    startSound(settings_.alarmTune, false);
}

void AlarmClock::stopTune()
{
    if (playing_) {
        try {
            player_.PlayStop();
        } catch (const std::exception &) {
            // Nothing plays that could be stopped; the alarm goes on regardless.
        }
    }
    if (belling_)
        bell_.silence();
    playing_ = false;
    belling_ = false;
    silentTicks_ = 0;
}

void AlarmClock::snooze()
{
    if (sounding())
        stopTune();
    showRinging();
}

void AlarmClock::napTick()
{
    // Bounded, so that a count without replays (snoozeMinutes 0) never wraps.
    if (snoozeCount_ < std::numeric_limits<std::int16_t>::max())
        ++snoozeCount_;
    // ">=" rather than "==": a snooze length shortened in the options dialog
    // below the count already reached still replays at the next tick.
    if (settings_.snoozeMinutes > 0 && snoozeCount_ >= settings_.snoozeMinutes && armed_) {
        playTune(settings_.alarmTune, true);
        if (!view_.isUp())
            view_.openFromTray();
        view_.bringToFront();
        snoozeCount_ = 0;
        showRinging();
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
    silentTicks_ = 0;
    if (settings_.repeatTune == 1)
        playTune(settings_.alarmTune, false);
    showRinging();
}

void AlarmClock::setNotice(const QString &text)
{
    if (text == notice_)
        return;
    notice_ = text;
    if (!text.isEmpty())
        qCWarning(kestrumLog).noquote() << text;
    view_.showNotice(text);
}

// Tells the view and the desktop when the ringing starts and ends.
void AlarmClock::showRinging()
{
    const bool ringing = armed_ && messageShown_ && sounding();
    if (ringing == ringingShown_)
        return;
    ringingShown_ = ringing;
    view_.ringingChanged(ringing);
    if (notifier_ == nullptr)
        return;
    if (ringing)
        notifier_->showAlarm(settings_.alarmMessage, alarmTimeText());
    else
        notifier_->closeAlarm();
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
