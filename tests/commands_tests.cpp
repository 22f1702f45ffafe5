// The window's system commands, its painting, and the tray icon's mouse
// events and popup menu.
#include <gtest/gtest.h>
#include "../res/resource.h"
#include "support/Fixtures.h"
#include "support/RunningWindow.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

namespace {

class Commands : public WindowTest {};

// The texts of a dialog's children, in order.
std::vector<std::string> ChildTexts(HWND hDlg)
{
    std::vector<std::string> texts;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        char buf[128] = "";
        GetWindowTextA(h, buf, sizeof buf);
        texts.push_back(buf);
    }
    return texts;
}

struct PopupMenu { HWND hWnd; std::vector<std::string> items; };

// Right-clicks the tray icon and reads the menu that opens.
PopupMenu OpenTrayMenu(RunningWindow& w)
{
    PostMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    PopupMenu menu = { Drive::PopupMenu(), {} };
    if (!menu.hWnd) return menu;
    HMENU hMenu = (HMENU)SendMessageA(menu.hWnd, MN_GETHMENU, 0, 0);
    for (int i = 0; i < GetMenuItemCount(hMenu); i++) {
        char text[64] = "";
        GetMenuStringA(hMenu, i, text, sizeof text, MF_BYPOSITION);
        menu.items.push_back((GetMenuState(hMenu, i, MF_BYPOSITION) & MF_SEPARATOR) ? "-" : text);
    }
    return menu;
}

} // namespace

TEST_F(Commands, TheAboutItemOpensTheAboutBoxWhateverItsLowBits)
{
    RunningWindow w;
    for (WPARAM cmd : { 0x10, 0x1F }) {
        SCOPED_TRACE(cmd);
        PostMessageA(w.hwnd, WM_SYSCOMMAND, cmd, 0);
        HWND hAbout = NULL;
        // shown only once its controls are made
        ASSERT_TRUE(WaitUntil([&] {
            return (hAbout = FindWindowA("#32770", "About VimoBrindleQVmfc")) != NULL && IsWindowVisible(hAbout);
        }));
        auto texts = ChildTexts(hAbout);
        EXPECT_NE(std::find(texts.begin(), texts.end(), "VimoBrindleQVmfc Version 1.0"), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), "OK"), texts.end());
        PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hAbout); }));
    }
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
}

TEST_F(Commands, MinimiseHidesTheWindowButANearbyCommandIsTheDefaults)
{
    RunningWindow w;
    // Differs from minimise in the low bits: the default handling minimises
    // to an icon, and the window stays shown.
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE | 1, 0);
    EXPECT_TRUE(IsIconic(w.hwnd));
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);

    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));
    EXPECT_FALSE(w.WaitForEnd(0));
}

TEST_F(Commands, APaintShowsStatusAndLastScanButNotWhileMinimisedAndLeavesTheLists)
{
    RunningWindow w;
    // Texts the window's own strings do not hold.
    SetWindowTextA(w.Item(IDC_EDIT_LASTSCAN), "5901234123457");
    SetWindowTextA(w.Item(IDC_LABEL_STATUS), "Port Status: Open");
    // What the user picked and typed, not yet read back by any command.
    SendMessageA(w.Item(IDC_COMBO_BAUDRATE), CB_SELECTSTRING, (WPARAM)-1, (LPARAM)"19200");
    SetWindowTextA(w.Item(IDC_COMBO_PORT), "COM 7");
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE | 1, 0);
    ASSERT_TRUE(IsIconic(w.hwnd));
    RedrawWindow(w.hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    w.Sync();
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "5901234123457");
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    RedrawWindow(w.hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    w.Sync();
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "");
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "19200");
    EXPECT_EQ(w.Text(IDC_COMBO_PORT), "COM 7");
}

TEST_F(Commands, TheWindowPaintsItsPictureBehindTheLabels)
{
    RunningWindow w;
    HBITMAP hPicture = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_BACKGROUND));
    ASSERT_NE(hPicture, (HBITMAP)NULL);
    HDC hPictureDC = CreateCompatibleDC(NULL);
    SelectObject(hPictureDC, hPicture);
    RedrawWindow(w.hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    w.Sync();
    HDC hWindowDC = GetDC(w.hwnd);

    // Inside a label, well left of its right-aligned text, only the picture.
    RECT label;
    GetWindowRect(w.Item(IDC_LABEL_PORT), &label);
    MapWindowPoints(NULL, w.hwnd, (POINT*)&label, 2);
    int matching = 0, total = 0;
    for (int x = label.left + 1; x < label.left + 12; x++)
        for (int y = label.top + 1; y < label.bottom - 1; y++, total++)
            matching += GetPixel(hWindowDC, x, y) == GetPixel(hPictureDC, x, y);
    EXPECT_EQ(matching, total);

    // The label's text is drawn over the picture: near its right edge some
    // pixels differ from the picture.
    int differing = 0;
    for (int x = label.right - 30; x < label.right; x++)
        for (int y = label.top; y < label.bottom; y++)
            differing += GetPixel(hWindowDC, x, y) != GetPixel(hPictureDC, x, y);
    EXPECT_GT(differing, 10);
    ReleaseDC(w.hwnd, hWindowDC);
    DeleteDC(hPictureDC);
    DeleteObject(hPicture);
}

TEST_F(Commands, TheTrayMenuNamesThePortItemByThePortsState)
{
    RunningWindow w;
    PopupMenu menu = OpenTrayMenu(w);
    ASSERT_NE(menu.hWnd, (HWND)NULL);
    EXPECT_EQ(menu.items, (std::vector<std::string>{ "Restore", "-", "Open Port", "Show Received Data...", "-", "Exit" }));
    EXPECT_EQ(GetForegroundWindow(), w.hwnd);

    ASSERT_TRUE(w.ChooseFromTrayMenu(2));   // Open Port: as the button does
    ASSERT_FALSE(VirtualLine::PortFree("COM1"));
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    EXPECT_FALSE(IsWindowVisible(w.hwnd));

    menu = OpenTrayMenu(w);
    ASSERT_NE(menu.hWnd, (HWND)NULL);
    EXPECT_EQ(menu.items, (std::vector<std::string>{ "Restore", "-", "Close Port", "Show Received Data...", "-", "Exit" }));
    ASSERT_TRUE(w.ChooseFromTrayMenu(2));
    EXPECT_TRUE(VirtualLine::PortFree("COM1"));

    menu = OpenTrayMenu(w);   // a fresh menu each time
    ASSERT_NE(menu.hWnd, (HWND)NULL);
    EXPECT_EQ(menu.items[2], "Open Port");
    ASSERT_TRUE(w.ChooseFromTrayMenu(4));      // Exit
    ASSERT_TRUE(w.WaitForEnd());
    EXPECT_EQ(Deletes(), 1);
}

TEST_F(Commands, RestoreAndTheDoubleClickBringTheWindowBack)
{
    RunningWindow w;
    // Right after the start the window counts as hidden although it shows.
    ShowWindow(w.hwnd, SW_HIDE);
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    SendMessageA(w.hwnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));

    // Restored, it counts as shown: the double-click leaves a window hidden
    // by someone else alone.
    ShowWindow(w.hwnd, SW_HIDE);
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));

    // Hidden by the program, the double-click brings it back and leaves it
    // counted as hidden, so a second one shows it again.
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    ShowWindow(w.hwnd, SW_HIDE);
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));

    // Restore after a hide counts it as shown again.
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(w.hwnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    ShowWindow(w.hwnd, SW_HIDE);
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));
}

// Sent from another thread, as other programs send them, with the port closed
// and nothing else coming: the wait for a message must end with them.
TEST_F(Commands, OkCancelAndCloseSentFromOutsideEndTheWindowAtOnceAndRemoveTheTrayIcon)
{
    const struct { UINT msg; WPARAM wParam; INT_PTR result; } sent[] = {
        { WM_COMMAND, IDOK, IDOK },            // Enter
        { WM_COMMAND, IDCANCEL, IDCANCEL },    // Escape
        { WM_CLOSE, 0, IDCANCEL },
        { WM_SYSCOMMAND, SC_CLOSE, -1 },       // the close box: the window is destroyed
    };
    for (auto& s : sent) {
        SCOPED_TRACE(s.msg);
        tray.calls.clear();
        {
            RunningWindow w;
            SendMessageA(w.hwnd, s.msg, s.wParam, 0);
            ASSERT_TRUE(w.WaitForEnd());
            EXPECT_EQ(w.result, s.result);
        }
        EXPECT_EQ(Deletes(), 1);
        EXPECT_EQ(tray.calls.back().dwMessage, (DWORD)NIM_DELETE);
    }
}
