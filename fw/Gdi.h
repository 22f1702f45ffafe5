// Device contexts: thin wrappers over the GDI calls on one HDC.
#pragma once
#include "Wnd.h"

class CDC {
public:
    HDC m_hDC = NULL;
    operator HDC() const { return m_hDC; }

    HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat)
    { return ::DrawTextA(m_hDC, str, str.GetLength(), lpRect, nFormat); }
};

// BeginPaint at construction, EndPaint at destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    PAINTSTRUCT m_ps;
private:
    HWND m_hWnd;
};
