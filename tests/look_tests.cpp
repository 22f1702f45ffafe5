// The transparent label: the text format each style gives, and text drawn with
// no box over whatever lies behind it.
#include <gtest/gtest.h>
#include "../look/TransparentStatic.h"

TEST(TransparentLabel, EachStyleGivesItsTextFormat)
{
    struct { DWORD style; UINT format; } rows[] = {
        { SS_LEFT, DT_WORDBREAK },
        { SS_RIGHT, DT_RIGHT | DT_WORDBREAK },   // the main window's labels: 0x12
        { SS_CENTER, DT_CENTER | DT_WORDBREAK },
        { SS_RIGHT | SS_CENTERIMAGE, DT_RIGHT | DT_VCENTER | DT_SINGLELINE },
        { SS_NOPREFIX, DT_NOPREFIX | DT_WORDBREAK },
        { SS_ENDELLIPSIS, DT_WORD_ELLIPSIS | DT_END_ELLIPSIS },
        { SS_PATHELLIPSIS, DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS },
        { SS_WORDELLIPSIS, DT_WORD_ELLIPSIS | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS },
        { SS_LEFTNOWORDWRAP, 0 },
        { SS_SIMPLE, DT_CENTER | DT_RIGHT },   // plain bit tests: 0x0B holds both low bits
        { SS_RIGHT | WS_DISABLED, DT_RIGHT | DT_WORDBREAK },
    };
    EXPECT_EQ(TextFormatForStyle(SS_RIGHT), 0x12u);
    for (auto& row : rows)
        EXPECT_EQ(TextFormatForStyle(row.style), row.format) << std::hex << row.style;
}

namespace {
LRESULT CALLBACK RedProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

COLORREF PixelOf(HWND hWnd, int x, int y)
{
    HDC hdc = GetDC(hWnd);
    COLORREF c = GetPixel(hdc, x, y);
    ReleaseDC(hWnd, hdc);
    return c;
}
} // namespace

TEST(TransparentLabel, DrawsOnlyItsTextOverTheBackground)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RedProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "RedBackground";
    wc.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
    RegisterClassA(&wc);
    HWND hParent = CreateWindowA("RedBackground", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 60, NULL, NULL, NULL, NULL);
    HWND hLabel = CreateWindowExA(WS_EX_TRANSPARENT, "Static", "IIII", WS_CHILD | WS_VISIBLE | SS_RIGHT,
                                  0, 0, 200, 40, hParent, NULL, NULL, NULL);
    CTransparentStatic label;
    ASSERT_TRUE(label.SubclassWindow(hLabel));
    InvalidateRect(hParent, NULL, TRUE);
    UpdateWindow(hParent);
    RedrawWindow(hParent, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);

    // Left part of the label: no text there, so the red background shows (no box).
    EXPECT_EQ(PixelOf(hLabel, 10, 5), RGB(255, 0, 0));
    // Right-aligned text: dark pixels near the right edge, none on the left.
    int dark = 0;
    for (int x = 150; x < 200; x++)
        for (int y = 0; y < 20; y++)
            dark += PixelOf(hLabel, x, y) == RGB(0, 0, 0);
    EXPECT_GT(dark, 0);
    // A new text, set while the label shows: still no box.
    label.SetTextOverPicture("II");
    UpdateWindow(hParent);
    EXPECT_EQ(PixelOf(hLabel, 10, 5), RGB(255, 0, 0));
    DestroyWindow(hParent);
}
