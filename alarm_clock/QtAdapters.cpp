#include "QtAdapters.h"

#include "ControlHost.h"
#include "KestrumLog.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaMethod>

namespace kestrum {

QtTimer::QtTimer()
{
    // Whole-millisecond precision is plenty for a 500 ms heartbeat and lets
    // the system bundle wake-ups.
    timer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (callback_)
            callback_();
    });
}

void ApplicationBell::ring()
{
    QApplication::beep();
}

void MainWindowSite::messageBox(const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Critical  ? QMessageBox::Critical
                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                   : QMessageBox::Information,
                    title, text, QMessageBox::Ok, window_);
    box.exec();
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
