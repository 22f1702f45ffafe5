// The tray icon's popup menu.
#pragma once
#include <windows.h>

// Shows the menu for hWnd at the cursor until the user picks an item or
// leaves it; the port item says what picking it does, and with bCanAsk an
// item asks the device for a reading. Returns the command picked, 0 for none.
UINT TrackTrayMenu(HWND hWnd, bool bPortOpen, bool bCanAsk);
