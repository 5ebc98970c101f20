#include "NotifyIcon.h"

#include <algorithm>
#include <iterator>

namespace kestrum {

namespace {

constexpr std::uint32_t WM_MBUTTONDOWN = 519;

}  // namespace

NotifyIcon::NotifyIcon(QObject *parent) : QObject(parent)
{
    connect(&tray_, &QSystemTrayIcon::activated, this, &NotifyIcon::onActivated);
}

NotifyIcon::~NotifyIcon()
{
    tray_.hide();
}

std::uint32_t NotifyIcon::iconHandle(const QIcon &icon)
{
    const auto handle = static_cast<std::uint32_t>(icons_.size() + 1);
    icons_.insert(handle, icon);
    return handle;
}

bool NotifyIcon::desktopHasTray() const
{
    return probe_ ? probe_() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool NotifyIcon::notify(std::uint32_t message, const NotifyIconData &record)
{
    if (record.cbSize != kNotifyIconDataSize)
        return false;
    const bool sameIcon = added_ && record.hWnd == record_.hWnd && record.uID == record_.uID;
    switch (message) {
    case NIM_ADD:
        if (added_ || !desktopHasTray())
            return false;
        break;
    case NIM_MODIFY:
        if (!sameIcon)
            return false;
        break;
    case NIM_DELETE:
        if (!sameIcon)
            return false;
        tray_.hide();
        added_ = false;
        return true;
    default:
        return false;
    }

    // Add or modify: take the fields the flags name; a modify keeps the
    // others as they were.
    NotifyIconData next = message == NIM_ADD ? NotifyIconData{} : record_;
    next.cbSize = record.cbSize;
    next.hWnd = record.hWnd;
    next.uID = record.uID;
    next.uFlags = message == NIM_ADD ? record.uFlags : (record_.uFlags | record.uFlags);
    if (record.uFlags & NIF_MESSAGE)
        next.uCallbackMessage = record.uCallbackMessage;
    if (record.uFlags & NIF_ICON) {
        next.hIcon = record.hIcon;
        tray_.setIcon(icons_.value(record.hIcon));
    }
    if (record.uFlags & NIF_TIP) {
        std::copy(std::begin(record.szTip), std::end(record.szTip), std::begin(next.szTip));
        tray_.setToolTip(tipOf(record));
    }
    record_ = next;
    if (message == NIM_ADD) {
        tray_.show();
        added_ = true;
    }
    return true;
}

std::uint32_t NotifyIcon::mouseMessageFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context: return WM_RBUTTONDOWN;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONDOWN;
    default: return 0;
    }
}

void NotifyIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    const std::uint32_t mouse = mouseMessageFor(reason);
    if (!added_ || mouse == 0 || !(record_.uFlags & NIF_MESSAGE))
        return;
    emit callback(record_.hWnd, record_.uCallbackMessage, mouse);
}

}  // namespace kestrum
