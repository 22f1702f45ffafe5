// The floors the bench compares the program with. Of its idle cost: a bare
// hidden window that does only what an open, idle port makes the program do,
// a read of the port every 300 ms and a change of its tray icon every second.
// Of its latency ("latency COM1"): a reader with 1 ms interval timeouts that
// types each scan in one SendInput the moment its CR arrives. Argument: the
// port (COM2), or "latency" and the port.
#include <windows.h>
#include <shellapi.h>
#include <cstring>
#include <string>
#include <vector>
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

DWORD WINAPI TypeScans(LPVOID)
{
    COMMTIMEOUTS timeouts = { 1, 0, 100, 0, 10 };
    SetCommTimeouts(g_hPort, &timeouts);
    std::string scan;
    for (;;) {
        char area[256];
        DWORD n = 0;
        if (!ReadFile(g_hPort, area, sizeof area, &n, NULL))
            return 1;
        scan.append(area, n);
        size_t nEnd = scan.find('\r');
        if (nEnd == std::string::npos)
            continue;
        std::vector<INPUT> inputs;
        for (size_t i = 0; i <= nEnd; i++) {
            for (DWORD dwUp : { 0ul, (DWORD)KEYEVENTF_KEYUP }) {
                INPUT input = {};
                input.type = INPUT_KEYBOARD;
                input.ki.wScan = (WORD)(unsigned char)scan[i];
                input.ki.dwFlags = KEYEVENTF_UNICODE | dwUp;
                inputs.push_back(input);
            }
        }
        SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
        scan.erase(0, nEnd + 1);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int)
{
    bool bLatency = strncmp(pszCmdLine, "latency ", 8) == 0;
    if (bLatency)
        pszCmdLine += 8;
    std::string path = std::string("\\\\.\\") + (*pszCmdLine ? pszCmdLine : "COM2");
    g_hPort = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (g_hPort == INVALID_HANDLE_VALUE)
        return 1;
    if (bLatency) {
        CreateThread(NULL, 0, TypeScans, NULL, 0, NULL);
        MSG msg;   // the bench ends it with WM_QUIT
        while (GetMessageA(&msg, NULL, 0, 0) > 0)
            DispatchMessageA(&msg);
        return 0;
    }
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
