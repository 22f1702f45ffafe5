// Typing scans by the rules through the typing class alone: what the repeat
// memory keeps when keys are refused, and keys paced at the key delay.
#include <gtest/gtest.h>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include "../scan/ScanTyper.h"
#include "support/KeySink.h"
#include "support/Recorders.h"

namespace {

// The typer works for a window of another thread than the key sink's, as
// the program's window is never the one that takes the keys; its pace timer
// ticks there.
class Typer : public ::testing::Test {
protected:
    Typer()
    {
        HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
        m_thread = std::thread([this, hReady] {
            m_hWnd = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
            typer.SetWindow(m_hWnd);
            SetEvent(hReady);
            MSG msg;
            while (GetMessageA(&msg, NULL, 0, 0) > 0) {
                if (msg.message == WM_TIMER && msg.wParam == kPaceTimer)
                    typer.TypeNextKey();
                else if (msg.message == WM_APP)
                    (*(const std::function<void()>*)msg.lParam)();
            }
            DestroyWindow(m_hWnd);
        });
        WaitForSingleObject(hReady, INFINITE);
        CloseHandle(hReady);
        sink.Activate();
    }
    ~Typer() override
    {
        PostMessageA(m_hWnd, WM_QUIT, 0, 0);
        m_thread.join();
    }
    // Runs f on the typer's thread; the sink takes the keys meanwhile.
    void Run(const std::function<void()>& f)
    {
        HANDLE hDone = CreateEventA(NULL, TRUE, FALSE, NULL);
        std::function<void()> call = [&] { f(); SetEvent(hDone); };
        PostMessageA(m_hWnd, WM_APP, 0, (LPARAM)&call);
        while (MsgWaitForMultipleObjects(1, &hDone, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            sink.Pump(0);
        CloseHandle(hDone);
    }
    void TakeRules(const RuleSettings& settings) { Run([&] { EXPECT_EQ(typer.TakeRules(settings), ""); }); }
    std::wstring Type(const std::wstring& scan)
    {
        std::wstring shown;
        Run([&] { shown = typer.Type(scan); });
        return shown;
    }

    static const UINT_PTR kPaceTimer = 5;
    CTargetWindow target;
    CScanLog log;
    CWebFeed web;
    CReceivedData received;
    CScanTyper typer { kPaceTimer, target, log, web, received };
    KeySink sink;
    BeepRecorder beeps;

private:
    HWND m_hWnd = NULL;
    std::thread m_thread;
};

RuleSettings SkipRepeats(const char* pszKeyDelay = "")
{
    RuleSettings settings;
    settings.m_strSuffix = "{ENTER}";
    settings.m_strSkipRepeats = "1";
    settings.m_strKeyDelay = pszKeyDelay;
    return settings;
}

} // namespace

// With the workstation locked nothing takes the keys: the same code scanned
// again once it is unlocked must be typed, not skipped as a repeat.
TEST_F(Typer, AValueWhoseKeysWereRefusedIsNotSkippedAsARepeat)
{
    TakeRules(SkipRepeats());
    DesktopStandIn desktop;
    desktop.bNoForeground = true;
    Type(L"123");
    desktop.bNoForeground = false;
    EXPECT_EQ(Type(L"123"), L"123\r");
    EXPECT_EQ(Type(L"123"), L"123");   // now a repeat: shown as it came, nothing typed
    ASSERT_TRUE(sink.WaitForChars(4));
    sink.Pump(100);
    EXPECT_EQ(sink.text, L"123\r");
    EXPECT_EQ(beeps.beeps, (std::vector<UINT>{ MB_ICONHAND, MB_ICONASTERISK }));
}

// Paced keys go one a tick; a scan that comes meanwhile is compared with the
// value still being typed, and one beep follows the last key. A key refused
// on the way stops the typing, and its value is not kept.
TEST_F(Typer, PacedKeysBeepOnceAfterTheLastAndARefusalKeepsNoValue)
{
    TakeRules(SkipRepeats("10"));
    Run([&] {   // all three before the first tick
        typer.Type(L"ab");
        typer.Type(L"ab");
        typer.Type(L"c");
    });
    ASSERT_TRUE(sink.WaitForChars(5));
    sink.Pump(100);
    EXPECT_EQ(sink.text, L"ab\rc\r");
    EXPECT_EQ(beeps.beeps, std::vector<UINT>{ MB_ICONASTERISK });

    DesktopStandIn desktop;
    desktop.nCallsTaken = 1;
    Type(L"de");
    sink.Pump(200);
    desktop.nCallsTaken = SIZE_MAX;
    EXPECT_EQ(Type(L"de"), L"de\r");   // typed again: the refused one was never typed
    ASSERT_TRUE(sink.WaitForChars(9));
    sink.Pump(100);
    EXPECT_EQ(sink.text, L"ab\rc\rdde\r");
    EXPECT_EQ(beeps.beeps, (std::vector<UINT>{ MB_ICONASTERISK, MB_ICONHAND, MB_ICONASTERISK }));
}

// Keys paced into a target stop where focus leaves it mid-scan: none reaches
// the window in front then, the error sound plays, and the log and the
// notice say why, the log with how far the value got.
TEST_F(Typer, KeysForATargetStopWhereFocusLeavesItAndTheLogSaysWhy)
{
    wchar_t szPath[MAX_PATH];
    GetTempPathW(MAX_PATH, szPath);
    std::wstring path = std::wstring(szPath) + L"scan-target.csv";
    DeleteFileW(path.c_str());
    ASSERT_EQ(std::string(log.Take(CString(path))), "");
    auto pTarget = std::make_unique<KeySink>();
    SetWindowTextA(pTarget->hwnd(), "Scale entry");
    target.Take("scale *", false);
    TakeRules(SkipRepeats("100"));
    Type(L"12345678");
    ASSERT_TRUE(pTarget->WaitForChars(2));
    sink.Activate();
    sink.Pump(400);
    pTarget.reset();   // closed while its keys were typed: nothing to type into
    EXPECT_EQ(sink.text, L"");
    EXPECT_EQ(beeps.beeps, std::vector<UINT>{ MB_ICONHAND });
    CString strNotice;
    Run([&] { strNotice = typer.TakeNotice(); log.Flush(); });
    EXPECT_EQ(std::string(strNotice), "A scan was not typed: focus left scale *");

    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    size_t at = all.str().find(",12345678,not typed: focus left scale * after ");
    ASSERT_NE(at, std::string::npos) << all.str();
    EXPECT_NE(all.str().find(" of 9 characters\r\n", at), std::string::npos) << all.str();
}

static BOOL WINAPI FlashInstead(HWND) { return TRUE; }   // as Windows does for a program in the background

// Where Windows keeps the target from coming to front, nothing is typed, and
// into no other window either.
TEST_F(Typer, ATargetWindowsKeepsFromComingToFrontTypesNothing)
{
    KeySink behind;
    SetWindowTextA(behind.hwnd(), "Scale entry");
    sink.Activate();
    target.Take("Scale entry", true);
    TakeRules(RuleSettings());
    g_pfnBringToFront = FlashInstead;
    EXPECT_EQ(Type(L"42\r"), L"42\r");
    sink.Pump(400);   // the window is looked for in front for a while
    g_pfnBringToFront = SetForegroundWindow;
    EXPECT_EQ(sink.text + behind.text, L"");
    EXPECT_EQ(beeps.beeps, std::vector<UINT>{ MB_ICONHAND });
    CString strNotice;
    Run([&] { strNotice = typer.TakeNotice(); });
    EXPECT_EQ(std::string(strNotice), "A scan was not typed: Windows did not let Scale entry come to front");
}

// Another window that hangs holding the desktop's keys holds this one's scan
// for 10 seconds at most: then it is not typed, with the error sound.
TEST_F(Typer, AScanWaitsForTheKeysOfAHungWindowTenSecondsAtMost)
{
    CKeysLock hung;
    ASSERT_TRUE(hung.TryTake());
    TakeRules(RuleSettings());
    Type(L"1");
    sink.Pump(10500);
    hung.Release();
    Type(L"2");
    sink.WaitForChars(1);
    EXPECT_EQ(sink.text, L"2");
    EXPECT_EQ(beeps.beeps, (std::vector<UINT>{ MB_ICONHAND, MB_ICONASTERISK }));
}

// A clipboard another program holds is waited for, then the value is not
// typed: the error sound, the notice, and the reason where the log and the
// Received Data window show it.
TEST_F(Typer, APasteIntoAClipboardAnotherProgramHoldsIsNotTypedAndSaysWhy)
{
    RuleSettings settings;
    settings.m_strTypeBy = "paste";
    TakeRules(settings);
    ASSERT_TRUE(OpenClipboard(sink.hwnd()));
    EXPECT_EQ(Type(L"42"), L"42");
    CloseClipboard();
    sink.Pump(100);
    EXPECT_EQ(sink.text, L"");
    EXPECT_EQ(beeps.beeps, std::vector<UINT>{ MB_ICONHAND });
    CString strNotice;
    Run([&] { strNotice = typer.TakeNotice(); });
    EXPECT_EQ(std::string(strNotice), "A scan was not typed: another program holds the clipboard");
    ULONGLONG nFrom = 0;
    std::vector<ReceivedEntry> entries = received.Since(nFrom);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].result, L"not typed: another program holds the clipboard");

    settings.m_strTypeBy = "Clipboard";
    Run([&] { EXPECT_EQ(std::string(typer.TakeRules(settings)), "Type by: it must be Keys or Paste; scans are typed as keys."); });
}
