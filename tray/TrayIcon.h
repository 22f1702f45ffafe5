// One icon with a tip in the notification area, from construction to destruction.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "../fw/App.h"

class CTrayIcon : public CObject {
public:
    // Adds the icon (entry 0 of pIcons) with the default tip.
    CTrayIcon(CWnd* pOwner, UINT uCallbackMessage, HICON* pIcons);
    // Removes the icon.
    ~CTrayIcon() override;
    // Shows entry nIndex of the icon array together with the tip now in m_nid.szTip.
    void SetIcon(int nIndex);
    // Adds the icon with its current image and tip: a notification area that
    // restarts has forgotten every icon, and one that was not there yet (at
    // log-on) refused it.
    void Add();
    // Whether the notification area took the icon at the latest add.
    BOOL IsShown() const { return m_bShown; }

    BOOL m_bEnabled;
    NOTIFYICONDATAA m_nid;   // the owner writes szTip directly
    HICON* m_pIcons;

private:
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
