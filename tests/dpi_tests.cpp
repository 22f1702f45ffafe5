// At the display's DPI (tests/layouts.sh dpi runs this at 96, 120, 144 and 192): the
// text is drawn at that DPI, and in the main window and every dialog each
// control lies inside the window with its whole text.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
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

// The rectangle the text needs in the control's font, within cxRoom.
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
    SCOPED_TRACE(Drive::Text(hWnd) + " on its page " + std::to_string(TabCtrl_GetCurSel(GetDlgItem(hWnd, IDC_TAB_PAGES))));
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
        char cls[32];
        GetClassNameA(h, cls, sizeof cls);
        LONG style = GetWindowLongA(h, GWL_STYLE);
        bool bButton = _stricmp(cls, "Button") == 0, bEdit = _stricmp(cls, "Edit") == 0;
        if (!bButton && !bEdit && (_stricmp(cls, "Static") != 0 || text.empty()))
            continue;
        // A push button's edges, or a check box's box and the gap after it; an edit field's border.
        int nMargin = bButton ? ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? 16 : 6) : bEdit ? 2 : 0;
        int cxRoom = r.right - r.left - MulDiv(nMargin, (int)dpi, 96);
        RECT need = TextNeeds(h, bEdit ? "Ag" : text, cxRoom, bButton || bEdit ? DT_SINGLELINE : TextFormatForStyle(style));
        EXPECT_LE(need.right, cxRoom);
        EXPECT_LE(need.bottom + (bEdit ? 2 : 0), r.bottom - r.top);
    }
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

    const std::pair<UINT, const char*> kDialogs[] = {
        { IDM_ABOUTBOX, "About VimoBrindleQVmfc" }, { IDM_SCANRULES, "Scan Rules" }, { IDM_NEWPROFILE, "Another Device" } };
    for (auto& dialog : kDialogs) {
        PostMessageA(w.hwnd, WM_SYSCOMMAND, dialog.first, 0);
        HWND hDlg = NULL;
        ASSERT_TRUE(WaitUntil([&] { return (hDlg = FindWindowA("#32770", dialog.second)) && IsWindowVisible(hDlg); }));
        // Each page of a dialog with pages, chosen as a click on its tab chooses it.
        HWND hTabs = GetDlgItem(hDlg, IDC_TAB_PAGES);
        for (int nPage = 0; nPage < std::max(1, TabCtrl_GetItemCount(hTabs)); nPage++) {
            SendMessageA(hTabs, TCM_SETCURSEL, nPage, 0);
            NMHDR change = { hTabs, IDC_TAB_PAGES, TCN_SELCHANGE };
            SendMessageA(hDlg, WM_NOTIFY, IDC_TAB_PAGES, (LPARAM)&change);
            ExpectEveryTextFits(hDlg, dpi);
        }
        SendMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    }
}
