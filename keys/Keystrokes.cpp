#include "Keystrokes.h"
#include <cctype>

namespace {

struct KeyRow { unsigned char c; BYTE bVk; bool bShift; };

// Punctuation on the United States layout.
const KeyRow kPunctuation[] = {
    { ' ', VK_SPACE, false },     { '!', '1', true },           { '"', VK_OEM_7, true },
    { '#', '3', true },           { '$', '4', true },           { '%', '5', true },
    { '&', '7', true },           { '\'', VK_OEM_7, false },    { '(', '9', true },
    { ')', '0', true },           { '*', '8', true },           { '+', VK_OEM_PLUS, true },
    { ',', VK_OEM_COMMA, false }, { '-', VK_OEM_MINUS, false }, { '.', VK_OEM_PERIOD, false },
    { '/', VK_OEM_2, false },     { ':', VK_OEM_1, true },      { ';', VK_OEM_1, false },
    { '<', VK_OEM_COMMA, true },  { '=', VK_OEM_PLUS, false },  { '>', VK_OEM_PERIOD, true },
    { '?', VK_OEM_2, true },      { '@', '2', true },           { '[', VK_OEM_4, false },
    { '\\', VK_OEM_5, false },    { ']', VK_OEM_6, false },     { '^', '6', true },
    { '_', VK_OEM_MINUS, true },  { '`', VK_OEM_3, false },     { '{', VK_OEM_4, true },
    { '|', VK_OEM_5, true },      { '}', VK_OEM_6, true },      { '~', VK_OEM_3, true },
};

std::vector<KeyEvent> Stroke(BYTE bVk, bool bShift)
{
    if (bShift)
        return { { VK_SHIFT, FALSE, 0 }, { bVk, FALSE, 0 }, { bVk, TRUE, 0 }, { VK_SHIFT, TRUE, 0 } };
    return { { bVk, FALSE, 0 }, { bVk, TRUE, 0 } };
}

// The character a byte from 128 up stands for in the ANSI code page, or 0.
WCHAR AnsiCharacter(unsigned char c)
{
    char ch = (char)c;
    WCHAR wch = 0;
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &ch, 1, &wch, 1) != 1)
        return 0;
    return (wch >= 0x80 && wch < 0xA0) ? 0 : wch;   // C1 controls type nothing
}

// The key of the United States layout for an ASCII character, as the table
// and the letter and digit rules give it; none for any other byte.
bool UsKey(unsigned char c, BYTE& bVk, bool& bShift)
{
    bShift = false;
    if (isdigit(c)) {
        bVk = c;
        return true;
    }
    if (isupper(c) && isalpha(c)) {
        bVk = c;
        bShift = true;
        return true;
    }
    if (islower(c) && isalpha(c)) {
        bVk = (BYTE)(c - 32);
        return true;
    }
    for (const KeyRow& row : kPunctuation) {
        if (row.c == c) {
            bVk = row.bVk;
            bShift = row.bShift;
            return true;
        }
    }
    return false;
}

// Whether the key, with or without Shift and with the Caps Lock state, types
// exactly wch on the layout.
bool KeyTypes(BYTE bVk, bool bShift, bool bCapsLock, WCHAR wch, HKL hkl)
{
    BYTE state[256] = {};
    state[VK_SHIFT] = bShift ? 0x80 : 0;
    state[VK_CAPITAL] = bCapsLock ? 1 : 0;
    UINT uScan = ::MapVirtualKeyExW(bVk, MAPVK_VK_TO_VSC, hkl);
    WCHAR buf[4];
    // Flag 4: leave the dead-key state alone (Windows 10 on). Where it is not
    // known, a dead key answers -1 and a second press takes the accent back.
    int n = ::ToUnicodeEx(bVk, uScan, state, buf, 4, 4, hkl);
    if (n < 0)
        ::ToUnicodeEx(bVk, uScan, state, buf, 4, 4, hkl);
    return n == 1 && buf[0] == wch;
}

// The Shift state with which the key types wch: Caps Lock may turn the
// case of the key round, and then the opposite Shift brings it back.
bool ShiftThatTypes(BYTE bVk, bool& bShift, bool bCapsLock, WCHAR wch, HKL hkl)
{
    if (KeyTypes(bVk, bShift, bCapsLock, wch, hkl))
        return true;
    if (bCapsLock && KeyTypes(bVk, !bShift, bCapsLock, wch, hkl)) {
        bShift = !bShift;
        return true;
    }
    return false;
}

} // namespace

std::vector<KeyEvent> TranslateChar(unsigned char c, HKL hkl, bool bCapsLock)
{
    // Backspace, tab, Enter and Escape have their own byte as key code; the other
    // control bytes and DEL would press mouse buttons, modifiers or lock keys.
    if (c == VK_BACK || c == VK_TAB || c == VK_RETURN || c == VK_ESCAPE)
        return Stroke(c, false);
    if (c < 32 || c == 127)
        return {};
    WCHAR wch = c < 128 ? (WCHAR)c : AnsiCharacter(c);
    if (wch == 0)
        return {};

    // The United States key first, where this layout types the character with
    // it, so that on the United States layout every stroke stays as it was.
    BYTE bVk;
    bool bShift;
    if (UsKey(c, bVk, bShift) && ShiftThatTypes(bVk, bShift, bCapsLock, wch, hkl))
        return Stroke(bVk, bShift);
    // Then the layout's own key, if Shift at most is needed: strokes with Ctrl
    // and Alt (AltGr) do not give the character under Wine, and a dead key
    // would wait for the next one.
    SHORT nKey = ::VkKeyScanExW(wch, hkl);
    bVk = LOBYTE(nKey);
    bShift = (HIBYTE(nKey) & 1) != 0;
    if (nKey != -1 && (HIBYTE(nKey) & ~1) == 0 && ShiftThatTypes(bVk, bShift, bCapsLock, wch, hkl))
        return Stroke(bVk, bShift);
    return { { 0, FALSE, wch }, { 0, TRUE, wch } };
}

namespace {

void SendKeyEvent(const KeyEvent& event)
{
    if (event.wch == 0) {
        ::keybd_event(event.bVk, 0, event.bUp ? KEYEVENTF_KEYUP : 0, 0);
        return;
    }
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = event.wch;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (event.bUp ? KEYEVENTF_KEYUP : 0);
    ::SendInput(1, &input, sizeof(INPUT));
}

} // namespace

void TypeText(const CString& strText)
{
    DWORD dwThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), NULL);
    HKL hkl = ::GetKeyboardLayout(dwThread);
    // This thread's own key state follows the Caps Lock of another program's
    // keyboard input; reading it through that program's thread instead
    // (AttachThreadInput) clears the thread's key state under Wine.
    bool bCapsLock = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    for (int i = 0; i < strText.GetLength(); i++) {
        for (const KeyEvent& event : TranslateChar((unsigned char)strText[i], hkl, bCapsLock))
            SendKeyEvent(event);
    }
}
