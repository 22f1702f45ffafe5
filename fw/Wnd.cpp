#include "Wnd.h"

static void GetText(HWND hWnd, CString& value)
{
    int nLen = ::GetWindowTextLengthA(hWnd);
    ::GetWindowTextA(hWnd, value.GetBuffer(nLen + 1), nLen + 1);
    value.ReleaseBuffer();
}

const AFX_MSGMAP CWnd::messageMap = { NULL, NULL, 0 };

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The object rides in the window's user data, not in a property: under
    // Wine every property lookup is a round trip to the server, once a message.
    CWnd* pWnd = (CWnd*)::GetWindowLongPtrA(hWnd, GWLP_USERDATA);
    if (pWnd == NULL)
        return ::DefWindowProcA(hWnd, msg, wParam, lParam);

    MSG saved = pWnd->m_currentMsg;
    pWnd->m_currentMsg = { hWnd, msg, wParam, lParam, 0, {} };
    LRESULT lResult = pWnd->WindowProc(msg, wParam, lParam);
    pWnd->m_currentMsg = saved;

    if (msg == WM_NCDESTROY) {
        // The window is gone: give the handle back and leave the object detached.
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)pWnd->m_pfnSuper);
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        pWnd->m_pfnSuper = NULL;
        pWnd->m_hWnd = NULL;
    }
    return lResult;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (hWnd == NULL)
        return FALSE;
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, (LONG_PTR)this);
    m_hWnd = hWnd;
    m_pfnSuper = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL; pMap = pMap->pBaseMap) {
        for (size_t i = 0; i < pMap->nCount; i++) {
            const AFX_MSGMAP_ENTRY& entry = pMap->lpEntries[i];
            // Registered ids start at 0xC000; one that failed to register (0) matches nothing.
            UINT nEntryMsg = entry.pnRegistered != NULL ? *entry.pnRegistered : entry.nMessage;
            if (nEntryMsg != msg || (entry.pnRegistered != NULL && msg < 0xC000))
                continue;
            if (msg == WM_COMMAND && (entry.nID != LOWORD(wParam) || entry.nCode != HIWORD(wParam)))
                continue;
            return Dispatch(this, entry, wParam, lParam);
        }
    }
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::Dispatch(CWnd* pWnd, const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam)
{
    switch (entry.nSig) {
    case AfxSig::v_v:
        (pWnd->*entry.pfn)();
        return 0;
    case AfxSig::v_uw_l:
        (pWnd->*reinterpret_cast<void (CWnd::*)(UINT, LPARAM)>(entry.pfn))((UINT)wParam, lParam);
        return 0;
    case AfxSig::v_up:
        (pWnd->*reinterpret_cast<void (CWnd::*)(UINT_PTR)>(entry.pfn))((UINT_PTR)wParam);
        return 0;
    case AfxSig::h_v:
        return (LRESULT)(pWnd->*reinterpret_cast<HICON (CWnd::*)()>(entry.pfn))();
    case AfxSig::l_w_l:
        return (pWnd->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(entry.pfn))(wParam, lParam);
    }
    return 0;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != NULL)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

void CWnd::GetWindowText(CString& str) const
{
    GetText(m_hWnd, str);
}

void CWnd::CenterWindow(HWND hWndCenter)
{
    RECT rcWnd, rcCenter, rcArea;
    ::GetWindowRect(m_hWnd, &rcWnd);
    ::GetWindowRect(hWndCenter, &rcCenter);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
    int cx = rcWnd.right - rcWnd.left, cy = rcWnd.bottom - rcWnd.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
    if (x + cx > rcArea.right) x = rcArea.right - cx;
    if (x < rcArea.left) x = rcArea.left;
    if (y + cy > rcArea.bottom) y = rcArea.bottom - cy;
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void AfxSetWindowText(HWND hWnd, LPCSTR pszNew)
{
    CString old;
    GetText(hWnd, old);
    if (old != pszNew)
        ::SetWindowTextA(hWnd, pszNew);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != NULL)
        return;
    HWND hWndCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (rControl.HasOwnMessageMap())
        rControl.SubclassWindow(hWndCtrl);
    else
        rControl.Attach(hWndCtrl);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (pDX->m_bSaveAndValidate) {
        GetText(hWndCtrl, value);   // the edit field: the picked item or the typed text
    } else {
        // Only an item that is the whole text, in any case: a rate typed as
        // "12" is a rate of its own, not the "1200" it begins.
        LRESULT nItem = ::SendMessageA(hWndCtrl, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)(LPCSTR)value);
        // An item chosen and shown already is not chosen again: each choice
        // sets and repaints the field, which after every scan holds up the
        // keys' way to the window in front.
        if (nItem == CB_ERR) {
            AfxSetWindowText(hWndCtrl, value);
            return;
        }
        CString shown, item;
        GetText(hWndCtrl, shown);
        LRESULT nLength = ::SendMessageA(hWndCtrl, CB_GETLBTEXTLEN, (WPARAM)nItem, 0);
        ::SendMessageA(hWndCtrl, CB_GETLBTEXT, (WPARAM)nItem, (LPARAM)item.GetBuffer((int)nLength + 1));
        item.ReleaseBuffer();
        if (::SendMessageA(hWndCtrl, CB_GETCURSEL, 0, 0) != nItem || shown != item)
            ::SendMessageA(hWndCtrl, CB_SETCURSEL, (WPARAM)nItem, 0);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWndCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (pDX->m_bSaveAndValidate)
        GetText(hWndCtrl, value);
    else
        AfxSetWindowText(hWndCtrl, value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWndCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (pDX->m_bSaveAndValidate)
        value = (int)::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0);
    else
        ::SendMessageA(hWndCtrl, BM_SETCHECK, (WPARAM)value, 0);
}

void DDX_Check(CDataExchange* pDX, int nIDC, CString& value)
{
    int nCheck = value == "1" ? BST_CHECKED : BST_UNCHECKED;
    DDX_Check(pDX, nIDC, nCheck);
    value = nCheck == BST_CHECKED ? "1" : "0";
}
