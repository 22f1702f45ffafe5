// Control wrappers: each method is one message or call on the control's handle.
#pragma once
#include "Wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {};

class CEdit : public CWnd {};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR psz) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)psz); }
    int GetCount() { return (int)SendMessage(CB_GETCOUNT, 0, 0); }
    int SetCurSel(int nSelect) { return (int)SendMessage(CB_SETCURSEL, nSelect, 0); }
    int GetCurSel() { return (int)SendMessage(CB_GETCURSEL, 0, 0); }
    int FindStringExact(int nStart, LPCSTR psz) { return (int)SendMessage(CB_FINDSTRINGEXACT, nStart, (LPARAM)psz); }
    int GetLBTextLen(int nIndex) { return (int)SendMessage(CB_GETLBTEXTLEN, nIndex, 0); }
    int GetLBText(int nIndex, LPSTR psz) { return (int)SendMessage(CB_GETLBTEXT, nIndex, (LPARAM)psz); }
};

// Holds wide text: a list shows what a device sent in any script.
class CListBox : public CWnd {
public:
    int AddString(LPCWSTR psz) { return (int)::SendMessageW(m_hWnd, LB_ADDSTRING, 0, (LPARAM)psz); }
    int DeleteString(int nIndex) { return (int)SendMessage(LB_DELETESTRING, nIndex, 0); }
    void ResetContent() { SendMessage(LB_RESETCONTENT, 0, 0); }
    int GetCount() { return (int)SendMessage(LB_GETCOUNT, 0, 0); }
    int GetTopIndex() { return (int)SendMessage(LB_GETTOPINDEX, 0, 0); }
    int SetTopIndex(int nIndex) { return (int)SendMessage(LB_SETTOPINDEX, nIndex, 0); }
    int GetItemHeight() { return (int)SendMessage(LB_GETITEMHEIGHT, 0, 0); }
    int GetTextLen(int nIndex) { return (int)::SendMessageW(m_hWnd, LB_GETTEXTLEN, nIndex, 0); }
    int GetText(int nIndex, LPWSTR pszText) { return (int)::SendMessageW(m_hWnd, LB_GETTEXT, nIndex, (LPARAM)pszText); }
    BOOL SetTabStops(int nCount, const int* pnStops) { return (BOOL)SendMessage(LB_SETTABSTOPS, nCount, (LPARAM)pnStops); }
    void SetHorizontalExtent(int cx) { SendMessage(LB_SETHORIZONTALEXTENT, cx, 0); }
};
