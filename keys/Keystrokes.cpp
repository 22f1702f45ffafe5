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

std::vector<KeyEvent> TranslateChar(WCHAR wch, HKL hkl, bool bCapsLock)
{
    // Backspace, tab, Enter and Escape have their own code as key code; the
    // other control characters and DEL would press mouse buttons, modifiers
    // or lock keys.
    if (wch == VK_BACK || wch == VK_TAB || wch == VK_RETURN || wch == VK_ESCAPE)
        return Stroke((BYTE)wch, false);
    if (wch < 32 || wch == 127)
        return {};

    // The United States key first, where this layout types the character with
    // it, so that on the United States layout every stroke stays as it was.
    BYTE bVk;
    bool bShift;
    if (wch < 128 && UsKey((unsigned char)wch, bVk, bShift) && ShiftThatTypes(bVk, bShift, bCapsLock, wch, hkl))
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

// The integrity level of a process: the last part of its token's mandatory label.
bool IntegrityLevel(HANDLE hProcess, DWORD& dwLevel)
{
    HANDLE hToken;
    if (!::OpenProcessToken(hProcess, TOKEN_QUERY, &hToken))
        return false;
    union {
        TOKEN_MANDATORY_LABEL label;
        BYTE bytes[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD cb = 0;
    BOOL bRead = ::GetTokenInformation(hToken, TokenIntegrityLevel, &info, sizeof info, &cb);
    ::CloseHandle(hToken);
    if (!bRead)
        return false;
    PSID pSid = info.label.Label.Sid;
    dwLevel = *::GetSidSubAuthority(pSid, *::GetSidSubAuthorityCount(pSid) - 1);
    return true;
}

BOOL OutranksThisProcess(HWND hWnd)
{
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId);
    if (hProcess == NULL)
        return TRUE;
    DWORD dwTheirs = 0, dwOurs = 0;
    bool bRead = IntegrityLevel(hProcess, dwTheirs);
    ::CloseHandle(hProcess);
    return !bRead || !IntegrityLevel(::GetCurrentProcess(), dwOurs) || dwTheirs > dwOurs;
}

// Each key carries its scan code on the layout: Remote Desktop, virtual
// machine consoles, games and browsers go by the scan code, not the key code.
void AddInputs(const std::vector<KeyEvent>& events, HKL hkl, std::vector<INPUT>& inputs)
{
    for (const KeyEvent& event : events) {
        inputs.push_back({});
        inputs.back().type = INPUT_KEYBOARD;
        KEYBDINPUT& ki = inputs.back().ki;
        ki.dwFlags = event.bUp ? KEYEVENTF_KEYUP : 0;
        if (event.wch != 0) {
            ki.wScan = event.wch;
            ki.dwFlags |= KEYEVENTF_UNICODE;
            continue;
        }
        UINT uScan = ::MapVirtualKeyExW(event.bVk, MAPVK_VK_TO_VSC_EX, hkl);
        ki.wVk = event.bVk;
        ki.wScan = LOBYTE(uScan);
        if (HIBYTE(uScan) == 0xE0 || HIBYTE(uScan) == 0xE1)
            ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
}

// How many of the inputs the system took.
UINT SendInputs(std::vector<INPUT>& inputs)
{
    return inputs.empty() ? 0 : g_desktop.pfnSendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

} // namespace

Desktop g_desktop = { ::GetForegroundWindow, OutranksThisProcess, ::SendInput };

HWND FocusWindow(HWND hForeground)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(hForeground, NULL), &info) && info.hwndFocus != NULL)
        return info.hwndFocus;
    return hForeground;
}

// The window in front, where it can take keys: it is hOnlyInto where one
// is named, and it does not outrank this program.
static HWND WindowTakingKeys(HWND hOnlyInto)
{
    HWND hForeground = g_desktop.pfnGetForegroundWindow();
    if (hForeground == NULL || (hOnlyInto != NULL && hForeground != hOnlyInto) || g_desktop.pfnOutranks(hForeground))
        return NULL;
    return hForeground;
}

static HKL FocusLayout(HWND hForeground)
{
    return ::GetKeyboardLayout(::GetWindowThreadProcessId(FocusWindow(hForeground), NULL));
}

bool TypeKeys(const std::wstring& text, HWND hOnlyInto, size_t* pnTyped)
{
    size_t nTyped = 0;
    if (pnTyped == NULL)
        pnTyped = &nTyped;
    *pnTyped = 0;
    HWND hForeground = WindowTakingKeys(hOnlyInto);
    if (hForeground == NULL)
        return false;
    HKL hkl = FocusLayout(hForeground);
    // This thread's own key state follows the Caps Lock of another program's
    // keyboard input; reading it through that program's thread instead
    // (AttachThreadInput) clears the thread's key state under Wine.
    bool bCapsLock = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    // One call for the whole text: no key of the user's, and no other
    // program's input, lands between Shift and its key or between two
    // characters, and a call's round trip to the system is paid once.
    std::vector<INPUT> inputs;
    std::vector<std::pair<size_t, size_t>> ends;   // after each character: the inputs, the code units
    for (size_t i = 0; i < text.size(); i++) {
        AddInputs(TranslateChar(text[i], hkl, bCapsLock), hkl, inputs);
        // The two halves of a character beyond the first 65536 go together.
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size())
            AddInputs(TranslateChar(text[++i], hkl, bCapsLock), hkl, inputs);
        ends.push_back({ inputs.size(), i + 1 });
    }
    UINT nTaken = SendInputs(inputs);
    for (const auto& end : ends) {
        if (end.first <= nTaken)
            *pnTyped = end.second;
    }
    return nTaken == inputs.size();
}

bool PressPaste(HWND hOnlyInto)
{
    HWND hForeground = WindowTakingKeys(hOnlyInto);
    if (hForeground == NULL)
        return false;
    std::vector<INPUT> inputs;
    AddInputs({ { VK_CONTROL, FALSE, 0 }, { 'V', FALSE, 0 }, { 'V', TRUE, 0 }, { VK_CONTROL, TRUE, 0 } },
              FocusLayout(hForeground), inputs);
    return SendInputs(inputs) == inputs.size();
}

size_t FirstCharLength(const std::wstring& text)
{
    return text.size() > 1 && IS_HIGH_SURROGATE(text[0]) ? 2 : 1;
}
