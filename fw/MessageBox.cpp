#include "MessageBox.h"
#include "App.h"
#include <new>

static int DefaultMessageBox(HWND hWndOwner, LPCSTR pszText, LPCSTR pszCaption, UINT nType)
{
    return ::MessageBoxA(hWndOwner, pszText, pszCaption, nType);
}

PFN_MESSAGEBOX g_pfnMessageBox = DefaultMessageBox;

int AfxMessageBox(LPCSTR pszText, UINT nType, UINT)
{
    CWinApp* pApp = AfxGetApp();
    CWnd* pMainWnd = AfxGetMainWnd();
    return g_pfnMessageBox(pMainWnd ? pMainWnd->m_hWnd : NULL, pszText,
                           pApp ? (LPCSTR)pApp->m_strAppName : "", nType);
}

CString SystemErrorText(DWORD dwError)
{
    LPSTR pszText = NULL;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               NULL, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                               (LPSTR)&pszText, 0, NULL);
    if (n == 0 || pszText == NULL)
        return CString();
    while (n > 0 && (pszText[n - 1] == '\r' || pszText[n - 1] == '\n'))
        n--;
    CString strText(pszText, (int)n);
    ::LocalFree(pszText);
    return strText;
}

void ShowSystemErrorText(DWORD dwError)
{
    CString strText = SystemErrorText(dwError);
    if (!strText.IsEmpty())
        AfxMessageBox(strText, MB_OK, 0);
}

void ShowExceptionText(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e) != NULL)
        ShowSystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    else
        AfxMessageBox(e.what(), MB_OK, 0);
}
