// What both drivers of the main window (the in-process RunningWindow and the
// end-to-end Program) do to it from another thread or process: read a
// control, wait for the window's thread, pick an item of its tray menu.
#pragma once
#include <windows.h>
#include <string>

namespace Drive {
// The control's text, asked of the control itself: a drop-down list keeps
// its text in its edit field.
std::string Text(HWND hCtrl);
// Waits until the dialog's thread has handled everything posted to it so
// far; false when the dialog is gone.
bool Sync(HWND hDlg);
// The popup menu that is open or opening, NULL when none opens.
HWND PopupMenu();
// Chooses the item of the open popup menu nDowns steps from the top with the
// keyboard, as a user would, and waits until the dialog has handled it.
bool ChooseFromMenu(HWND hDlg, int nDowns);
}

// A key pressed and released, into whatever has the keyboard.
void PressKey(BYTE vk);
