#include "TrayRecord.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace kestrum {
namespace {

TEST(TrayRecordTest, TipTextForArmedDisarmedAmPm)
{
    EXPECT_EQ(trayTipText("7", "05", "AM", true), "Alarm time : 7:05AM ON ");
    EXPECT_EQ(trayTipText("1", "01", "AM", false), "Alarm time : 1:01AM OFF ");
    EXPECT_EQ(trayTipText("12", "59", "PM", true), "Alarm time : 12:59PM ON ");
}

TEST(TrayRecordTest, SendToTrayRecordHasTheShellLayoutAndValues)
{
    EXPECT_EQ(offsetof(NotifyIconData, szTip), 24u);
    const NotifyIconData r = trayRecord(0x1234, 0x5678, "Alarm time : 7:05AM ON ");
    EXPECT_EQ(r.cbSize, 88u);
    EXPECT_EQ(r.hWnd, 0x1234u);
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 512u);
    EXPECT_EQ(r.hIcon, 0x5678u);
    EXPECT_EQ(tipOf(r), "Alarm time : 7:05AM ON "); // trailing blank kept
    for (std::size_t i = std::strlen(r.szTip); i < sizeof r.szTip; ++i)
        EXPECT_EQ(r.szTip[i], '\0') << "byte " << i;
}

TEST(TrayRecordTest, LongTipIsCutTo63BytesWithoutSplittingACharacter)
{
    const NotifyIconData r = trayRecord(1, 2, QString(100, u'x'));
    EXPECT_EQ(r.szTip[63], '\0');
    EXPECT_EQ(tipOf(r), QString(63, u'x'));
    // 62 bytes, then a two-byte character that would end on byte 64.
    const QString tip = QString(62, u'a') + QChar(0x00E9) + QStringLiteral("zz");
    EXPECT_EQ(tipOf(trayRecord(1, 2, tip)), QString(62, u'a'));
}

TEST(TrayRecordTest, MouseMessages)
{
    EXPECT_EQ(trayActionFor(513, false), TrayAction::OpenFromTray);
    EXPECT_EQ(trayActionFor(515, false), TrayAction::OpenFromTray);
    EXPECT_EQ(trayActionFor(513, true), TrayAction::None); // window already shown
    EXPECT_EQ(trayActionFor(515, true), TrayAction::None);
    EXPECT_EQ(trayActionFor(516, false), TrayAction::PopUpMenu);
    EXPECT_EQ(trayActionFor(516, true), TrayAction::PopUpMenu);
    for (const std::uint32_t other : {512u, 514u, 517u, 518u})
        EXPECT_EQ(trayActionFor(other, false), TrayAction::None) << other;
}

} // namespace
} // namespace kestrum
