// System commands, and the tray menu's Restore and Exit.
#include "WedgeDlg.h"
#include "../fw/App.h"
#include "../look/AboutDlg.h"
#include "../res/resource.h"

void CWedgeDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else if (nID == SC_MINIMIZE) {
        AfxGetApp()->HideApplication();
        m_bHidden = TRUE;
    } else if (nID == SC_CLOSE) {
        OnExit();
    } else {
        Default();
    }
}

void CWedgeDlg::OnRestore()
{
    if (m_bHidden)
        ShowWindow(SW_RESTORE);
    m_bHidden = FALSE;
    m_strLastScan = m_strLastNonEmpty;
    UpdateData(FALSE);
}

void CWedgeDlg::OnExit()
{
    DeleteTrayIcon();
    DestroyWindow();
}
