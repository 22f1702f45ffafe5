// At the display's DPI (tests/layouts.sh dpi runs this at 96, 120, 144 and 192): the
// text is drawn at that DPI, and in the main window and every dialog each
// control lies inside the window with its whole text.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdlib>
#include "../look/Paint.h"
#include "../look/TransparentStatic.h"
#include "../res/resource.h"
#include "support/Drive.h"
#include "support/Fixtures.h"
#include "support/RunningWindow.h"
#include "support/Wait.h"

namespace {

class AtTheDpi : public WindowTest {
protected:
    const UINT dpi = std::getenv("WEDGE_DPI") ? (UINT)std::atoi(std::getenv("WEDGE_DPI")) : 96;
};

// The rectangle the text needs, drawn in the control's font within cxRoom.
RECT TextNeeds(HWND hCtrl, const std::string& text, int cxRoom, UINT nFormat)
{
    HDC hdc = GetDC(hCtrl);
    HGDIOBJ hOld = SelectObject(hdc, (HFONT)SendMessageA(hCtrl, WM_GETFONT, 0, 0));
    RECT r = { 0, 0, cxRoom, 0 };
    DrawTextA(hdc, text.c_str(), -1, &r, nFormat | DT_CALCRECT);
    SelectObject(hdc, hOld);
    ReleaseDC(hCtrl, hdc);
    return r;
}

// Each shown control of the window inside its client area, and the text of
// each label, button and check box inside its control, at the DPI.
void ExpectEveryTextFits(HWND hWnd, UINT dpi)
{
    SCOPED_TRACE(Drive::Text(hWnd));
    RECT client;
    GetClientRect(hWnd, &client);
    for (HWND h = GetWindow(hWnd, GW_CHILD); h != NULL; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!IsWindowVisible(h))
            continue;
        std::string text = Drive::Text(h);
        SCOPED_TRACE(text);
        RECT r, inside;
        GetWindowRect(h, &r);
        MapWindowPoints(NULL, hWnd, (POINT*)&r, 2);
        IntersectRect(&inside, &r, &client);
        EXPECT_TRUE(EqualRect(&inside, &r)) << "partly outside the window";
        int cx = r.right - r.left, cy = r.bottom - r.top;
        char cls[32];
        GetClassNameA(h, cls, sizeof cls);
        LONG style = GetWindowLongA(h, GWL_STYLE);
        if (_stricmp(cls, "Static") == 0 && !text.empty()) {
            RECT need = TextNeeds(h, text, cx, TextFormatForStyle(style));
            EXPECT_LE(need.right, cx);
            EXPECT_LE(need.bottom, cy);
        } else if (_stricmp(cls, "Button") == 0) {
            // A push button's edges, or a check box's box and the gap after it.
            bool bCheck = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
            int cxRoom = cx - MulDiv(bCheck ? 16 : 6, (int)dpi, 96);
            RECT need = TextNeeds(h, text, cxRoom, DT_SINGLELINE);
            EXPECT_LE(need.right, cxRoom);
            EXPECT_LE(need.bottom, cy);
        } else if (_stricmp(cls, "Edit") == 0) {
            EXPECT_LE(TextNeeds(h, "Ag", cx, DT_SINGLELINE).bottom + 2, cy);
        }
    }
}

HWND WaitForDialog(const char* pszTitle)
{
    HWND hDlg = NULL;
    WaitUntil([&] { return (hDlg = FindWindowA("#32770", pszTitle)) && IsWindowVisible(hDlg); });
    return hDlg;
}

} // namespace

TEST_F(AtTheDpi, TheWindowAndEveryDialogShowEachTextWholeDrawnAtTheDpi)
{
    RunningWindow w;
    // Aware of the DPI: Wine gives an unaware program 96 whatever it is.
    EXPECT_EQ(WindowDpi(w.hwnd), dpi);
    LOGFONTA lf;
    GetObjectA((HFONT)SendMessageA(w.hwnd, WM_GETFONT, 0, 0), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -MulDiv(8, (int)dpi, 72));   // the template's 8 points
    ExpectEveryTextFits(w.hwnd, dpi);

    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = WaitForDialog("About VimoBrindleQVmfc");
    ASSERT_NE(hAbout, (HWND)NULL);
    ExpectEveryTextFits(hAbout, dpi);
    SendMessageA(hAbout, WM_COMMAND, IDOK, 0);

    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    HWND hRules = WaitForDialog("Scan Rules");
    ASSERT_NE(hRules, (HWND)NULL);
    HWND hTabs = GetDlgItem(hRules, IDC_TAB_PAGES);
    for (int nPage = 0; nPage < TabCtrl_GetItemCount(hTabs); nPage++) {
        SCOPED_TRACE(nPage);
        SendMessageA(hTabs, TCM_SETCURSEL, nPage, 0);
        NMHDR change = { hTabs, IDC_TAB_PAGES, TCN_SELCHANGE };
        SendMessageA(hRules, WM_NOTIFY, IDC_TAB_PAGES, (LPARAM)&change);
        ExpectEveryTextFits(hRules, dpi);
    }
    SendMessageA(hRules, WM_COMMAND, IDCANCEL, 0);

    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_NEWPROFILE, 0);
    HWND hName = WaitForDialog("Another Device");
    ASSERT_NE(hName, (HWND)NULL);
    ExpectEveryTextFits(hName, dpi);
    SendMessageA(hName, WM_COMMAND, IDCANCEL, 0);

    // Moved to a monitor of twice the DPI (only Windows moves it): the window
    // takes the size Windows suggests.
    RECT rc;
    GetWindowRect(w.hwnd, &rc);
    RECT suggested = { rc.left, rc.top, rc.left + 2 * (rc.right - rc.left), rc.top + 2 * (rc.bottom - rc.top) };
    SendMessageA(w.hwnd, WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), (LPARAM)&suggested);
    GetWindowRect(w.hwnd, &rc);
    EXPECT_TRUE(EqualRect(&rc, &suggested));
}
