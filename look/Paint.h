// The main window's looks, over a device context: its background picture,
// and its icon while minimised.
#pragma once
#include <windows.h>

// The background picture, pixel for pixel, from the top left of rect.
void PaintBackground(HDC hdc, const RECT& rect);
// The icon in the middle of rect.
void PaintCentredIcon(HDC hdc, const RECT& rect, HICON hIcon);
