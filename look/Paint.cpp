// The main window's background picture, or its icon while minimised.
#include "../ui/WedgeDlg.h"
#include "../fw/App.h"
#include "../fw/Gdi.h"
#include "../res/resource.h"

void CWedgeDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.m_hDC, 0);
        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT rect;
        GetClientRect(&rect);
        int x = (rect.right - rect.left - cxIcon + 1) / 2;
        int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }

    CPaintDC dc(this);
    HBITMAP hBitmap = ::LoadBitmapA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND));
    CDC dcMem;
    dcMem.CreateCompatibleDC(&dc);
    HGDIOBJ hOldBitmap = dcMem.SelectObject(hBitmap);
    // Larger than the 240 x 400 picture, so the copy covers the client area at
    // any dialog font size; beyond the picture the memory context gives black.
    dc.BitBlt(0, 0, 477, 477, &dcMem, 0, 0, SRCCOPY);
    dcMem.SelectObject(hOldBitmap);
    // A text that changed without an exchange (the blink tick's Last Scan)
    // shows now; unchanged texts are not set again, so this paints nothing more.
    // The lists are left alone: they hold what the user is choosing.
    CDataExchange dx(this, FALSE);
    DoDisplayExchange(&dx);
    dcMem.DeleteDC();
    ::DeleteObject(hBitmap);
}
