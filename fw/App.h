// The application object and the services reached through it.
#pragma once
#include "Wnd.h"

class CWinApp {
public:
    explicit CWinApp(LPCSTR pszAppName = NULL);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the program without running a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    // The per-user profile location. Nothing reads it: the program keeps its
    // settings under a machine-wide key of its own.
    void SetRegistryKey(LPCSTR) {}
    // Hides the main window and its owned windows and sends it to the bottom.
    void HideApplication();

    CWnd* m_pMainWnd = NULL;
    CString m_strAppName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
