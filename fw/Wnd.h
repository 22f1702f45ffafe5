// Window objects, message tables and data exchange over plain Win32.
#pragma once
#include <windows.h>
#include <cstddef>
#include "String.h"

class CWnd;

// One line of a window class's message table: a message (or, for WM_COMMAND,
// a command id and notification code) and the member function that handles it.
enum class AfxSig { v_v, v_uw_l, v_up, h_v, l_w_l };
using AFX_PMSG = void (CWnd::*)();

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;      // WM_COMMAND only: notification code (0 for menu commands and clicks)
    UINT nID;        // WM_COMMAND only: command or control id
    AfxSig nSig;
    AFX_PMSG pfn;
    const UINT* pnRegistered = NULL;   // a registered message: its id, known only at run time
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* pBaseMap;
    const AFX_MSGMAP_ENTRY* lpEntries;
    size_t nCount;
};

// Table entries by handler signature; the signature names read result_arguments:
//   v_v     void ()
//   v_uw_l  void (UINT, LPARAM)         WM_SYSCOMMAND
//   v_up    void (UINT_PTR)             WM_TIMER
//   h_v     HICON ()                    WM_QUERYDRAGICON
//   l_w_l   LRESULT (WPARAM, LPARAM)    messages of the program's own
template <class T> AFX_MSGMAP_ENTRY MsgEntry(UINT msg, void (T::*pfn)())
{ return { msg, 0, 0, AfxSig::v_v, static_cast<AFX_PMSG>(pfn) }; }
template <class T> AFX_MSGMAP_ENTRY MsgEntry(UINT msg, void (T::*pfn)(UINT, LPARAM))
{ return { msg, 0, 0, AfxSig::v_uw_l, reinterpret_cast<AFX_PMSG>(static_cast<void (CWnd::*)(UINT, LPARAM)>(pfn)) }; }
template <class T> AFX_MSGMAP_ENTRY MsgEntry(UINT msg, void (T::*pfn)(UINT_PTR))
{ return { msg, 0, 0, AfxSig::v_up, reinterpret_cast<AFX_PMSG>(static_cast<void (CWnd::*)(UINT_PTR)>(pfn)) }; }
template <class T> AFX_MSGMAP_ENTRY MsgEntry(UINT msg, HICON (T::*pfn)())
{ return { msg, 0, 0, AfxSig::h_v, reinterpret_cast<AFX_PMSG>(static_cast<HICON (CWnd::*)()>(pfn)) }; }
template <class T> AFX_MSGMAP_ENTRY MsgEntry(UINT msg, LRESULT (T::*pfn)(WPARAM, LPARAM))
{ return { msg, 0, 0, AfxSig::l_w_l, reinterpret_cast<AFX_PMSG>(static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(pfn)) }; }
template <class T> AFX_MSGMAP_ENTRY RegisteredMsgEntry(const UINT* pnMessage, LRESULT (T::*pfn)(WPARAM, LPARAM))
{ return { 0, 0, 0, AfxSig::l_w_l, reinterpret_cast<AFX_PMSG>(static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(pfn)), pnMessage }; }
template <class T> AFX_MSGMAP_ENTRY CommandEntry(UINT nID, void (T::*pfn)(), UINT nCode = 0)
{ return { WM_COMMAND, nCode, nID, AfxSig::v_v, static_cast<AFX_PMSG>(pfn) }; }

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;   // TRUE: controls to members
    CWnd* m_pDlgWnd;
};

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    HWND m_hWnd = NULL;
    operator HWND() const { return m_hWnd; }

    // Routes the window's messages through WindowProc from now on.
    BOOL SubclassWindow(HWND hWnd);
    // Takes the handle only: the window's messages go on to its own procedure.
    void Attach(HWND hWnd) { m_hWnd = hWnd; }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageA(m_hWnd, msg, wParam, lParam); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::PostMessageA(m_hWnd, msg, wParam, lParam); }
    void SetWindowText(LPCSTR psz) { ::SetWindowTextA(m_hWnd, psz); }
    void GetWindowText(CString& str) const;
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL ShowOwnedPopups(BOOL bShow) { return ::ShowOwnedPopups(m_hWnd, bShow); }
    BOOL EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL SetWindowPos(HWND hWndAfter, int x, int y, int cx, int cy, UINT nFlags) { return ::SetWindowPos(m_hWnd, hWndAfter, x, y, cx, cy, nFlags); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) { return (HICON)SendMessage(WM_SETICON, bBigIcon, (LPARAM)hIcon); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
    // Centres over hWndCenter (the desktop by default), kept inside the work area.
    void CenterWindow(HWND hWndCenter = ::GetDesktopWindow());
    virtual BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, NULL); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // The default processing of the message being handled.
    LRESULT Default();

    // Whether the class has a message table of its own to route messages through.
    bool HasOwnMessageMap() const { return GetMessageMap() != &messageMap; }

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    virtual const AFX_MSGMAP* GetMessageMap() const { return &messageMap; }
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    static const AFX_MSGMAP messageMap;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT Dispatch(CWnd* pWnd, const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam);
    WNDPROC m_pfnSuper = NULL;
    MSG m_currentMsg = {};
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Exchange steps for DoDataExchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// A switch stored as text: "1" checks the box; a box read back gives "1" or "0".
void DDX_Check(CDataExchange* pDX, int nIDC, CString& value);
// Sets a window's text only when it differs, so an unchanged text is not redrawn.
void AfxSetWindowText(HWND hWnd, LPCSTR pszNew);
