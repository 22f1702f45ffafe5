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
};
