#include "TargetWindow.h"
#include "../keys/Keystrokes.h"

BOOL (WINAPI* g_pfnBringToFront)(HWND hWnd) = ::SetForegroundWindow;

namespace {

std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(&text[0], (DWORD)text.size());
    return text;
}

// Whether the text fits the pattern, whose * stands for any text (none too).
bool Fits(const wchar_t* pszText, const wchar_t* pszPattern)
{
    // The last * seen and where the text stood then: a mismatch after it
    // lets that * take one character more.
    const wchar_t* pszStar = NULL;
    const wchar_t* pszResume = NULL;
    while (*pszText) {
        if (*pszPattern == L'*') {
            pszStar = pszPattern++;
            pszResume = pszText;
        } else if (*pszPattern == *pszText) {
            pszPattern++;
            pszText++;
        } else if (pszStar) {
            pszPattern = pszStar + 1;
            pszText = ++pszResume;
        } else {
            return false;
        }
    }
    while (*pszPattern == L'*')
        pszPattern++;
    return *pszPattern == 0;
}

// The file name of the program that runs the process; empty where the
// process cannot be asked (one of a higher integrity level may refuse).
std::wstring ProgramOfProcess(DWORD dwProcessId)
{
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId);
    if (hProcess == NULL)
        return L"";
    wchar_t szPath[MAX_PATH * 4];
    DWORD dwSize = (DWORD)(sizeof szPath / sizeof szPath[0]);
    BOOL bRead = ::QueryFullProcessImageNameW(hProcess, 0, szPath, &dwSize);
    ::CloseHandle(hProcess);
    if (!bRead)
        return L"";
    std::wstring path(szPath, dwSize);
    return path.substr(path.find_last_of(L"\\/") + 1);
}

std::wstring ProgramOf(HWND hWnd)
{
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    return ProgramOfProcess(dwProcessId);
}

std::wstring TitleOf(HWND hWnd)
{
    std::wstring title((size_t)::GetWindowTextLengthW(hWnd) + 1, L'\0');
    title.resize((size_t)::GetWindowTextW(hWnd, &title[0], (int)title.size()));
    return title;
}

} // namespace

bool IsProgramWindow(HWND hWnd)
{
    if (hWnd == NULL)
        return false;
    DWORD dwProcessId = 0;
    if (::GetWindowThreadProcessId(hWnd, &dwProcessId) == ::GetCurrentThreadId())
        return true;
    // By the file's name, so that the 32-bit and the 64-bit build count alike.
    static const std::wstring self = Upper(ProgramOfProcess(::GetCurrentProcessId()));
    return dwProcessId != ::GetCurrentProcessId() && !self.empty() && Upper(ProgramOfProcess(dwProcessId)) == self;
}

void CTargetWindow::Take(const CString& strName, bool bActivate)
{
    std::wstring name = Upper(strName.Wide());
    m_name = name == L"*" ? L"" : name;
    m_strShown = strName;
    m_bProgram = name.size() >= 4 && name.compare(name.size() - 4, 4, L".EXE") == 0;
    m_bActivate = bActivate;
}

// A window of the program never is the target: the keys would come back to it.
bool CTargetWindow::Matches(HWND hWnd) const
{
    if (hWnd == NULL || IsProgramWindow(hWnd))
        return false;
    return Fits(Upper(m_bProgram ? ProgramOf(hWnd) : TitleOf(hWnd)).c_str(), m_name.c_str());
}

// The newest window is the one the user used last: the top of the Z order,
// in which EnumWindows goes.
HWND CTargetWindow::Newest() const
{
    Search search = { this, NULL };
    ::EnumWindows(FindNewest, (LPARAM)&search);
    return search.hFound;
}

BOOL CALLBACK CTargetWindow::FindNewest(HWND hWnd, LPARAM lParam)
{
    Search& search = *(Search*)lParam;
    if (::IsWindowVisible(hWnd) && ::GetWindow(hWnd, GW_OWNER) == NULL && search.pTarget->Matches(hWnd))
        search.hFound = hWnd;
    return search.hFound == NULL;
}

HWND CTargetWindow::Find(CString& strWhy) const
{
    HWND hFront = g_desktop.pfnGetForegroundWindow();
    if (Matches(hFront))
        return hFront;
    if (!m_bActivate) {
        strWhy = m_strShown;
        strWhy += " is not in front";
        return NULL;
    }
    HWND hNewest = Newest();
    if (hNewest == NULL) {
        strWhy = m_bProgram ? "no window of " : "no window titled ";
        strWhy += m_strShown;
    }
    return hNewest;
}

void CTargetWindow::BringToFront(HWND hWnd)
{
    if (::IsIconic(hWnd))
        ::ShowWindowAsync(hWnd, SW_RESTORE);
    // Windows may refuse, or say yes and only flash the button: what counts
    // is the window in front after the call.
    g_pfnBringToFront(hWnd);
}

CString CTargetWindow::NotInFront() const
{
    CString strWhy = "Windows did not let ";
    strWhy += m_strShown;
    return strWhy += " come to front";
}
