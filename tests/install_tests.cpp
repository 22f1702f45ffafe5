// The program the MSI installed, started by its Run entries: tests/install.sh runs wineboot, then this.
#include <gtest/gtest.h>
#include "../res/resource.h"
#include "support/Drive.h"
#include "support/KeySink.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

TEST(Installed, OpensThePresetPortAtLogOnAndTypesByThePresetRules)
{
    // The windows of the profiles' list come up too, and hide into the tray
    // before the sink comes to the front, which they would take.
    const char* titles[2] = { "Scanner - Brindlequaverly", "Scale - Brindlequaverly" };
    HWND profiles[2] = {};
    for (int i = 0; i < 2; i++)
        ASSERT_TRUE(WaitUntil([&] { return (profiles[i] = FindWindowA("#32770", titles[i])) && !IsWindowVisible(profiles[i]); },
                              20000)) << titles[i];
    HWND hwnd = NULL;
    auto status = [&] { return Drive::Text(GetDlgItem(hwnd = FindWindowA("#32770", "Brindlequaverly"), IDC_LABEL_STATUS)); };
    ASSERT_TRUE(WaitUntil([&] { return status() == "Port Status: Open"; }, 20000));
    KeySink sink;
    sink.Activate();
    VirtualLine::Send("COM2", "A-0123\r");
    EXPECT_TRUE(sink.WaitForChars(5, 10000));
    EXPECT_EQ(sink.text, L"0123\t");
    // The program's file goes at the removal only once no window runs it.
    for (HWND h : { hwnd, profiles[0], profiles[1] }) {
        PostMessageA(h, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(h); }, 10000));
    }
}
