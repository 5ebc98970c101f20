#pragma once

#include <QString>

#include <cstdint>

namespace kestrum {

// The notification-area icon of the main window, as plain data: the record
// the window fills when it hides itself, its tooltip, and what the icon's
// mouse messages do. The tray adapter turns the record into a real icon and
// calls trayActionFor() with the number of each mouse message.

// Shell_NotifyIconA messages the window sends with the record.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1; // never sent: the tooltip is not updated
inline constexpr std::uint32_t NIM_DELETE = 2;

// uFlags bits: which fields of the record are valid.
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

// The callback message and the mouse messages it carries.
inline constexpr std::uint32_t WM_MOUSEMOVE = 512;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 513;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 515;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 516;

inline constexpr int kTipBytes = 64;

// NOTIFYICONDATA in its first, 88-byte form: six 32-bit fields and the
// tooltip as 64 bytes of text ending in a NUL. Handles are 32-bit numbers
// that the adapter maps to its window and icon.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    std::uint32_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uint32_t hIcon = 0;
    char szTip[kTipBytes] = {};
};

inline constexpr std::uint32_t kNotifyIconDataSize = 88;
static_assert(sizeof(NotifyIconData) == kNotifyIconDataSize,
              "the record must keep the shell's 88-byte layout");

// "Alarm time : " hour ":" minute half, then " ON " when the alarm is armed
// and " OFF " when it is not: "Alarm time : 7:05AM ON " for 7:05 AM, armed.
// The arguments are the captions of the alarm-time fields as shown.
QString trayTipText(const QString &hour, const QString &minute, const QString &half, bool armed);

// The record sendToTray fills: size 88, icon 1, flags 7 (message, icon,
// tip), callback message 512, the given window and icon, and the tip as
// UTF-8 followed by NULs. A tip longer than 63 bytes is cut before the
// character that would not fit, so the last byte is always a NUL and no
// character is left in halves.
NotifyIconData trayRecord(std::uint32_t window, std::uint32_t icon, const QString &tip);

// The tooltip held by a record: its bytes up to the first NUL, at most 64.
QString tipOf(const NotifyIconData &record);

// What an icon mouse message asks of the main window.
enum class TrayAction {
    None,         // any other message, or a click while the window is shown
    OpenFromTray, // show the window and remove the icon
    PopUpMenu,    // "Open", "Options", separator, "Exit"
};

// Left button down (513) and left double click (515) bring a hidden window
// back; right button down (516) pops up the menu whether or not the window
// is shown; any other number does nothing. `windowUp` is frmUp: true while
// the window is shown.
TrayAction trayActionFor(std::uint32_t mouseMessage, bool windowUp);

} // namespace kestrum
