#include "App.h"

static CWinApp* g_pApp = NULL;

CWinApp::CWinApp(LPCSTR pszAppName)
{
    g_pApp = this;
    if (pszAppName != NULL) {
        m_strAppName = pszAppName;
        return;
    }
    // The default name: the executable's file name without its extension.
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    CString name(path, (int)n);
    for (int i = name.GetLength() - 1; i >= 0; i--) {
        if (name[i] == '\\' || name[i] == '/') { name = name.Right(name.GetLength() - i - 1); break; }
    }
    for (int i = name.GetLength() - 1; i >= 0; i--) {
        if (name[i] == '.') { name = name.Left(i); break; }
    }
    m_strAppName = name;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = NULL;
}

void CWinApp::HideApplication()
{
    m_pMainWnd->ShowWindow(SW_HIDE);
    m_pMainWnd->ShowOwnedPopups(FALSE);
    m_pMainWnd->SetWindowPos(HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

CWinApp* AfxGetApp() { return g_pApp; }
CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : NULL; }
HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleA(NULL); }
