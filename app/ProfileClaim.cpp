#include "ProfileClaim.h"
#include "../ui/WedgeDlg.h"

CProfileClaim::CProfileClaim(const CString& strName)
{
    m_hClaim = NULL;
    m_bTaken = false;
    if (strName.IsEmpty())
        return;   // the program without a profile runs as many windows as it is started
    CString strUpper(strName);
    strUpper.MakeUpper();
    CString strObject("Local\\Brindlequaverly.Profile.");
    strObject += strUpper;
    m_hClaim = ::CreateMutexA(NULL, FALSE, strObject);
    // Where the object cannot be made at all, the window starts: one window
    // too many is better than none.
    m_bTaken = m_hClaim != NULL && ::GetLastError() == ERROR_ALREADY_EXISTS;
}

CProfileClaim::~CProfileClaim()
{
    if (m_hClaim != NULL)
        ::CloseHandle(m_hClaim);
}

void HandToFirstWindow(const CString& strTitle, bool bOpenPort)
{
    // The first start may not have made its window yet.
    for (int nTries = 0; nTries < 100; nTries++) {
        HWND hWnd = ::FindWindowA("#32770", strTitle);
        if (hWnd != NULL) {
            // This start is the user's: it may give the foreground away.
            DWORD dwProcessId = 0;
            ::GetWindowThreadProcessId(hWnd, &dwProcessId);
            ::AllowSetForegroundWindow(dwProcessId);
            ::PostMessageA(hWnd, WM_PROFILESTART, bOpenPort, 0);
            return;
        }
        ::Sleep(100);
    }
}
