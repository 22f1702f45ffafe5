// The real program typing into a window of the test under the keyboard layout
// that tests/layouts.sh gave the X display (WEDGE_LAYOUT names it): every
// printable character arrives as the device sent it, also with Caps Lock on.
#include <gtest/gtest.h>
#include <cstdlib>
#include "../res/resource.h"
#include "support/Fixtures.h"
#include "support/KeySink.h"
#include "support/Program.h"
#include "support/VirtualLine.h"

namespace {

bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

class Layout : public ClearedStore {
protected:
    void SetUp() override
    {
        ClearedStore::SetUp();
        const char* layout = getenv("WEDGE_LAYOUT");
        ASSERT_TRUE(layout != NULL) << "run through tests/layouts.sh, which sets the X layout";
        // Wine's GetKeyboardLayout names the locale, not the keyboard; its
        // key lookup shows the layout. On de and fr "@" needs AltGr.
        ASSERT_EQ(HIBYTE(VkKeyScanW(L'@')) & 6, 6) << "Wine does not type with the layout " << layout;
        p.Click(IDC_BTN_OPENCLOSE);
        ASSERT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Close Port");
        sink.Activate();
    }
    std::wstring Scan(const std::string& bytes, size_t nExpected)
    {
        sink.text.clear();
        sink.events.clear();
        VirtualLine::Send("COM1", bytes);
        sink.WaitForChars(nExpected, 10000);
        sink.Pump(700);   // two more polls: nothing else may come
        return sink.text;
    }

    Program p;
    KeySink sink;
};

// Presses Caps Lock in the sink, as a user would, and puts it back at the end.
class CapsLock {
public:
    explicit CapsLock(KeySink& sink) : m_sink(sink) { Toggle(); }
    ~CapsLock() { if (CapsLockOn()) Toggle(); }
private:
    void Toggle()
    {
        PressKey(VK_CAPITAL);
        m_sink.Pump(100);
    }
    KeySink& m_sink;
};

} // namespace

TEST_F(Layout, EveryPrintableAsciiCharacterArrivesAndCrIsOneEnter)
{
    std::string scan;
    for (int c = 32; c < 127; c++) scan += (char)c;
    scan += '\r';
    EXPECT_EQ(Scan(scan, scan.size()), std::wstring(scan.begin(), scan.end()));
    int enters = 0;
    for (auto& e : sink.events) enters += (e.msg == WM_KEYDOWN && e.wParam == VK_RETURN);
    EXPECT_EQ(enters, 1);
}

TEST_F(Layout, WithCapsLockOnLettersAndDigitsArriveAsSentAndCapsLockStaysOn)
{
    CapsLock caps(sink);
    ASSERT_TRUE(CapsLockOn());
    EXPECT_EQ(Scan("abcXYZ123\r", 10), L"abcXYZ123\r");
    sink.Pump(100);
    EXPECT_TRUE(CapsLockOn());
}
