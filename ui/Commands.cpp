// System commands, the tray icon's mouse events, and the tray menu's Restore
// and Exit.
#include "WedgeDlg.h"
#include "../fw/App.h"
#include "../look/AboutDlg.h"
#include "../res/resource.h"
#include "../tray/TrayIcon.h"
#include "../tray/TrayMenu.h"

// Windows keeps the low four bits of a system command for its own use, hence
// the mask on the About item. Minimise and Close are compared whole on
// purpose: Windows sends them with those bits clear, and a command that
// differs in them is not taken for them but gets the default handling.
void CWedgeDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else if ((nID & 0xFFF0) == IDM_SCANRULES) {
        OnScanRules();
    } else if ((nID & 0xFFF0) == IDM_NEWPROFILE) {
        OnNewProfile();
    } else if ((nID & 0xFFF0) == IDM_STARTWITHWINDOWS) {
        OnStartWithWindows();
    } else if (nID == SC_MINIMIZE) {
        if (!HideIntoTray())
            Default();   // minimised onto the taskbar, the way back there
    } else if (nID == SC_CLOSE) {
        OnExit();
    } else {
        Default();
    }
}

void CWedgeDlg::OnRestore()
{
    ShowFromTray();
    m_bHidden = FALSE;
}

// Hides the program only while its tray icon is there: the icon is then the
// only way back to a program that may hold the port.
bool CWedgeDlg::HideIntoTray()
{
    if (!m_pTrayIcon->IsShown())
        return false;
    AfxGetApp()->HideApplication();
    m_bHidden = TRUE;
    return true;
}

// The boxes that were open when the program hid went with it; they come back
// with the window, which stays disabled until they are answered.
void CWedgeDlg::ShowFromTray()
{
    if (m_bHidden) {
        ShowWindow(SW_RESTORE);
        ShowOwnedPopups(TRUE);
    }
    UpdateData(FALSE);
}

void CWedgeDlg::OnExit()
{
    EndScans();
    DeleteTrayIcon();
    DestroyWindow();
}

// At log-off or shut-down the process ends after WM_ENDSESSION, with no Exit.
LRESULT CWedgeDlg::OnQueryEndSession(WPARAM, LPARAM)
{
    m_log.Flush();
    return TRUE;
}

LRESULT CWedgeDlg::OnEndSession(WPARAM wParam, LPARAM)
{
    if (wParam)
        EndScans();
    return 0;
}

// Double-click brings the window back, the right button opens the popup menu.
LRESULT CWedgeDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (lParam == WM_LBUTTONDBLCLK) {
        ShowFromTray();
    } else if (lParam == WM_RBUTTONDOWN) {
        // The pick goes through the message table, as a menu's command does.
        UINT nCmd = TrackTrayMenu(m_hWnd, m_portState != PORT_CLOSED, m_portState == PORT_OPEN && m_asker.CanAsk());
        if (nCmd != 0)
            PostMessage(WM_COMMAND, nCmd);
    }
    return 0;
}

// A restarted notification area gets the icon again.
LRESULT CWedgeDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    // The window exists a moment before its tray icon and after it.
    if (m_pTrayIcon != NULL)
        AddTrayIcon();
    return 0;
}

// Adds the icon again, and hides the window that waited for it at start.
void CWedgeDlg::AddTrayIcon()
{
    m_pTrayIcon->Add();
    if (m_bHideWithTrayIcon && HideIntoTray())
        m_bHideWithTrayIcon = false;
}
