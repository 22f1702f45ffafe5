// The program the MSI installed, started by its Run entry: tests/install.sh runs wineboot, then this.
#include <gtest/gtest.h>
#include "../res/resource.h"
#include "support/Drive.h"
#include "support/KeySink.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

TEST(Installed, OpensThePresetPortAtLogOnAndTypesByThePresetRules)
{
    HWND hwnd = NULL;
    auto status = [&] { return Drive::Text(GetDlgItem(hwnd = FindWindowA("#32770", "Brindlequaverly"), IDC_LABEL_STATUS)); };
    ASSERT_TRUE(WaitUntil([&] { return status() == "Port Status: Open"; }, 20000));
    KeySink sink;
    sink.Activate();
    VirtualLine::Send("COM2", "A-0123\r");
    EXPECT_TRUE(sink.WaitForChars(5, 10000));
    EXPECT_EQ(sink.text, L"0123\t");
    PostMessageA(hwnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hwnd); }, 10000));
}
