#include "Program.h"
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include "Wait.h"
#include "../../res/resource.h"

namespace {

struct Search { DWORD pid; HWND exclude; const char* title; HWND found; };

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
{
    Search* s = (Search*)lParam;
    DWORD pid = 0;
    char cls[16] = "", title[64] = "";
    GetWindowThreadProcessId(hWnd, &pid);
    GetClassNameA(hWnd, cls, sizeof cls);
    GetWindowTextA(hWnd, title, sizeof title);
    if (pid == s->pid && hWnd != s->exclude && strcmp(cls, "#32770") == 0 &&
        (s->title != NULL ? strcmp(title, s->title) == 0 : IsWindowVisible(hWnd))) {
        s->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND hWnd, LPARAM lParam)
{
    char cls[16] = "", text[512] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    GetWindowTextA(hWnd, text, sizeof text);
    if (_stricmp(cls, "Static") == 0 && text[0])
        ((std::vector<std::string>*)lParam)->push_back(text);
    return TRUE;
}

BOOL CALLBACK CollectIcons(HWND hWnd, LPARAM lParam)
{
    char cls[32] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    // the tray icon window is winex11's when docked in an X tray host, explorer's otherwise
    if (strcmp(cls, "__winex11_tray_icon") == 0 || strcmp(cls, "__wine_tray_icon") == 0)
        ((std::vector<HWND>*)lParam)->push_back(hWnd);
    else
        EnumChildWindows(hWnd, CollectIcons, lParam);
    return TRUE;
}

std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s = path;
    s.erase(s.find_last_of('\\'));
    return s + "\\..\\" + Program::kProgramName;
}

// A small file of the Unix side (under /proc), read through drive Z:.
std::string UnixFile(const std::string& path)
{
    std::string text;
    HANDLE h = CreateFileA(("Z:" + path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return text;
    char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, NULL) && n > 0)
        text.append(buf, n);
    CloseHandle(h);
    return text;
}

// The entry "NAME=..." of a process's environment as /proc shows it.
std::string EnvironmentEntry(const std::string& env, const std::string& name)
{
    for (size_t at = 0; at < env.size();) {
        size_t end = std::min(env.find('\0', at), env.size());
        if (env.compare(at, name.size(), name) == 0)
            return env.substr(at, end - at);
        at = end + 1;
    }
    return "";
}

// The user and system time of a stat file, in ms: in steps of 10 ms.
double StatCpuMs(const std::string& stat)
{
    size_t at = stat.rfind(')');
    unsigned long long utime = 0, stime = 0;
    if (at == std::string::npos ||
        sscanf(stat.c_str() + at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return 0;
    return (utime + stime) * 10.0;
}

// The time the scheduler has run each thread of the process, to the
// nanosecond (the first field of its schedstat), summed. The user and system
// times of its stat come in steps of 10 ms, too coarse for a process that
// wakes a few times a second for a fraction of a millisecond; but threads
// that have ended are only there, as what the process's stat has more than
// its threads' together.
double ThreadsCpuMs(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(("Z:" + dir + "\\task\\*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    double ms = 0, statMs = 0;
    do {
        if (!isdigit((unsigned char)found.cFileName[0]))
            continue;
        std::string task = dir + "\\task\\" + found.cFileName;
        ms += strtoull(UnixFile(task + "\\schedstat").c_str(), NULL, 10) / 1e6;
        statMs += StatCpuMs(UnixFile(task + "\\stat"));
    } while (FindNextFileA(hFind, &found));
    FindClose(hFind);
    return ms + std::max(0.0, StatCpuMs(UnixFile(dir + "\\stat")) - statMs);
}

} // namespace

double UnixCpuMs(const char* pszExeName)
{
    // Wine's GetProcessTimes answers with the calling process's own times
    // whatever process it is asked about, so ask the kernel. Each Windows
    // process is one Unix process, whose command line is the Windows one;
    // the prefix tells it from the same program run by other prefixes.
    std::string prefix = EnvironmentEntry(UnixFile("\\proc\\self\\environ"), "WINEPREFIX=");
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA("Z:\\proc\\*", &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    double ms = -1;
    do {
        std::string dir = std::string("\\proc\\") + found.cFileName;
        if (!isdigit((unsigned char)found.cFileName[0]) ||
            UnixFile(dir + "\\cmdline").find(pszExeName) == std::string::npos ||
            EnvironmentEntry(UnixFile(dir + "\\environ"), "WINEPREFIX=") != prefix)
            continue;
        ms = ThreadsCpuMs(dir);
    } while (ms < 0 && FindNextFileA(hFind, &found));
    FindClose(hFind);
    return ms;
}

std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    EnumWindows(CollectIcons, (LPARAM)&icons);
    return icons;
}

namespace {

// Starts the program with the arguments.
PROCESS_INFORMATION StartProgram(const char* pszArguments)
{
    std::string cmd = "\"" + ProgramPath() + "\" " + pszArguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        throw std::runtime_error("cannot start " + cmd);
    return pi;
}

} // namespace

bool RunProgramToEnd(const char* pszArguments, DWORD dwTimeoutMs)
{
    PROCESS_INFORMATION pi = StartProgram(pszArguments);
    bool bEnded = WaitForSingleObject(pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
    if (!bEnded)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return bEnded;
}

Program::Program(const char* pszArguments, const char* pszTitle)
{
    m_otherIcons = TrayIconWindows();
    m_pi = StartProgram(pszArguments);
    Search s = { m_pi.dwProcessId, NULL, pszTitle, NULL };
    // Found by its title, shown or not (it may hide at once); Sync needs its children.
    WaitUntil([&] {
        EnumWindows(FindDialog, (LPARAM)&s);
        return s.found != NULL && GetDlgItem(s.found, IDC_EDIT_LASTSCAN) != NULL;
    }, 10000);
    hwnd = s.found;
    if (hwnd == NULL) throw std::runtime_error("the program showed no window");
    // Let the start (showing, activation) settle before the test acts on the window.
    Sync();
    Sleep(300);
}

Program::~Program()
{
    if (Running()) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

void Program::SetText(int nID, const char* pszText) const
{
    SendMessageA(Item(nID), WM_SETTEXT, 0, (LPARAM)pszText);
}

void Program::Click(int nID) const
{
    // What the button tells its dialog when clicked. A posted BM_CLICK is
    // lost whenever Wine has not yet made the program's window the active one.
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), (LPARAM)Item(nID));
    Sync();
}

HWND Program::FindBox() const
{
    Search s = { m_pi.dwProcessId, hwnd, NULL, NULL };
    EnumWindows(FindDialog, (LPARAM)&s);
    return s.found;
}

std::vector<std::string> Program::TakeMessageBox(DWORD dwTimeoutMs) const
{
    std::vector<std::string> texts;
    HWND hBox = NULL;
    if (!WaitUntil([&] { return (hBox = FindBox()) != NULL; }, dwTimeoutMs))
        return texts;
    char caption[128] = "";
    GetWindowTextA(hBox, caption, sizeof caption);
    texts.push_back(caption);
    EnumChildWindows(hBox, CollectStatic, (LPARAM)&texts);
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(hBox); });
    return texts;
}

bool Program::WaitForExit(DWORD dwTimeoutMs) const
{
    return WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}

HWND Program::TrayIcon() const
{
    HWND found = NULL;
    WaitUntil([&] {
        for (HWND h : TrayIconWindows())
            if (std::find(m_otherIcons.begin(), m_otherIcons.end(), h) == m_otherIcons.end())
                found = h;
        return found != NULL;
    }, 1000);
    return found;
}
