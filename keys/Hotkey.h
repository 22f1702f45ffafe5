// A system-wide key by its name, as a user writes it: "F9", "Ctrl+Shift+W".
#pragma once
#include <windows.h>
#include "../fw/String.h"

// The modifiers and the virtual key, as RegisterHotKey takes them.
struct Hotkey {
    UINT fsModifiers = 0;
    UINT vk = 0;
};

// Any of "Ctrl+", "Alt+", "Shift+", "Win+" (any case, any order) before a key
// name: F1 to F24, a letter or digit, Space, Insert, Delete, Home, End,
// PageUp, PageDown, Up, Down, Left, Right, Pause, ScrollLock, NumPad0 to
// NumPad9. A letter, digit or Space needs Ctrl, Alt or Win: alone or with
// Shift it would be taken from all typing, this program's scans included.
// False, with the reason, for any other text.
bool ParseHotkey(const CString& strText, Hotkey& hotkey, CString& strReason);
