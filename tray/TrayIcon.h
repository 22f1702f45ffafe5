// One icon with a tip in the notification area, from construction to destruction.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "../fw/Wnd.h"

class CTrayIcon {
public:
    // Adds the icon (entry 0 of pIcons) with the default tip.
    CTrayIcon(CWnd* pOwner, UINT uCallbackMessage, HICON* pIcons);
    // Removes the icon.
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows entry nIndex of the icon array with the current tip, or with a
    // new one (cut to what the record holds): the shell takes both in one call.
    void SetIcon(int nIndex, LPCSTR pszTip = NULL);
    // Adds the icon with its current image and tip: a notification area that
    // restarts has forgotten every icon, and one that was not there yet (at
    // log-on) refused it.
    void Add();
    // A balloon from the icon with a warning: something the user should know
    // of, and need not answer.
    void ShowBalloon(LPCSTR pszText);
    // Whether the notification area took the icon at the latest add.
    BOOL IsShown() const { return m_bShown; }

private:
    BOOL m_bEnabled;
    NOTIFYICONDATAA m_nid;
    HICON* m_pIcons;
    BOOL m_bShown = FALSE;
};

// Broadcast by the shell to every top-level window when its notification area (re)starts.
extern const UINT WM_TASKBARCREATED;

// The first version of the record, whose tip field holds 64 bytes: the shell
// reads only those fields.
constexpr size_t kTrayTipSize = 64;
constexpr DWORD kTrayRecordSize = offsetof(NOTIFYICONDATAA, szTip) + kTrayTipSize;

// The two system calls the tray icon makes; tests observe or refuse them here.
struct TrayShell {
    DWORD (WINAPI* pfnGetVersion)();
    BOOL (WINAPI* pfnShellNotifyIcon)(DWORD dwMessage, PNOTIFYICONDATAA pnid);
};
extern TrayShell g_trayShell;
