// The demonstration tools/run.sh gives on a private display: the program is
// started and its window photographed, the port is opened (with a request
// command, so that the tray menu, photographed then, offers Request a
// Reading), Notepad receives the scans, and the whole screen is photographed
// again; then the window, brought back from the tray, with the port open, its
// system menu, the Scan Rules dialog with a preset, and the window once the
// device has gone. The scanner goes away when the file "unplug" appears,
// which tools/run.sh watches for.
// The pictures are 24-bit BMP files in the current folder (tools/topng.py
// turns them into PNG). Arguments: the port the scanner is on, seconds to
// run; or --window NAME: the window alone as it opens, into NAME.bmp.
// Where the tray host and the program's icon in it are on the screen,
// tools/run.sh writes into the file "tray" of that folder: Wine knows only
// the icon's place inside the tray host's window.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "../res/resource.h"
#include "../rules/DevicePresets.h"
#include "../tests/support/Drive.h"
#include "../tests/support/Program.h"
#include "../tests/support/Store.h"
#include "../tests/support/Wait.h"

namespace {

// The part of the screen in r, as a bottom-up 24-bit BMP file.
bool Shot(const char* pszFile, RECT r)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC hScreen = GetDC(NULL);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, w, h);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    BitBlt(hMem, 0, 0, w, h, hScreen, r.left, r.top, SRCCOPY);
    SelectObject(hMem, hOld);

    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    DWORD stride = (w * 3 + 3) & ~3u;
    std::string pixels(stride * h, '\0');
    GetDIBits(hMem, hBitmap, 0, h, &pixels[0], (BITMAPINFO*)&bih, DIB_RGB_COLORS);
    DeleteObject(hBitmap);
    DeleteDC(hMem);
    ReleaseDC(NULL, hScreen);

    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;   // "BM"
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = bfh.bfOffBits + (DWORD)pixels.size();
    FILE* f = fopen(pszFile, "wb");
    if (f == NULL)
        return false;
    fwrite(&bfh, sizeof bfh, 1, f);
    fwrite(&bih, sizeof bih, 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    return fclose(f) == 0;
}

RECT Around(HWND hWnd)
{
    RECT r;
    GetWindowRect(hWnd, &r);
    return r;
}

RECT Screen()
{
    return { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
}

// The tray menu opened on the icon, with the tray below it and a margin.
void ShootTrayMenu(const Program& p)
{
    POINT pt;
    RECT tray;
    FILE* f = NULL;
    WaitUntil([&] { return p.TrayIcon() != NULL && (f = fopen("tray", "r")) != NULL; }, 10000);
    bool placed = f != NULL && fscanf(f, "%ld %ld %ld %ld %ld %ld", &pt.x, &pt.y, &tray.left,
                                      &tray.top, &tray.right, &tray.bottom) == 6;
    if (f != NULL) fclose(f);
    if (!placed) {
        printf("the tray host shows no icon of the program; no tray-menu picture\n");
        return;
    }
    // The menu opens where the pointer is: on the icon, as a user would have it.
    SetCursorPos(pt.x, pt.y);
    p.OnTrayIcon(WM_RBUTTONDOWN);
    HWND hMenu = Drive::PopupMenu();
    if (hMenu == NULL) {
        printf("the tray menu did not open; no tray-menu picture\n");
        return;
    }
    Sleep(500);   // painted
    RECT menu = Around(hMenu), screen = Screen(), both;
    UnionRect(&both, &menu, &tray);
    InflateRect(&both, 8, 8);
    IntersectRect(&both, &both, &screen);
    if (Shot("tray-menu.bmp", both))
        printf("picture of the tray menu: tray-menu\n");
    PressKey(VK_ESCAPE);
    WaitUntil([&] { return !IsWindowVisible(hMenu); });
}

// The window and, over it, the popup menu open now.
void ShootWithMenu(const char* pszName, HWND hWnd)
{
    HWND hMenu = Drive::PopupMenu();
    if (hMenu == NULL) {
        printf("no menu opened; no %s picture\n", pszName);
        return;
    }
    Sleep(500);   // painted
    RECT window = Around(hWnd), menu = Around(hMenu), both, screen = Screen();
    UnionRect(&both, &window, &menu);
    IntersectRect(&both, &both, &screen);
    if (Shot((std::string(pszName) + ".bmp").c_str(), both))
        printf("picture of the menu: %s\n", pszName);
    PressKey(VK_ESCAPE);
    WaitUntil([&] { return !IsWindowVisible(hMenu); });
}

// The Scan Rules dialog with a barcode preset chosen, its preview showing
// what the last scan would type; left without saving.
void ShootScanRules(const Program& p)
{
    PostMessageA(p.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    HWND hRules = NULL;
    if (!WaitUntil([&] { return (hRules = FindWindowA("#32770", "Scan Rules")) && IsWindowVisible(hRules); })) {
        printf("the Scan Rules dialog did not open; no scan-rules picture\n");
        return;
    }
    auto preset = std::find_if(std::begin(kDevicePresets), std::end(kDevicePresets), [](const DevicePreset& d) {
        return std::string(d.pszName).rfind("Barcode:", 0) == 0;
    });
    HWND hDevices = GetDlgItem(hRules, IDC_COMBO_DEVICE);
    SendMessageA(hDevices, CB_SETCURSEL, preset - std::begin(kDevicePresets), 0);
    SendMessageA(hRules, WM_COMMAND, MAKEWPARAM(IDC_COMBO_DEVICE, CBN_SELCHANGE), (LPARAM)hDevices);
    Sleep(700);   // painted
    if (Shot("scan-rules.bmp", Around(hRules)))
        printf("picture of the Scan Rules dialog: scan-rules\n");
    PostMessageA(hRules, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return !IsWindow(hRules); });
}

// The window back from the tray with the port open, its system menu, the
// Scan Rules dialog, and the window once the scanner has gone.
void ShootOpenAndLost(const Program& p)
{
    // Notepad would cover the window: with no window manager, the window
    // that comes back is not raised above it.
    if (HWND hNotepad = FindWindowA("Notepad", NULL))
        ShowWindow(hNotepad, SW_HIDE);
    p.OnTrayIcon(WM_LBUTTONDBLCLK);
    if (!WaitUntil([&] { return IsWindowVisible(p.hwnd); }, 5000)) {
        printf("the window did not come back from the tray; no pictures of it open\n");
        return;
    }
    Sleep(700);   // painted
    if (Shot("window-open.bmp", Around(p.hwnd)))
        printf("picture of the window, the port open: window-open\n");
    PostMessageA(p.hwnd, WM_SYSCOMMAND, SC_KEYMENU, ' ');   // as Alt+Space
    ShootWithMenu("system-menu", p.hwnd);
    ShootScanRules(p);

    if (FILE* f = fopen("unplug", "w"))
        fclose(f);
    if (!WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Lost"; }, 10000)) {
        printf("the port was not lost; no window-lost picture\n");
        return;
    }
    Sleep(700);   // painted
    if (Shot("window-lost.bmp", Around(p.hwnd)))
        printf("picture of the window, the port lost: window-lost\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == "--window") {
        Program p;
        Sleep(1000);   // centred and painted
        return Shot((std::string(argv[2]) + ".bmp").c_str(), Around(p.hwnd)) ? 0 : 1;
    }
    std::string port = argc > 1 ? argv[1] : "COM1";
    DWORD seconds = argc > 2 ? atoi(argv[2]) : 20;
    DWORD start = GetTickCount();
    setvbuf(stdout, NULL, _IONBF, 0);
    try {
        // A balance's request: the virtual scanner ignores it. The user's
        // value goes again as the demonstration ends.
        Store::PutText("RequestCommand", "SI\\r\\n", Store::USER);
        struct Forget { ~Forget() { Store::PutText("RequestCommand", "", Store::USER); } } forget;
        Program p;
        Sleep(1000);   // centred and painted
        if (Shot("window.bmp", Around(p.hwnd)))
            printf("picture of the window: window\n");

        // The list names the port "COM 12" where the scanner's name is COM12.
        p.SetText(IDC_COMBO_PORT, ("COM " + port.substr(3)).c_str());
        p.Click(IDC_BTN_OPENCLOSE);
        if (p.Text(IDC_BTN_OPENCLOSE) == "&Close Port")
            printf("pressed Open Port: the window is in the tray now\n");
        else
            printf("the port did not open\n");
        ShootTrayMenu(p);

        // Somewhere for the scans to land: a window started now takes the
        // foreground (and, started before, Notepad would cover the button).
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        char cmd[] = "notepad.exe";
        if (CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
            WaitUntil([] { return FindWindowA("Notepad", NULL) != NULL; }, 10000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        // The scanner of the run command starts sending once this file is there.
        if (FILE* f = fopen("receiving", "w"))
            fclose(f);

        // A few scans, then the whole screen: Notepad's text and the blinking icon.
        DWORD left = seconds * 1000 - std::min(seconds * 1000, GetTickCount() - start);
        Sleep(std::max<DWORD>(1000, std::min<DWORD>(10000, left)));
        if (Shot("screenshot-open.bmp", Screen()))
            printf("picture after a few scans: screenshot-open\n");
        ShootOpenAndLost(p);
        left = seconds * 1000 - std::min(seconds * 1000, GetTickCount() - start);
        Sleep(left);
        printf("ran %lus on the private display; ending\n", (unsigned long)seconds);
        return 0;
    } catch (const std::exception& e) {
        printf("demonstration failed: %s\n", e.what());
        return 1;
    }
}
