#include "TransparentStatic.h"
#include "../fw/Gdi.h"
#include <iterator>

const AFX_MSGMAP_ENTRY CTransparentStatic::messageEntries[] = {
    MsgEntry(WM_PAINT, &CTransparentStatic::OnPaint),
};
const AFX_MSGMAP CTransparentStatic::messageMap = { &CWnd::messageMap, messageEntries, std::size(messageEntries) };

UINT TextFormatForStyle(DWORD dwStyle)
{
    UINT nFormat = DT_LEFT | DT_TOP;
    if (dwStyle & SS_RIGHT)         nFormat |= DT_RIGHT;
    if (dwStyle & SS_CENTER)        nFormat |= DT_CENTER;
    if (dwStyle & SS_CENTERIMAGE)   nFormat |= DT_VCENTER | DT_SINGLELINE;
    if (dwStyle & SS_NOPREFIX)      nFormat |= DT_NOPREFIX;
    if (dwStyle & SS_ELLIPSISMASK)  nFormat |= DT_WORD_ELLIPSIS;
    if (dwStyle & SS_ENDELLIPSIS)   nFormat |= DT_END_ELLIPSIS;
    if (dwStyle & SS_PATHELLIPSIS)  nFormat |= DT_PATH_ELLIPSIS;
    // Bits 4 and 8 of the style type are set in the types that never wrap
    // (SS_SIMPLE 0x0B, SS_LEFTNOWORDWRAP 0x0C), and in no plain left, centre
    // or right text.
    if ((dwStyle & (SS_ELLIPSISMASK | SS_CENTERIMAGE | 0x0004 | 0x0008)) == 0)
        nFormat |= DT_WORDBREAK;
    return nFormat;
}

void CTransparentStatic::OnPaint()
{
    CPaintDC dc(this);
    RECT rect;
    GetClientRect(&rect);
    CString strText;
    GetWindowText(strText);
    HGDIOBJ hOldFont = dc.SelectObject((HFONT)SendMessage(WM_GETFONT, 0, 0));
    UINT nFormat = TextFormatForStyle(GetStyle());
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(strText, &rect, nFormat);
    dc.SelectObject(hOldFont);
}

void CTransparentStatic::SetTextOverPicture(LPCSTR pszText)
{
    SetWindowText(pszText);
    HWND hParent = ::GetParent(m_hWnd);
    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(NULL, hParent, (LPPOINT)&rect, 2);
    ::RedrawWindow(hParent, &rect, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
