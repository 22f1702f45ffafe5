#include "Paint.h"
#include "../fw/App.h"
#include "../res/resource.h"

UINT WindowDpi(HWND hWnd)
{
    // Looked up, so that the program still starts on Vista to Windows 10 1511.
    static auto pfnGetDpiForWindow = (UINT(WINAPI*)(HWND))::GetProcAddress(::GetModuleHandleA("user32.dll"),
                                                                          "GetDpiForWindow");
    UINT nDpi = pfnGetDpiForWindow != NULL ? pfnGetDpiForWindow(hWnd) : 0;
    if (nDpi == 0) {
        HDC hdc = ::GetDC(NULL);
        nDpi = (UINT)::GetDeviceCaps(hdc, LOGPIXELSY);
        ::ReleaseDC(NULL, hdc);
    }
    return nDpi;
}

void PaintBackground(HDC hdc, const RECT& rect, UINT nDpi)
{
    HBITMAP hBitmap = ::LoadBitmapA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND));
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof bm, &bm);
    HDC hdcMem = ::CreateCompatibleDC(hdc);
    HGDIOBJ hOldBitmap = ::SelectObject(hdcMem, hBitmap);
    // The dialog's layout grows with its font, which is made for the DPI, not
    // exactly in proportion: the picture grows at least as much as the area.
    int cxRect = rect.right - rect.left, cyRect = rect.bottom - rect.top;
    int cx = MulDiv(bm.bmWidth, (int)nDpi, 96), cy = MulDiv(bm.bmHeight, (int)nDpi, 96);
    if (cx < cxRect) { cy = MulDiv(cy, cxRect, cx); cx = cxRect; }
    if (cy < cyRect) { cx = MulDiv(cx, cyRect, cy); cy = cyRect; }
    if (cx == bm.bmWidth && cy == bm.bmHeight) {
        ::BitBlt(hdc, rect.left, rect.top, cx, cy, hdcMem, 0, 0, SRCCOPY);
    } else {
        int nOldMode = ::SetStretchBltMode(hdc, HALFTONE);
        ::SetBrushOrgEx(hdc, 0, 0, NULL);   // as HALFTONE asks
        ::StretchBlt(hdc, rect.left, rect.top, cx, cy, hdcMem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SetStretchBltMode(hdc, nOldMode);
    }
    ::SelectObject(hdcMem, hOldBitmap);
    ::DeleteDC(hdcMem);
    ::DeleteObject(hBitmap);
}

void PaintCentredIcon(HDC hdc, const RECT& rect, HICON hIcon)
{
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    int x = rect.left + (rect.right - rect.left - cxIcon + 1) / 2;
    int y = rect.top + (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(hdc, x, y, hIcon);
}
