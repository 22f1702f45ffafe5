#include "TrayIcon.h"
#include <algorithm>
#include <cstring>

static_assert(kTrayRecordSize == NOTIFYICONDATAA_V1_SIZE, "the record's first version");
#ifndef _WIN64
static_assert(kTrayRecordSize == 88, "88 bytes in a 32-bit build");
#endif

TrayShell g_trayShell = { ::GetVersion, ::Shell_NotifyIconA };
const UINT WM_TASKBARCREATED = ::RegisterWindowMessageA("TaskbarCreated");

static const char kDefaultTip[] = "Vimo Brindlequaverly V1.5";

CTrayIcon::CTrayIcon(CWnd* pOwner, UINT uCallbackMessage, HICON* pIcons)
    : m_nid(), m_pIcons(NULL)
{
    m_bEnabled = LOBYTE(LOWORD(g_trayShell.pfnGetVersion())) >= 4;
    if (!m_bEnabled)
        return;
    m_nid.cbSize = kTrayRecordSize;
    m_nid.hWnd = pOwner ? pOwner->m_hWnd : NULL;
    m_nid.uCallbackMessage = uCallbackMessage;
    m_nid.uID = 0;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    memcpy(m_nid.szTip, kDefaultTip, sizeof kDefaultTip);
    m_pIcons = pIcons;
    m_nid.hIcon = m_pIcons[0];
    Add();
}

CTrayIcon::~CTrayIcon()
{
    if (m_bEnabled)
        g_trayShell.pfnShellNotifyIcon(NIM_DELETE, &m_nid);
}

void CTrayIcon::Add()
{
    // An icon the shell still has refuses a second add, and is shown all the same.
    if (m_bEnabled)
        m_bShown = g_trayShell.pfnShellNotifyIcon(NIM_ADD, &m_nid) ||
                   g_trayShell.pfnShellNotifyIcon(NIM_MODIFY, &m_nid);
}

void CTrayIcon::SetIcon(int nIndex, LPCSTR pszTip)
{
    if (!m_bEnabled)
        return;
    if (pszTip != NULL) {
        size_t nCopy = std::min(strlen(pszTip), kTrayTipSize - 1);
        memcpy(m_nid.szTip, pszTip, nCopy);   // the bytes after the terminator stay as they were
        m_nid.szTip[nCopy] = '\0';
    }
    m_nid.hIcon = m_pIcons[nIndex];
    g_trayShell.pfnShellNotifyIcon(NIM_MODIFY, &m_nid);
}

void CTrayIcon::ShowBalloon(LPCSTR pszText)
{
    if (!m_bEnabled)
        return;
    // The record's second version is the first with a balloon.
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = m_nid.hWnd;
    nid.uID = m_nid.uID;
    nid.uFlags = NIF_INFO;
    nid.dwInfoFlags = NIIF_WARNING;
    lstrcpynA(nid.szInfoTitle, kDefaultTip, sizeof nid.szInfoTitle);
    lstrcpynA(nid.szInfo, pszText, sizeof nid.szInfo);
    g_trayShell.pfnShellNotifyIcon(NIM_MODIFY, &nid);
}
