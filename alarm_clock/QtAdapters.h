#pragma once

#include "AlarmClock.h"
#include "ContainerSite.h"
#include "DispatchError.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class ControlHost;
}

namespace kestrum {

// The ProgID of the player control that plays the alarm.
inline constexpr char kPlayerProgId[] = "SonbrelMP3.SBMP3Player";

// The local time of the system.
class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A window timer: a QTimer of the thread that creates it.
class QtTimer : public Timer {
public:
    QtTimer();
    void setInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
    int interval() const override { return timer_.interval(); }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }
    void setTimeout(std::function<void()> callback) override { callback_ = std::move(callback); }

private:
    QTimer timer_;
    std::function<void()> callback_;
};

// The window's heartbeat: a timer whose ticks fall on the wall clock's
// multiples of its interval, each scheduled anew from the clock, so they
// never drift and never come before their moment. For the 500 ms heartbeat:
// the first tick at the next half second, then the full and half seconds by
// turns, so the time shown changes within milliseconds of the second. A
// late tick (a busy or sleeping computer) is followed by the next moment of
// the other kind (full after half, half after full); when the clock is set
// back, the ticks follow it.
class SecondAlignedTimer : public QObject, public Timer {
public:
    // `wallMs`: the wall clock in milliseconds since the epoch; tests give
    // their own.
    explicit SecondAlignedTimer(std::function<qint64()> wallMs = {});
    void setInterval(int milliseconds) override { interval_ = milliseconds > 0 ? milliseconds : 1; }
    int interval() const override { return interval_; }
    void start() override;
    void stop() override;
    bool isActive() const override { return active_; }
    void setTimeout(std::function<void()> callback) override { callback_ = std::move(callback); }

    // The wall-clock moment of the coming tick.
    qint64 nextTick() const { return next_; }

    // The first moment after `now`: the next multiple of `interval` that is
    // not a multiple of twice the interval (for 500 ms: the next half second).
    static qint64 firstTickAfter(qint64 now, int interval);
    // The moment after a tick due at `due`, seen at `now`: due + interval,
    // or when that has passed, the next moment after `now` of the same kind
    // (the same place in a cycle of two intervals). A `now` far before `due`
    // (the clock went back) gives the next such moment after `now`.
    static qint64 tickAfter(qint64 due, qint64 now, int interval);

private:
    void schedule();
    void onTimeout();

    QTimer timer_;
    std::function<qint64()> wallMs_;
    std::function<void()> callback_;
    int interval_ = 500;
    bool active_ = false;
    qint64 next_ = 0;
};

// The alarm bell: the program's alarm tone through the sound device, in a
// loop until silenced; where no device opens, the desktop's bell instead.
class AlarmBell : public Bell {
public:
    AlarmBell();
    ~AlarmBell() override;
    void ring() override;
    void silence() override;
    bool ringing() const override;

private:
    QByteArray tone_;
    bool started_ = false;
};

// What the player control may ask of the main window: it runs in user mode,
// its property changes need no saving, and its message boxes are shown.
class MainWindowSite : public platform::ContainerSite {
public:
    explicit MainWindowSite(QWidget *window) : window_(window) {}
    bool userMode() const override { return true; }
    void propertyChanged(const QString &) override {}
    void messageBox(const QString &text, const QString &title, MessageIcon icon) override;

private:
    QPointer<QWidget> window_;
};

// The alarm's player mpp2: the control SonbrelMP3.SBMP3Player, created by
// ProgID and reached by name, as a host reaches a control it does not link.
// Only Filename, PlayStart, PlayStop, IsPlaying and FinishedPlaying are used.
//
// When the control could not be created, every member raises the error of
// the creation, so the alarm falls back to its bell instead of failing.
//
// FinishedPlaying is handled on the next turn of the event loop rather than
// inside the control's own signal, so the handler may start the next
// playback without re-entering the control.
class ControlPlayer : public QObject, public Player {
    Q_OBJECT

public:
    // Creates the control as a hidden child of `parent` (it has no face to
    // show while the program runs).
    static std::unique_ptr<ControlPlayer> create(platform::ControlHost &host, QWidget *parent,
                                                 platform::ContainerSite *site);

    ControlPlayer(QWidget *control, std::optional<platform::DispatchError> creationError);

    void setFilename(const QString &path) override;
    void PlayStart() override;
    // PlayFadeIn of the control; a control without it gets PlayStart.
    void PlayFadeIn(double attackSeconds) override;
    void PlayStop() override;
    bool IsPlaying() const override;
    void setFinishedPlaying(std::function<void()> handler) override { finished_ = std::move(handler); }

    QWidget *control() const { return control_; }
    const std::optional<platform::DispatchError> &creationError() const { return creationError_; }

private slots:
    void onFinishedPlaying();

private:
    QObject *checkedControl() const;

    QPointer<QWidget> control_;
    std::optional<platform::DispatchError> creationError_;
    std::function<void()> finished_;
};

}  // namespace kestrum
