#include "Program.h"
#include <algorithm>
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
        (s->title == NULL || strcmp(title, s->title) == 0) && IsWindowVisible(hWnd)) {
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
    return s + "\\..\\VimoBrindleQV.exe";
}

} // namespace

std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    EnumWindows(CollectIcons, (LPARAM)&icons);
    return icons;
}

void PressKey(BYTE vk)
{
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

Program::Program()
{
    m_otherIcons = TrayIconWindows();
    std::string cmd = "\"" + ProgramPath() + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &m_pi))
        throw std::runtime_error("cannot start " + cmd);
    Search s = { m_pi.dwProcessId, NULL, "Brindlequaverly", NULL };
    WaitUntil([&] { EnumWindows(FindDialog, (LPARAM)&s); return s.found != NULL; }, 10000);
    hwnd = s.found;
    if (hwnd == NULL) throw std::runtime_error("the program showed no window");
    // Wine shows a dialog once more at its first idle moment; let that pass.
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

std::string Program::Text(int nID) const
{
    // Asked of the control itself: a drop-down list keeps its text in its edit field.
    char text[1024] = "";
    DWORD_PTR result;
    SendMessageTimeoutA(Item(nID), WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 5000, &result);
    return text;
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

bool Program::Sync() const
{
    // A sent message is no good here: the program answers it also while it
    // waits on a send of its own (to the tray host) in the middle of a command.
    // Posted messages are handled in order, so once a marker posted after the
    // command is seen, the command is done. The marker is the read-only Last
    // Scan field's typing limit, which only a user's typing would feel.
    static LPARAM nMarker = 0x7FFF0000;
    WPARAM limit = (WPARAM)++nMarker;
    HWND hEdit = Item(IDC_EDIT_LASTSCAN);
    PostMessageA(hEdit, EM_SETLIMITTEXT, limit, 0);
    return WaitUntil([&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(hEdit, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &result);
        return result == limit;
    }, 5000);
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

double Program::CpuMs() const
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(m_pi.hProcess, &created, &ended, &kernel, &user);
    auto ms = [](FILETIME t) { return (((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
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

bool Program::ChooseFromTrayMenu(int nDowns) const
{
    HWND hMenu = NULL;
    if (!WaitUntil([&] { return (hMenu = FindWindowA("#32768", NULL)) != NULL && IsWindowVisible(hMenu); }))
        return false;
    for (int i = 0; i < nDowns; i++) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    if (!WaitUntil([&] { return !IsWindow(hMenu) || !IsWindowVisible(hMenu); }))
        return false;
    // after "Exit" there is no program left to wait for
    Sync();
    return true;
}
