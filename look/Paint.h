// The main window's looks, over a device context: its background picture,
// and its icon while minimised.
#pragma once
#include <windows.h>

// The DPI the window is shown at: its monitor's where Windows says so
// (Windows 10 1607 and later), else the system's.
UINT WindowDpi(HWND hWnd);
// The background picture from the top left of rect, scaled for the DPI (pixel
// for pixel at 96) and further if need be, so that it covers rect.
void PaintBackground(HDC hdc, const RECT& rect, UINT nDpi);
// The icon in the middle of rect.
void PaintCentredIcon(HDC hdc, const RECT& rect, HICON hIcon);
