// The tray icon's record at add, modify and delete, and the tips the window gives it.
#include <gtest/gtest.h>
#include "../res/resource.h"
#include "../tray/TrayIcon.h"
#include "support/Fixtures.h"
#include "support/RunningWindow.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

TEST(TrayIcon, AddsModifiesAndDeletesOneRecord)
{
    TrayRecorder tray;
    HICON icons[3] = { (HICON)0x11, (HICON)0x22, (HICON)0x11 };
    CWnd owner;
    owner.m_hWnd = (HWND)0x1234;
    {
        CTrayIcon icon(&owner, WM_TRAYNOTIFY, icons);
        ASSERT_EQ(tray.calls.size(), 1u);
        const NOTIFYICONDATAA& add = tray.calls[0].nid;
        EXPECT_EQ(tray.calls[0].dwMessage, (DWORD)NIM_ADD);
        EXPECT_EQ(add.cbSize, kTrayRecordSize);
        EXPECT_EQ(add.hWnd, (HWND)0x1234);
        EXPECT_EQ(add.uID, 0u);
        EXPECT_EQ(add.uFlags, (UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(add.uCallbackMessage, 0x83E8u);
        EXPECT_EQ(add.hIcon, (HICON)0x11);
        EXPECT_STREQ(add.szTip, "Vimo Brindlequaverly V1.5");

        icon.SetIcon(1, "Vimo Brindlequaverly V1.5 (Port Open)");
        icon.SetIcon(1);   // nothing is cached: sent again
        ASSERT_EQ(tray.calls.size(), 3u);
        EXPECT_EQ(tray.calls[1].dwMessage, (DWORD)NIM_MODIFY);
        EXPECT_EQ(tray.calls[1].nid.hIcon, (HICON)0x22);
        EXPECT_STREQ(tray.calls[1].nid.szTip, "Vimo Brindlequaverly V1.5 (Port Open)");
        EXPECT_EQ(tray.calls[2].dwMessage, (DWORD)NIM_MODIFY);
    }
    ASSERT_EQ(tray.calls.size(), 4u);
    EXPECT_EQ(tray.calls[3].dwMessage, (DWORD)NIM_DELETE);
    EXPECT_EQ(tray.calls[3].nid.hWnd, (HWND)0x1234);
    EXPECT_EQ(tray.calls[3].nid.uID, 0u);
    owner.m_hWnd = NULL;
}

TEST(TrayIcon, ANullOwnerGivesANullWindowHandle)
{
    TrayRecorder tray;
    HICON icons[3] = {};
    CTrayIcon icon(NULL, WM_TRAYNOTIFY, icons);
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].nid.hWnd, (HWND)NULL);
}

TEST(TrayIcon, BeforeVersionFourThereIsNoShellCallAtAll)
{
    TrayRecorder tray(0x00000A03);   // major version 3
    HICON icons[3] = {};
    {
        CTrayIcon icon(NULL, WM_TRAYNOTIFY, icons);
        icon.SetIcon(1, "ignored");
        icon.Add();
    }
    EXPECT_TRUE(tray.calls.empty());
}

using TrayOfTheWindow = WindowTest;

TEST_F(TrayOfTheWindow, StartsWithTheIdleIconAndTheClosedTip)
{
    RunningWindow w;
    ASSERT_EQ(tray.calls.size(), 2u);
    EXPECT_EQ(tray.calls[0].dwMessage, (DWORD)NIM_ADD);
    EXPECT_EQ(tray.calls[0].nid.hWnd, w.hwnd);
    EXPECT_EQ(tray.calls[1].dwMessage, (DWORD)NIM_MODIFY);
    EXPECT_STREQ(tray.calls[1].nid.szTip, "Vimo Brindlequaverly V1.5 (Port Closed)");
    EXPECT_EQ(tray.calls[1].nid.hIcon, TestApp().m_iconSet[0]);
}

TEST_F(TrayOfTheWindow, ARestartedNotificationAreaGetsTheIconAgainWithItsCurrentImageAndTip)
{
    ScanningWindow w;   // hidden
    size_t nBefore = 0;
    w.OnWindowThread([&] { nBefore = tray.calls.size(); });
    // As the shell does it: to every top-level window, hidden ones too.
    DWORD_PTR result;
    SendMessageTimeoutA(HWND_BROADCAST, WM_TASKBARCREATED, 0, 0, SMTO_NORMAL, 3000, &result);
    // The icon blinks meanwhile: the add carries the image shown last.
    w.OnWindowThread([&] {
        size_t nAdd = nBefore;
        while (nAdd < tray.calls.size() && tray.calls[nAdd].dwMessage != NIM_ADD) nAdd++;
        ASSERT_LT(nAdd, tray.calls.size());
        const NOTIFYICONDATAA& add = tray.calls[nAdd].nid;
        EXPECT_EQ(add.hWnd, w.hwnd);
        EXPECT_EQ(add.uFlags, (UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(add.hIcon, tray.calls[nAdd - 1].nid.hIcon);
        EXPECT_STREQ(add.szTip, "Vimo Brindlequaverly V1.5 (Port Open)");
    });
}

// At log-on the notification area may not be there yet.
TEST_F(TrayOfTheWindow, AnIconTheShellRefusedIsAddedAgainAndTheWindowHidesOnlyOnceItIsThere)
{
    tray.absent = true;
    ScanningWindow w;
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    EXPECT_TRUE(IsIconic(w.hwnd));

    // The blink tick adds it again, with the tip of the open port.
    size_t nRefused = 0;
    w.OnWindowThread([&] { tray.absent = false; nRefused = tray.calls.size(); });
    ASSERT_TRUE(WaitUntil([&] {
        bool bAdded = false;
        w.OnWindowThread([&] { bAdded = tray.calls.size() > nRefused; });
        return bAdded;
    }, 3000));
    w.OnWindowThread([&] {
        EXPECT_EQ(tray.calls[nRefused].dwMessage, (DWORD)NIM_ADD);
        EXPECT_STREQ(tray.calls[nRefused].nid.szTip, "Vimo Brindlequaverly V1.5 (Port Open)");
    });
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));
}

TEST_F(TrayOfTheWindow, AWindowThatOpenedAtStartBeforeTheNotificationAreaHidesOnceItsIconIsThere)
{
    tray.absent = true;
    RunningWindow w;
    // What a start with /open does once the window is up.
    w.OnWindowThread([&] { w.dlg.OpenPortAtStart(); });
    PostMessageA(w.hwnd, WM_COMMAND, ID_START_OPTIONS, 0);
    w.Sync();
    EXPECT_FALSE(VirtualLine::PortFree("COM1"));
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    w.OnWindowThread([&] { tray.absent = false; });
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(w.hwnd); }, 3000));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(IconSet, HoldsTheIdleIconTwiceAndTheActiveOnce)
{
    CWedgeApp& app = TestApp();
    EXPECT_NE(app.m_iconSet[0], (HICON)NULL);
    EXPECT_NE(app.m_iconSet[1], (HICON)NULL);
    EXPECT_EQ(app.m_iconSet[0], app.m_iconSet[2]);
    EXPECT_NE(app.m_iconSet[0], app.m_iconSet[1]);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(app.m_iconSet[1], &info));
    BITMAP bm;
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}
