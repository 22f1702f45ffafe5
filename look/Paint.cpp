#include "Paint.h"
#include "../fw/App.h"
#include "../res/resource.h"

void PaintBackground(HDC hdc, const RECT& rect)
{
    HBITMAP hBitmap = ::LoadBitmapA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND));
    HDC hdcMem = ::CreateCompatibleDC(hdc);
    HGDIOBJ hOldBitmap = ::SelectObject(hdcMem, hBitmap);
    // Larger than the 240 x 400 picture, so the copy covers the client area at
    // any dialog font size; beyond the picture the memory context gives black.
    ::BitBlt(hdc, rect.left, rect.top, 477, 477, hdcMem, 0, 0, SRCCOPY);
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
