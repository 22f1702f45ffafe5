// Mouse events on the tray icon: double-click brings the window back, the right
// button opens the popup menu. A restarted notification area gets the icon again.
#include "../ui/WedgeDlg.h"
#include "../fw/App.h"
#include "../fw/Menu.h"
#include "../res/resource.h"
#include "TrayIcon.h"

LRESULT CWedgeDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (lParam == WM_LBUTTONDBLCLK) {
        ShowFromTray();
    } else if (lParam == WM_RBUTTONDOWN) {
        CMenu menu;
        menu.LoadMenu(IDR_TRAYMENU);
        HMENU hPopup = menu.GetSubMenu(0);
        POINT pt;
        ::GetCursorPos(&pt);
        ::SetForegroundWindow(m_hWnd);
        UINT nPortItem = ::GetMenuItemID(hPopup, 2);
        ::ModifyMenuA(hPopup, nPortItem, MF_BYCOMMAND | MF_STRING, nPortItem,
                      m_portState != PORT_CLOSED ? "Close Port" : "Open Port");
        CWnd* pMainWnd = AfxGetMainWnd();
        ::TrackPopupMenu(hPopup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, pMainWnd ? pMainWnd->m_hWnd : NULL, NULL);
        // Without a message after it, the menu can vanish at once the next time.
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
        menu.DestroyMenu();
    }
    return 0;
}

LRESULT CWedgeDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    // The window exists a moment before its tray icon and after it.
    if (m_pTrayIcon != NULL)
        m_pTrayIcon->Add();
    return 0;
}
