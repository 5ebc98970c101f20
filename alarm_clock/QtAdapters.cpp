#include "QtAdapters.h"

#include "AlarmTone.h"
#include "ControlHost.h"
#include "KestrumLog.h"
#include "ModalDialogs.h"
#include "SoundOutput.h"

#include <QApplication>
#include <QMessageBox>
#include <QDateTime>
#include <QMetaMethod>

#include <algorithm>

namespace kestrum {

QtTimer::QtTimer()
{
    // A coarse timer (within 5 % of its interval) is plenty for the snooze
    // minutes and lets the system bundle wake-ups; the heartbeat, which must
    // be on time, is a SecondAlignedTimer.
    timer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (callback_)
            callback_();
    });
}

SecondAlignedTimer::SecondAlignedTimer(std::function<qint64()> wallMs) : wallMs_(std::move(wallMs))
{
    if (!wallMs_)
        wallMs_ = [] { return QDateTime::currentMSecsSinceEpoch(); };
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { onTimeout(); });
}

namespace {

// a mod b for any sign of a, in [0, b).
qint64 floorMod(qint64 a, qint64 b)
{
    return ((a % b) + b) % b;
}

} // namespace

qint64 SecondAlignedTimer::firstTickAfter(qint64 now, int interval)
{
    const qint64 cycle = 2 * qint64{interval};
    qint64 tick = now - floorMod(now, cycle) + interval;
    if (tick <= now)
        tick += cycle;
    return tick;
}

qint64 SecondAlignedTimer::tickAfter(qint64 due, qint64 now, int interval)
{
    const qint64 cycle = 2 * qint64{interval};
    qint64 next = due + interval;
    if (next - now > cycle) {
        // The clock went back: the same kind of moment, from now on.
        next = now - floorMod(now, cycle) + floorMod(next, cycle);
    }
    if (next <= now)
        next += (now - next) / cycle * cycle + cycle;
    return next;
}

void SecondAlignedTimer::start()
{
    active_ = true;
    next_ = firstTickAfter(wallMs_(), interval_);
    schedule();
}

void SecondAlignedTimer::stop()
{
    active_ = false;
    timer_.stop();
}

void SecondAlignedTimer::schedule()
{
    const qint64 wait = next_ - wallMs_();
    timer_.start(static_cast<int>(std::clamp<qint64>(wait, 0, 2 * qint64{interval_})));
}

void SecondAlignedTimer::onTimeout()
{
    if (!active_)
        return;
    const qint64 now = wallMs_();
    if (now < next_) {
        // Woken early: the wall clock and the timer's own clock differ a
        // little, or the wall clock was set back. The tick waits for its
        // moment, or for the next moment of its kind after the new time.
        if (next_ - now > 2 * qint64{interval_})
            next_ = tickAfter(next_ - interval_, now, interval_);
        schedule();
        return;
    }
    next_ = tickAfter(next_, now, interval_);
    schedule();
    if (callback_)
        callback_();
}

AlarmBell::AlarmBell() : tone_(AlarmTone::wav()) {}

AlarmBell::~AlarmBell()
{
    if (started_)
        platform::sndPlaySoundA(nullptr, 0);
}

void AlarmBell::ring()
{
    started_ = platform::sndPlaySoundA(tone_.constData(), platform::SND_MEMORY | platform::SND_ASYNC | platform::SND_LOOP) != 0;
    if (!started_) {
        // No sound device opens: the desktop's bell is all there is.
        qCWarning(kestrumLog) << "no sound device plays the alarm bell; ringing the desktop's bell";
        QApplication::beep();
    }
}

void AlarmBell::silence()
{
    if (started_)
        platform::sndPlaySoundA(nullptr, 0);
    started_ = false;
}

bool AlarmBell::ringing() const
{
    return started_ && platform::soundIsPlaying();
}

void MainWindowSite::messageBox(const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Critical  ? QMessageBox::Critical
                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                   : QMessageBox::Information,
                    title, text, QMessageBox::Ok, window_);
    execReleasable(box);
}

std::unique_ptr<ControlPlayer> ControlPlayer::create(platform::ControlHost &host, QWidget *parent,
                                                     platform::ContainerSite *site)
{
    try {
        QWidget *control = host.createControl(QString::fromLatin1(kPlayerProgId), parent, site);
        control->setObjectName(QStringLiteral("mpp2"));
        control->hide();
        return std::make_unique<ControlPlayer>(control, std::nullopt);
    } catch (const platform::DispatchError &error) {
        qCWarning(kestrumLog).noquote() << "the alarm player cannot be created (" + QString::fromUtf8(error.what())
                                               + "); the alarm will ring the bell.";
        return std::make_unique<ControlPlayer>(nullptr, error);
    }
}

ControlPlayer::ControlPlayer(QWidget *control, std::optional<platform::DispatchError> creationError)
    : control_(control), creationError_(std::move(creationError))
{
    if (control == nullptr)
        return;
    // Events are connected by name, as a host connects a control's events.
    const QMetaObject *meta = control->metaObject();
    const int signalIndex = meta->indexOfSignal("FinishedPlaying()");
    const int slotIndex = metaObject()->indexOfSlot("onFinishedPlaying()");
    if (signalIndex >= 0 && slotIndex >= 0)
        QObject::connect(control, meta->method(signalIndex), this, metaObject()->method(slotIndex),
                         Qt::QueuedConnection);
}

QObject *ControlPlayer::checkedControl() const
{
    if (control_ != nullptr)
        return control_;
    if (creationError_)
        throw *creationError_;
    throw platform::DispatchError(platform::kErrorObjectNotSet, QStringLiteral("Kestrum"),
                                  QStringLiteral("The alarm player is not there"));
}

void ControlPlayer::setFilename(const QString &path)
{
    platform::setProperty(checkedControl(), "Filename", path);
}

void ControlPlayer::PlayStart()
{
    platform::call(checkedControl(), "PlayStart");
}

void ControlPlayer::PlayFadeIn(double attackSeconds)
{
    QObject *control = checkedControl();
    try {
        platform::call(control, "PlayFadeIn", {attackSeconds});
    } catch (const platform::DispatchError &error) {
        constexpr int kNoSuchMember = 438;
        if (error.number() != kNoSuchMember)
            throw;
        platform::call(control, "PlayStart");
    }
}

void ControlPlayer::PlayStop()
{
    platform::call(checkedControl(), "PlayStop");
}

bool ControlPlayer::IsPlaying() const
{
    return platform::getProperty(checkedControl(), "IsPlaying").toBool();
}

void ControlPlayer::onFinishedPlaying()
{
    if (finished_)
        finished_();
}

}  // namespace kestrum
