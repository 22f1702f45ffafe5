// The main window as it opens: its template, its lists, and the exchange
// between the lists and the setting strings.
#include <gtest/gtest.h>
#include "../res/resource.h"
#include "support/Fixtures.h"
#include "support/RunningWindow.h"
#include "support/Wait.h"

namespace {

std::vector<std::string> Items(HWND hCombo)
{
    std::vector<std::string> items;
    int n = (int)SendMessageA(hCombo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char buf[64] = "";
        SendMessageA(hCombo, CB_GETLBTEXT, i, (LPARAM)buf);
        items.push_back(buf);
    }
    return items;
}

class MainWindow : public WindowTest {};

struct ControlRow { int id; const char* cls; const char* text; bool shown; };
const ControlRow kControls[] = {
    { IDOK, "Button", "OK", false },
    { IDCANCEL, "Button", "Cancel", false },
    { IDC_LABEL_PORT, "Static", "COM Port: ", true },
    { IDC_LABEL_DATABITS, "Static", "Data Bits: ", true },
    { IDC_LABEL_PARITY, "Static", "Parity Check: ", true },
    { IDC_BTN_OPENCLOSE, "Button", "&Open Port", true },
    { IDC_LABEL_BAUDRATE, "Static", "Baud Rate: ", true },
    { IDC_LABEL_STATUS, "Static", "Port Status: Closed", true },
    { IDC_COMBO_PORT, "ComboBox", "COM 1", true },
    { IDC_COMBO_BAUDRATE, "ComboBox", "9600", true },
    { IDC_COMBO_DATABITS, "ComboBox", "8", true },
    { IDC_COMBO_PARITY, "ComboBox", "None", true },
    { IDC_LABEL_STOPBITS, "Static", "Stop Bits: ", true },
    { IDC_COMBO_STOPBITS, "ComboBox", "1", true },
    { IDC_LABEL_FLOWCONTROL, "Static", "Flow Control: ", false },
    { IDC_COMBO_FLOWCONTROL, "ComboBox", "None", false },
    { IDC_EDIT_LASTSCAN, "Edit", "", true },
    { IDC_LABEL_LASTSCAN, "Static", "Last Scan: ", true },
};

// Where the control is in the window's client area.
RECT ClientRect(HWND hWnd, HWND hControl)
{
    RECT r;
    GetWindowRect(hControl, &r);
    MapWindowPoints(NULL, hWnd, (POINT*)&r, 2);
    return r;
}

SIZE TextSize(HFONT hFont, const std::string& text)
{
    HDC hdc = GetDC(NULL);
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    SIZE size = {};
    GetTextExtentPoint32A(hdc, text.c_str(), (int)text.size(), &size);
    SelectObject(hdc, hOld);
    ReleaseDC(NULL, hdc);
    return size;
}

// The width of a dialog unit, times 4, in the font: its average character
// width, as the dialog manager takes it.
int DialogBaseWidth(HFONT hFont)
{
    return (TextSize(hFont, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz").cx / 26 + 1) / 2;
}

} // namespace

TEST_F(MainWindow, ShowsEveryControlInTabOrderEachReadableAndNoneOverAnother)
{
    RunningWindow w;
    char title[64];
    GetWindowTextA(w.hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Brindlequaverly");
    LONG style = GetWindowLongA(w.hwnd, GWL_STYLE), exStyle = GetWindowLongA(w.hwnd, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    RECT client;
    GetClientRect(w.hwnd, &client);
    // The labels are checked in the dialog font and in Wine's own Tahoma, which
    // is wider, as are the dialog units it gives; with a few pixels to spare.
    const int kSpare = 3;
    HFONT hFont = (HFONT)SendMessageA(w.hwnd, WM_GETFONT, 0, 0);
    LOGFONTA lf;
    GetObjectA(hFont, sizeof lf, &lf);
    strcpy(lf.lfFaceName, "Tahoma");
    HFONT hTahoma = CreateFontIndirectA(&lf);

    std::vector<RECT> shown;
    HWND hChild = GetWindow(w.hwnd, GW_CHILD);
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.id);
        ASSERT_NE(hChild, (HWND)NULL);
        EXPECT_EQ(GetDlgCtrlID(hChild), row.id);   // the order of the children is the tab order
        char cls[32];
        GetClassNameA(hChild, cls, sizeof cls);
        EXPECT_STRCASEEQ(cls, row.cls);
        EXPECT_EQ(w.Text(row.id), row.text);
        EXPECT_EQ(IsWindowVisible(hChild) != FALSE, row.shown);
        RECT r = ClientRect(w.hwnd, hChild);
        if (row.shown) {
            RECT inside;
            IntersectRect(&inside, &r, &client);
            EXPECT_TRUE(EqualRect(&inside, &r)) << "partly outside the window";
            for (const RECT& other : shown) {
                RECT both;
                EXPECT_FALSE(IntersectRect(&both, &r, &other)) << "over another control";
            }
            shown.push_back(r);
        }

        LONG s = GetWindowLongA(hChild, GWL_STYLE), ex = GetWindowLongA(hChild, GWL_EXSTYLE);
        if (strcmp(row.cls, "Static") == 0) {
            EXPECT_EQ(s & SS_TYPEMASK, SS_RIGHT);
            EXPECT_TRUE(ex & WS_EX_TRANSPARENT);
            EXPECT_FALSE(s & WS_TABSTOP);
            // Readable: the text fits the label on one line, its trailing blank
            // counted (Wine's line breaking counts it).
            SIZE text = TextSize(hFont, row.text);
            EXPECT_LE(text.cx + kSpare, r.right - r.left) << row.text;
            EXPECT_LE(text.cy, r.bottom - r.top) << row.text;
            int nUnitsWide = MulDiv(r.right - r.left, 4, DialogBaseWidth(hFont));
            EXPECT_LE(TextSize(hTahoma, row.text).cx + kSpare, MulDiv(nUnitsWide, DialogBaseWidth(hTahoma), 4))
                << row.text << " in Tahoma";
        } else {
            EXPECT_TRUE(s & WS_TABSTOP);
        }
        if (strcmp(row.cls, "ComboBox") == 0) {
            EXPECT_EQ(s & 3, CBS_DROPDOWN);
            EXPECT_FALSE(s & CBS_SORT);
        }
        hChild = GetWindow(hChild, GW_HWNDNEXT);
    }
    EXPECT_EQ(hChild, (HWND)NULL);
    DeleteObject(hTahoma);
    // With nothing stored the lists show the defaults, the port as its item.
    EXPECT_EQ(SendMessageA(w.Item(IDC_COMBO_PORT), CB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(GetWindowLongA(w.Item(IDC_EDIT_LASTSCAN), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongA(w.Item(IDC_BTN_OPENCLOSE), GWL_EXSTYLE) & WS_EX_TRANSPARENT);

    HWND hFocus = NULL;
    w.OnWindowThread([&] { hFocus = GetFocus(); });
    EXPECT_EQ(hFocus, w.Item(IDC_BTN_OPENCLOSE));
}

TEST_F(MainWindow, OpensCentredWithTheAboutAndScanRulesItemsAndItsIcon)
{
    RunningWindow w;
    RECT rc, work;
    GetWindowRect(w.hwnd, &rc);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((rc.left + rc.right) / 2, cx / 2, 2);
    EXPECT_NEAR((rc.top + rc.bottom) / 2, cy / 2, 2);

    HMENU hSys = GetSystemMenu(w.hwnd, FALSE);
    int n = GetMenuItemCount(hSys);
    const std::pair<const char*, UINT> items[] = {
        { "&About VimoBrindleQVmfc...", IDM_ABOUTBOX }, { "Scan &Rules...", IDM_SCANRULES },
        { "S&how Received Data...", IDM_RECEIVEDDATA }, { "Start a Window for Another &Device...", IDM_NEWPROFILE },
        { "Start with &Windows", IDM_STARTWITHWINDOWS },
    };
    for (int i = 0; i < 5; i++) {
        char text[64] = "";
        GetMenuStringA(hSys, n - 5 + i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].first);
        EXPECT_EQ(GetMenuItemID(hSys, n - 5 + i), items[i].second);
    }
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(hSys, n - 6, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);

    // The idle icon at the large size, loaded once and shared.
    HICON hIdle = (HICON)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_IDLE), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED);
    EXPECT_EQ((HICON)SendMessageA(w.hwnd, WM_GETICON, ICON_BIG, 0), hIdle);
    EXPECT_EQ((HICON)SendMessageA(w.hwnd, WM_QUERYDRAGICON, 0, 0), hIdle);
}

TEST_F(MainWindow, FillsTheListsWithTheirFixedChoices)
{
    RunningWindow w;
    std::vector<std::string> ports;
    for (int i = 1; i <= 20; i++) ports.push_back("COM " + std::to_string(i));
    EXPECT_EQ(Items(w.Item(IDC_COMBO_PORT)), ports);
    EXPECT_EQ(Items(w.Item(IDC_COMBO_BAUDRATE)), (std::vector<std::string>{
        "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800", "1216000" }));
    EXPECT_EQ(Items(w.Item(IDC_COMBO_DATABITS)), (std::vector<std::string>{ "7", "8" }));
    EXPECT_EQ(Items(w.Item(IDC_COMBO_PARITY)), (std::vector<std::string>{ "None", "Even", "Odd", "Mark", "Space" }));
    EXPECT_EQ(Items(w.Item(IDC_COMBO_STOPBITS)), (std::vector<std::string>{ "1", "1.5", "2" }));
    EXPECT_EQ(Items(w.Item(IDC_COMBO_FLOWCONTROL)), (std::vector<std::string>{ "None", "Hardware", "Xon/Xoff" }));
}

TEST_F(MainWindow, ShowsWhatIsStoredAndTheDefaultForTheRest)
{
    Store::PutText("BAUDRATE", "19200");
    Store::PutText("COMMPORT", "COM 25");          // no such item: shown as typed
    Store::PutText("PARITY", "");                   // empty: default
    DWORD number = 0x00003237;                 // the bytes "72" then NULs
    Store::Put("DATABITS", REG_DWORD, &number, 4);
    DWORD zero = 0;
    Store::Put("StopBit", REG_DWORD, &zero, 4);     // first byte NUL: default
    Store::PutText("FlowControl", "Xon/Xoff");
    RunningWindow w;
    EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "19200");
    EXPECT_EQ(SendMessageA(w.Item(IDC_COMBO_BAUDRATE), CB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(w.Text(IDC_COMBO_PORT), "COM 25");
    EXPECT_EQ(SendMessageA(w.Item(IDC_COMBO_PORT), CB_GETCOUNT, 0, 0), 20);
    EXPECT_EQ(w.Text(IDC_COMBO_DATABITS), "72");
    EXPECT_EQ(w.Text(IDC_COMBO_PARITY), "None");
    EXPECT_EQ(w.Text(IDC_COMBO_STOPBITS), "1");
    EXPECT_EQ(w.Text(IDC_COMBO_FLOWCONTROL), "Xon/Xoff");
}

TEST_F(MainWindow, TakesStoredTextsWholeWhateverTheirLength)
{
    Store::PutText("COMMPORT", "\\\\.\\VERY-LONG-PORT");   // 19 characters
    Store::PutText("BAUDRATE", "12345678901234567890");    // 20 characters
    std::string path = "\\\\?\\USB#VID_067B&PID_2303#5&2A3B4C5D&0&2#{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
    Store::PutText("PARITY", path + std::string(300, 'x'));
    Store::Put("DATABITS", REG_SZ, "7\0junk", 7);         // text up to its first NUL
    Store::Put("StopBit", REG_BINARY, "1.5", 3);           // no NUL at all
    RunningWindow w;
    EXPECT_EQ(w.Text(IDC_COMBO_PORT), "\\\\.\\VERY-LONG-PORT");
    EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "12345678901234567890");
    EXPECT_EQ(w.Text(IDC_COMBO_PARITY), path + std::string(300, 'x'));
    EXPECT_EQ(w.Text(IDC_COMBO_DATABITS), "7");
    EXPECT_EQ(w.Text(IDC_COMBO_STOPBITS), "1.5");
}

TEST_F(MainWindow, ExchangeSelectsAnItemOnlyForTheWholeText)
{
    RunningWindow w;
    // Typed into the lists, then taken in and written back as after an open.
    SetWindowTextA(w.Item(IDC_COMBO_PORT), "com 1");
    SetWindowTextA(w.Item(IDC_COMBO_BAUDRATE), "12");      // begins "1200"
    SetWindowTextA(w.Item(IDC_COMBO_PARITY), "even");
    SetWindowTextA(w.Item(IDC_COMBO_STOPBITS), "1.");      // begins "1.5"
    w.OnWindowThread([&] {
        w.dlg.UpdateData(TRUE);
        w.dlg.UpdateData(FALSE);
    });
    EXPECT_EQ(SendMessageA(w.Item(IDC_COMBO_PORT), CB_GETCURSEL, 0, 0), 0);   // not "COM 10"
    EXPECT_EQ(w.Text(IDC_COMBO_PORT), "COM 1");
    EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "12");
    EXPECT_EQ(w.Text(IDC_COMBO_PARITY), "Even");
    EXPECT_EQ(w.Text(IDC_COMBO_STOPBITS), "1.");
}

TEST_F(MainWindow, AnExchangeThatChangesNothingRedrawsNothing)
{
    RunningWindow w;
    HWND hStatus = w.Item(IDC_LABEL_STATUS), hScan = w.Item(IDC_EDIT_LASTSCAN);
    w.OnWindowThread([&] {
        UpdateWindow(w.hwnd);
        RedrawWindow(w.hwnd, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        w.dlg.UpdateData(FALSE);
    });
    EXPECT_FALSE(GetUpdateRect(hStatus, NULL, FALSE));
    EXPECT_FALSE(GetUpdateRect(hScan, NULL, FALSE));
    SetWindowTextA(hStatus, "Port Status: Changed");
    w.OnWindowThread([&] { w.dlg.UpdateData(FALSE); });
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Closed");
}

TEST_F(MainWindow, TabTakesTheFocusThroughTheShownControlsAndRoundAgain)
{
    RunningWindow w;
    SetForegroundWindow(w.hwnd);
    for (int id : { IDC_COMBO_PORT, IDC_COMBO_BAUDRATE, IDC_COMBO_DATABITS, IDC_COMBO_PARITY,
                    IDC_COMBO_STOPBITS, IDC_EDIT_LASTSCAN, IDC_BTN_OPENCLOSE }) {
        PressKey(VK_TAB);
        // A drop-down list has the focus in its edit field.
        EXPECT_TRUE(WaitUntil([&] {
            HWND hFocus = NULL;
            w.OnWindowThread([&] { hFocus = GetFocus(); });
            return hFocus == w.Item(id) || GetParent(hFocus) == w.Item(id);
        })) << id;
    }
}
