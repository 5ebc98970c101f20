#include "TrayRecord.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

QString trayTipText(const QString &hour, const QString &minute, const QString &half, bool armed)
{
    return QStringLiteral("Alarm time : ") + hour + u':' + minute + half
           + (armed ? QStringLiteral(" ON ") : QStringLiteral(" OFF "));
}

namespace {

// The number of leading bytes of `utf8` that fit in `limit` without cutting
// a character: a cut never lands on a continuation byte (10xxxxxx).
qsizetype fittingPrefix(const QByteArray &utf8, qsizetype limit)
{
    if (utf8.size() <= limit)
        return utf8.size();
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return end;
}

} // namespace

NotifyIconData trayRecord(std::uint32_t window, std::uint32_t icon, const QString &tip)
{
    NotifyIconData record;
    record.cbSize = kNotifyIconDataSize;
    record.hWnd = window;
    record.uID = 1;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_MOUSEMOVE;
    record.hIcon = icon;

    // A NUL inside the text would end the tip there anyway; stop at it so the
    // byte count below only covers what a reader will see.
    QByteArray bytes = tip.toUtf8();
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    const qsizetype length = fittingPrefix(bytes, kTipBytes - 1);
    std::memcpy(record.szTip, bytes.constData(), static_cast<std::size_t>(length));
    // The rest of szTip is already zero: the NUL and the padding after it.
    return record;
}

QString tipOf(const NotifyIconData &record)
{
    const char *begin = record.szTip;
    const char *end = std::find(begin, begin + kTipBytes, '\0');
    return QString::fromUtf8(begin, end - begin);
}

TrayAction trayActionFor(std::uint32_t mouseMessage, bool windowUp)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return windowUp ? TrayAction::None : TrayAction::OpenFromTray;
    case WM_RBUTTONDOWN:
        return TrayAction::PopUpMenu;
    default:
        return TrayAction::None;
    }
}

} // namespace kestrum
