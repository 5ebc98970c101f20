#pragma once

#include "TrayRecord.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <cstdint>
#include <functional>

namespace kestrum {

// The notification-area icon, driven the way the shell's Shell_NotifyIconA
// is: with a message (NIM_ADD, NIM_MODIFY, NIM_DELETE) and the 88-byte
// record. The record's icon handle names an icon registered here with
// iconHandle(); its window handle is handed back with every mouse message.
// Mouse messages reach the window as the record's callback message with the
// mouse message's number: 513 left button down, 515 left double click,
// 516 right button down (519 middle button down, which the window ignores).
class NotifyIcon : public QObject {
    Q_OBJECT

public:
    explicit NotifyIcon(QObject *parent = nullptr);
    ~NotifyIcon() override;

    // A handle for `icon`, for the record's hIcon field. Handles start at 1.
    std::uint32_t iconHandle(const QIcon &icon);

    // Shell_NotifyIconA. Returns false, changing nothing, when the record is
    // not 88 bytes, the message is unknown, NIM_ADD finds the icon already
    // there or no notification area on the desktop, or NIM_MODIFY and
    // NIM_DELETE find no icon with the record's window and id.
    bool notify(std::uint32_t message, const NotifyIconData &record);

    // The icon is in the notification area.
    bool isShown() const { return added_; }
    QString toolTip() const { return tray_.toolTip(); }
    QSystemTrayIcon &trayIcon() { return tray_; }

    // Whether the desktop has a notification area. Tests replace the answer.
    bool desktopHasTray() const;
    void setDesktopHasTray(std::function<bool()> probe) { probe_ = std::move(probe); }

    // Mouse-message number of an activation of the icon: Trigger 513,
    // DoubleClick 515, Context 516, MiddleClick 519, anything else 0.
    static std::uint32_t mouseMessageFor(QSystemTrayIcon::ActivationReason reason);

signals:
    // The record's window receives its callback message (uCallbackMessage)
    // carrying a mouse message; only sent for records with NIF_MESSAGE.
    void callback(uint window, uint callbackMessage, uint mouseMessage);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon tray_;
    QHash<std::uint32_t, QIcon> icons_;
    NotifyIconData record_{};
    bool added_ = false;
    std::function<bool()> probe_;
};

}  // namespace kestrum
