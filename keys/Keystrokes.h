// Turns received text into the key strokes that type it.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// One synthesised key stroke. wch is 0 for a virtual-key event; otherwise the
// stroke types that Unicode character whatever the layout (bVk is then 0).
struct KeyEvent {
    BYTE bVk;
    BOOL bUp;
    WCHAR wch;
    bool operator==(const KeyEvent& o) const { return bVk == o.bVk && bUp == o.bUp && wch == o.wch; }
};

// The events that type one character on the keyboard layout hkl, with Caps
// Lock on or off, in sending order: none, two, or four with Shift.
std::vector<KeyEvent> TranslateChar(WCHAR wch, HKL hkl, bool bCapsLock);

// The window whose thread's keyboard layout applies: the one with the keyboard
// focus, which may belong to another thread than the foreground window (UWP
// programs, consoles, WebView2 programs), else the foreground window itself.
HWND FocusWindow(HWND hForeground);

// What stands between a text and the window that would take its keys. Wine
// always has a foreground window, knows no integrity levels and never refuses
// input, so tests stand in for all three here.
struct Desktop {
    HWND (WINAPI* pfnGetForegroundWindow)();
    // TRUE when the window's process runs at a higher integrity level than
    // this one, or its level cannot be read: User Interface Privilege
    // Isolation drops the keys sent to it, and SendInput does not say so.
    BOOL (*pfnOutranks)(HWND hWnd);
    UINT (WINAPI* pfnSendInput)(UINT cInputs, LPINPUT pInputs, int cbSize);
};
extern Desktop g_desktop;

// Types the characters into the foreground window for the layout of the focus
// window's thread and the Caps Lock state, all their events in one call; CR,
// tab, escape and backspace press their keys. False when nothing could take
// the keys (no foreground window, or one that outranks this program, or with
// hOnlyInto another window in front), or when the system took fewer events
// than it was given. pnTyped, where given, gets how many of the text's code
// units went out whole.
bool TypeKeys(const std::wstring& text, HWND hOnlyInto = NULL, size_t* pnTyped = NULL);
// Presses Ctrl+V in the window in front, where TypeKeys would type: false
// where no window could take the keys.
bool PressPaste(HWND hOnlyInto = NULL);
// How many of the text's first code units make its first character: two for
// the halves of one beyond the first 65536, which are typed together.
size_t FirstCharLength(const std::wstring& text);
