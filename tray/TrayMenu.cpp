#include "TrayMenu.h"
#include "../fw/Menu.h"
#include "../res/resource.h"

UINT TrackTrayMenu(HWND hWnd, bool bPortOpen, bool bCanAsk)
{
    CMenu menu;
    menu.LoadMenu(IDR_TRAYMENU);
    HMENU hPopup = menu.GetSubMenu(0);
    POINT pt;
    ::GetCursorPos(&pt);
    // A menu of a window that is not in front would not close when the user
    // clicks elsewhere.
    ::SetForegroundWindow(hWnd);
    ::ModifyMenuA(hPopup, ID_TRAY_OPENPORT, MF_BYCOMMAND | MF_STRING, ID_TRAY_OPENPORT,
                  bPortOpen ? "Close Port" : "Open Port");
    if (bCanAsk)
        ::InsertMenuA(hPopup, ID_TRAY_OPENPORT, MF_BYCOMMAND | MF_STRING, ID_TRAY_ASK, "Request a Reading");
    UINT nCmd = (UINT)::TrackPopupMenu(hPopup, TPM_RIGHTBUTTON | TPM_RETURNCMD, pt.x, pt.y, 0, hWnd, NULL);
    // Without a message after it, the menu can vanish at once the next time.
    ::PostMessageA(hWnd, WM_NULL, 0, 0);
    menu.DestroyMenu();
    return nCmd;
}
