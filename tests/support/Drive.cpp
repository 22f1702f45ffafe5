#include "Drive.h"
#include "Wait.h"
#include "../../res/resource.h"

void PressKey(BYTE vk)
{
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

std::string Drive::Text(HWND hCtrl)
{
    char text[1024] = "";
    DWORD_PTR result;
    SendMessageTimeoutA(hCtrl, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 5000, &result);
    return text;
}

bool Drive::Sync(HWND hDlg)
{
    // A sent message is no good here: it is handled before what was posted
    // earlier, and also while the thread waits on a send of its own (to the
    // tray host) in the middle of a command. Posted messages are handled in
    // order, so once a marker posted now is seen, all before it is done. The
    // marker is the read-only Last Scan field's typing limit, which only a
    // user's typing would feel.
    static LPARAM nMarker = 0x7FFF0000;
    WPARAM limit = (WPARAM)++nMarker;
    HWND hEdit = GetDlgItem(hDlg, IDC_EDIT_LASTSCAN);
    if (!PostMessageA(hEdit, EM_SETLIMITTEXT, limit, 0))
        return false;
    return WaitUntil([&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(hEdit, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &result);
        return result == limit || !IsWindow(hEdit);
    }, 5000) && IsWindow(hEdit);
}

HWND Drive::PopupMenu()
{
    HWND hMenu = NULL;
    WaitUntil([&] { return (hMenu = FindWindowA("#32768", NULL)) != NULL && IsWindowVisible(hMenu); });
    return hMenu != NULL && IsWindowVisible(hMenu) ? hMenu : NULL;
}

bool Drive::ChooseFromMenu(HWND hDlg, int nDowns)
{
    HWND hMenu = PopupMenu();
    if (hMenu == NULL)
        return false;
    for (int i = 0; i < nDowns; i++) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    if (!WaitUntil([&] { return !IsWindow(hMenu) || !IsWindowVisible(hMenu); }))
        return false;
    // after "Exit" there is no window left to wait for
    Sync(hDlg);
    return true;
}
