// Turns received characters into the key strokes that type them.
#pragma once
#include <windows.h>
#include <vector>
#include "../fw/String.h"

// One synthesised key stroke. wch is 0 for a virtual-key event; otherwise the
// stroke types that Unicode character whatever the layout (bVk is then 0).
struct KeyEvent {
    BYTE bVk;
    BOOL bUp;
    WCHAR wch;
    bool operator==(const KeyEvent& o) const { return bVk == o.bVk && bUp == o.bUp && wch == o.wch; }
};

// The events that type one byte on the keyboard layout hkl, with Caps Lock on
// or off, in sending order: none, two, or four with Shift.
std::vector<KeyEvent> TranslateChar(unsigned char c, HKL hkl, bool bCapsLock);

// Sends the events of every character of the text, first to last, for the
// layout and the Caps Lock state of the foreground window's thread.
void TypeText(const CString& strText);
