// What each received byte types on the United States layout: the key events,
// with Caps Lock off and on, and the text that arrives in a real foreground
// window. The display's X layout is the United States one here.
#include <gtest/gtest.h>
#include <thread>
#include "../keys/Hotkey.h"
#include "../keys/Keystrokes.h"
#include "support/KeySink.h"
#include "support/Recorders.h"

namespace {

HKL UsLayout()
{
    static HKL hkl = LoadKeyboardLayoutA("00000409", 0);
    return hkl;
}
std::vector<KeyEvent> Us(unsigned char c) { return TranslateChar(c, UsLayout(), false); }

std::vector<KeyEvent> Plain(BYTE vk) { return { { vk, FALSE, 0 }, { vk, TRUE, 0 } }; }
std::vector<KeyEvent> Shifted(BYTE vk)
{
    return { { VK_SHIFT, FALSE, 0 }, { vk, FALSE, 0 }, { vk, TRUE, 0 }, { VK_SHIFT, TRUE, 0 } };
}

} // namespace

// What the layout makes of the strokes is the character itself.
TEST(Translation, EveryPrintableByteIsOneKeyThatTheUsLayoutTurnsIntoIt)
{
    for (int c = 32; c < 127; c++) {
        std::vector<KeyEvent> events = Us((unsigned char)c);
        ASSERT_TRUE(events.size() == 2 || events.size() == 4) << "byte " << c;
        bool bShift = events.size() == 4;
        BYTE bVk = events[bShift ? 1 : 0].bVk;
        BYTE state[256] = {};
        state[VK_SHIFT] = bShift ? 0x80 : 0;
        WCHAR buf[4] = {};
        int n = ToUnicodeEx(bVk, MapVirtualKeyExW(bVk, MAPVK_VK_TO_VSC, UsLayout()), state, buf, 4, 0, UsLayout());
        EXPECT_EQ(n, 1) << "byte " << c;
        EXPECT_EQ(buf[0], (WCHAR)c) << "byte " << c;
    }
}

TEST(Translation, ExamplesFromTheKeyboard)
{
    EXPECT_EQ(Us('A'), Shifted(65));
    EXPECT_EQ(Us('b'), Plain(66));
    EXPECT_EQ(Us('a')[0].bVk, Us('A')[1].bVk);
    EXPECT_EQ(Us(':'), Shifted(186));
    EXPECT_EQ(Us(';'), Plain(186));
    EXPECT_EQ(Us('\r'), Plain(VK_RETURN));
    EXPECT_EQ(Us('!'), Shifted('1'));
    EXPECT_EQ(Us(')'), Shifted('0'));
    EXPECT_EQ(Us('@'), Shifted('2'));
}

TEST(Translation, PlusIsShiftedSoItDoesNotTypeEquals)
{
    EXPECT_EQ(Us('+'), Shifted(VK_OEM_PLUS));
    EXPECT_EQ(Us('='), Plain(VK_OEM_PLUS));
}

TEST(Translation, BytesWhoseOwnCodeIsAnotherKeyAreMended)
{
    EXPECT_EQ(Us('<'), Shifted(VK_OEM_COMMA));
    EXPECT_EQ(Us('>'), Shifted(VK_OEM_PERIOD));
    EXPECT_EQ(Us('_'), Shifted(VK_OEM_MINUS));   // not VK_SLEEP
}

TEST(Translation, ControlBytesOtherThanTheFourEditingKeysSendNothing)
{
    // Their own codes are mouse buttons, Shift, Ctrl, Alt, Caps Lock and the like.
    for (int c : { 1, 2, 3, 4, 7, 10, 11, 12, 16, 17, 18, 20, 31, 127 })
        EXPECT_TRUE(Us((unsigned char)c).empty()) << "byte " << c;
    // So CR LF presses Enter once.
    EXPECT_EQ(Us('\n').size() + Us('\r').size(), 2u);
}

TEST(Translation, ACharacterWithoutAKeyIsOneUnicodeStroke)
{
    std::vector<KeyEvent> expected = { { 0, FALSE, 0x65E5 }, { 0, TRUE, 0x65E5 } };
    EXPECT_EQ(TranslateChar(0x65E5, UsLayout(), false), expected);
}

TEST(Translation, CapsLockTurnsTheShiftOfLettersRoundAndNothingElse)
{
    for (int c = 32; c < 256; c++) {
        std::vector<KeyEvent> expected = Us((unsigned char)c);
        if (c >= 'A' && c <= 'Z') expected = Plain((BYTE)c);
        if (c >= 'a' && c <= 'z') expected = Shifted((BYTE)(c - 32));
        EXPECT_EQ(TranslateChar((unsigned char)c, UsLayout(), true), expected) << "byte " << c;
    }
}

TEST(Translation, EveryCharacterEndsWithAllKeysReleased)
{
    for (int c = 0; c < 256; c++) {
        std::vector<KeyEvent> events = Us((unsigned char)c);
        ASSERT_TRUE(events.size() == 0 || events.size() == 2 || events.size() == 4) << c;
        if (events.empty()) continue;
        EXPECT_TRUE(events.back().bUp) << c;
        if (events.size() == 4) {
            EXPECT_EQ(events.front(), (KeyEvent{ VK_SHIFT, FALSE, 0 })) << c;
            EXPECT_EQ(events.back(), (KeyEvent{ VK_SHIFT, TRUE, 0 })) << c;
        }
        EXPECT_FALSE(events[events.size() / 2 - 1].bUp) << c;
    }
}

TEST(HotkeyNames, ModifiersAndKeysInAnyCaseAndKeysThatTypeNeedCtrlAltOrWin)
{
    const struct { const char* text; UINT fsModifiers; UINT vk; } kTaken[] = {
        { "F9", 0, VK_F9 }, { " ctrl + shift+w ", MOD_CONTROL | MOD_SHIFT, 'W' }, { "Win+Alt+F24", MOD_WIN | MOD_ALT, VK_F24 },
        { "Ctrl+NumPad0", MOD_CONTROL, VK_NUMPAD0 }, { "Ctrl+Space", MOD_CONTROL, VK_SPACE }, { "PageDown", 0, VK_NEXT },
    };
    for (const auto& taken : kTaken) {
        Hotkey hotkey;
        CString strReason;
        EXPECT_TRUE(ParseHotkey(taken.text, hotkey, strReason)) << taken.text;
        EXPECT_EQ(hotkey.fsModifiers, taken.fsModifiers | MOD_NOREPEAT) << taken.text;
        EXPECT_EQ(hotkey.vk, taken.vk) << taken.text;
    }
    for (const char* refused : { "", "F0", "F25", "Ctrl+", "Hyper+F1", "W", "Shift+7", "NumPad5", "Shift+NumPad0", "F9+Ctrl", "NumPad10" }) {
        Hotkey hotkey;
        CString strReason;
        EXPECT_FALSE(ParseHotkey(refused, hotkey, strReason)) << refused;
        EXPECT_FALSE(strReason.IsEmpty()) << refused;
    }
}

TEST(Typing, PrintableAsciiArrivesExactlyInTheForegroundWindow)
{
    KeySink sink;
    std::wstring text;
    for (int c = 32; c < 127; c++) text += (wchar_t)c;
    text += L"\t\r";
    EXPECT_TRUE(TypeKeys(text));
    ASSERT_TRUE(sink.WaitForChars(text.size()));
    sink.Pump(100);
    EXPECT_EQ(sink.text, text);
}

TEST(Typing, BackspaceEnterAndAScannerSuffix)
{
    KeySink sink;
    TypeKeys(L"AB\bC\r\n");
    ASSERT_TRUE(sink.WaitForChars(4));
    sink.Pump(100);
    EXPECT_EQ(sink.text, L"AB\bC\r");   // LF types nothing: one Enter for CR LF
    int enters = 0;
    for (auto& e : sink.events) enters += (e.msg == WM_KEYDOWN && e.wParam == VK_RETURN);
    EXPECT_EQ(enters, 1);
}

TEST(Typing, CharactersBeyondAsciiTypeThemselves)
{
    KeySink sink;
    TypeKeys(L"caf\u00e9 \u20ac5");
    ASSERT_TRUE(sink.WaitForChars(7));
    EXPECT_EQ(sink.text, L"caf\u00e9 \u20ac5");
}

TEST(Typing, AnEmptyTextSendsNothing)
{
    KeySink sink;
    TypeKeys(L"");
    sink.Pump(200);
    EXPECT_TRUE(sink.events.empty());
}

TEST(Typing, EveryKeyCarriesItsScanCodeOnTheLayout)
{
    KeySink sink;
    TypeKeys(L"Az9+-\r");
    ASSERT_TRUE(sink.WaitForChars(6));
    sink.Pump(100);
    int nKeyDowns = 0;
    for (auto& e : sink.events) {
        if (e.msg != WM_KEYDOWN) continue;
        nKeyDowns++;
        UINT uScan = MapVirtualKeyExW((UINT)e.wParam, MAPVK_VK_TO_VSC_EX, UsLayout());
        EXPECT_NE(uScan, 0u) << "key " << e.wParam;
        EXPECT_EQ((e.lParam >> 16) & 0xFF, (LPARAM)LOBYTE(uScan)) << "key " << e.wParam;
        EXPECT_EQ((e.lParam >> 24) & 1, (LPARAM)(HIBYTE(uScan) == 0xE0)) << "key " << e.wParam;
    }
    EXPECT_EQ(nKeyDowns, 8);   // Shift with A and with +
}

TEST(Typing, TheTextGoesInOneCallAndARefusedCallTypesNothing)
{
    KeySink sink;
    DesktopStandIn desktop;
    size_t nTyped = 99;
    EXPECT_TRUE(TypeKeys(L"Ab\u00e9", NULL, &nTyped));
    EXPECT_TRUE(sink.WaitForChars(3));
    EXPECT_EQ(nTyped, 3u);
    desktop.nCallsTaken = 1;
    EXPECT_FALSE(TypeKeys(L"cd", NULL, &nTyped));
    sink.Pump(200);
    EXPECT_EQ(sink.text, L"Ab\u00e9");
    EXPECT_EQ(nTyped, 0u);
    EXPECT_EQ(desktop.calls, (std::vector<UINT>{ 8, 4 }));
}

TEST(Typing, NothingIsTypedWithoutAForegroundWindowOrIntoOneThatOutranksTheProgram)
{
    KeySink sink;
    DesktopStandIn desktop;
    desktop.bNoForeground = true;
    EXPECT_FALSE(TypeKeys(L"123"));
    desktop.bNoForeground = false;
    desktop.bOutranked = true;
    EXPECT_FALSE(TypeKeys(L"456"));
    sink.Pump(200);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_TRUE(desktop.calls.empty());
    // A program of the same level, such as this test, takes the keys.
    desktop.bOutranked = false;
    EXPECT_TRUE(TypeKeys(L"7"));
    EXPECT_TRUE(sink.WaitForChars(1));
}

TEST(Typing, TheLayoutIsTheOneOfTheThreadWithTheFocus)
{
    // A program whose focus window belongs to another thread than its
    // top-level window, as UWP and WebView2 programs have it.
    KeySink sink;
    HWND hFocus = NULL;
    HANDLE hDone = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::thread other([&] {
        hFocus = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, sink.hwnd(), NULL, NULL, NULL);
        SetFocus(hFocus);
        MSG msg;
        while (MsgWaitForMultipleObjects(1, &hDone, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        DestroyWindow(hFocus);
    });
    sink.Pump(200);
    EXPECT_NE(GetWindowThreadProcessId(hFocus, NULL), GetWindowThreadProcessId(sink.hwnd(), NULL));
    EXPECT_EQ(FocusWindow(sink.hwnd()), hFocus);
    SetEvent(hDone);
    // The child's end sends to its parent's thread: pump until it is gone.
    while (IsWindow(hFocus)) sink.Pump(20);
    other.join();
    CloseHandle(hDone);
    EXPECT_EQ(FocusWindow(sink.hwnd()), sink.hwnd());
}
