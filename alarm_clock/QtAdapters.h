#pragma once

#include "AlarmClock.h"
#include "ContainerSite.h"
#include "DispatchError.h"

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

// The system bell.
class ApplicationBell : public Bell {
public:
    void ring() override;
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
