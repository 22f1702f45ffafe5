// The floor of the program's idle cost: a bare hidden window that does only
// what an open, idle port makes the program do, a read of the port every
// 300 ms and a change of its tray icon every second. tools/bench.cpp runs it
// beside the program and compares the two. Argument: the port (COM2).
#include <windows.h>
#include <shellapi.h>
#include <string>
#include "../res/resource.h"

namespace {

HANDLE g_hPort = INVALID_HANDLE_VALUE;
NOTIFYICONDATAA g_nid = {};
HICON g_icons[2];

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_TIMER && wParam == 1) {
        char area[256];
        DWORD n = 0;
        ReadFile(g_hPort, area, 254, &n, NULL);
        return 0;
    }
    if (msg == WM_TIMER && wParam == 2) {
        g_nid.hIcon = g_nid.hIcon == g_icons[0] ? g_icons[1] : g_icons[0];
        Shell_NotifyIconA(NIM_MODIFY, &g_nid);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int)
{
    std::string path = std::string("\\\\.\\") + (*pszCmdLine ? pszCmdLine : "COM2");
    g_hPort = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (g_hPort == INVALID_HANDLE_VALUE)
        return 1;
    COMMTIMEOUTS timeouts = { 0, 0, 10, 0, 10 };   // as the program reads
    SetCommTimeouts(g_hPort, &timeouts);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "IdleFloor";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowA("IdleFloor", "Idle floor", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                              NULL, NULL, hInstance, NULL);
    g_icons[0] = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_IDLE));
    g_icons[1] = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_ACTIVE));
    g_nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_nid.hWnd = hWnd;
    g_nid.uFlags = NIF_ICON | NIF_TIP;
    g_nid.hIcon = g_icons[0];
    strcpy(g_nid.szTip, "Idle floor");
    Shell_NotifyIconA(NIM_ADD, &g_nid);
    SetTimer(hWnd, 1, 300, NULL);
    SetTimer(hWnd, 2, 1000, NULL);

    // The bench ends it with WM_QUIT.
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    Shell_NotifyIconA(NIM_DELETE, &g_nid);
    CloseHandle(g_hPort);
    return 0;
}
