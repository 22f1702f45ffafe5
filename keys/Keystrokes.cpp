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

} // namespace

std::vector<KeyEvent> TranslateChar(unsigned char c)
{
    if (isdigit(c))
        return Stroke(c, false);
    if (isupper(c) && isalpha(c))
        return Stroke(c, true);
    if (islower(c) && isalpha(c))
        return Stroke((BYTE)(c - 32), false);
    for (const KeyRow& row : kPunctuation) {
        if (row.c == c)
            return Stroke(row.bVk, row.bShift);
    }
    if (c >= 128) {
        WCHAR wch = AnsiCharacter(c);
        if (wch == 0)
            return {};
        return { { 0, FALSE, wch }, { 0, TRUE, wch } };
    }
    // Backspace, tab, Enter and Escape have their own byte as key code; the other
    // control bytes and DEL would press mouse buttons, modifiers or lock keys.
    if (c == VK_BACK || c == VK_TAB || c == VK_RETURN || c == VK_ESCAPE)
        return Stroke(c, false);
    return {};
}

static void SendKeyEvent(const KeyEvent& event)
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

void TypeText(const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); i++) {
        for (const KeyEvent& event : TranslateChar((unsigned char)strText[i]))
            SendKeyEvent(event);
    }
}
