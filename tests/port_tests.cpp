// Opening and closing the port from the main window, and what the two timers
// make of what the line delivers: typed text, one beep, the Last Scan display
// and the blinking tray icon.
#include <gtest/gtest.h>
#include <memory>
#include <windows.h>
#include <commctrl.h>
#include "../res/resource.h"
#include "support/Fixtures.h"
#include "support/Lists.h"
#include "support/RunningWindow.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

namespace {

class PortControl : public WindowTest {
protected:
    void Type(RunningWindow& w, int nID, const char* text) { SetWindowTextA(w.Item(nID), text); }
    // Lets the poll timer run while the sink takes what is typed.
    void Wait(KeySink& sink, DWORD ms) { sink.Pump(ms); }
    std::string LastTip() const
    {
        for (auto it = tray.calls.rbegin(); it != tray.calls.rend(); ++it)
            if (it->dwMessage == NIM_MODIFY) return it->nid.szTip;
        return "";
    }
};

} // namespace

TEST_F(PortControl, OpeningSwitchesEverythingToTheOpenStateSavesAndHides)
{
    RunningWindow w;
    Type(w, IDC_COMBO_BAUDRATE, "19200");
    Type(w, IDC_COMBO_PARITY, "even");     // compared upper-cased; the list then shows its item
    Type(w, IDC_COMBO_STOPBITS, "2");
    w.Click(IDC_BTN_OPENCLOSE);
    ASSERT_TRUE(boxes.texts.empty()) << boxes.texts[0];
    EXPECT_FALSE(VirtualLine::PortFree("COM1"));
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Open");
    EXPECT_EQ(LastTip(), "Vimo Brindlequaverly V1.5 (Port Open)");
    EXPECT_EQ(tray.calls.back().nid.hIcon, TestApp().m_iconSet[1]);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));
    EXPECT_TRUE(ListsEnabled(w.hwnd, false));

    auto tty = VirtualLine::Settings("COM1");
    EXPECT_EQ(tty["speed"], "19200");
    EXPECT_EQ(tty["cstopb"], "1");
    auto stored = Store::Read();
    const std::pair<const char*, const char*> expected[] = {
        { "COMMPORT", "COM 1" }, { "BAUDRATE", "19200" }, { "DATABITS", "8" },
        { "PARITY", "Even" }, { "StopBit", "2" }, { "FlowControl", "None" } };
    ASSERT_EQ(stored.size(), 6u);
    for (auto& e : expected)
        EXPECT_EQ(stored[e.first].bytes, std::string(e.second) + '\0') << e.first;

    // Closing saves nothing and leaves the window where it is.
    Store::Clear();
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_TRUE(VirtualLine::PortFree("COM1"));
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_EQ(LastTip(), "Vimo Brindlequaverly V1.5 (Port Closed)");
    EXPECT_EQ(tray.calls.back().nid.hIcon, TestApp().m_iconSet[0]);
    EXPECT_FALSE(IsWindowVisible(w.hwnd));
    EXPECT_TRUE(ListsEnabled(w.hwnd, true));
    EXPECT_TRUE(Store::Read().empty());
}

TEST_F(PortControl, EachIncorrectSettingGetsItsMessageAndThePortStaysClosed)
{
    struct { const char *dataBits, *parity, *stopBits; std::vector<std::string> messages; } cases[] = {
        { "6", "None", "1", { "Data Bits is not correct!" } },
        { "5", "x", "1", { "Data Bits is not correct!", "Parity Value is not correct!" } },
        { "8", "Nonee", "1.50", { "Parity Value is not correct!", "Stop Bits Value is not correct!" } },
        { "", "", "", { "Data Bits is not correct!", "Parity Value is not correct!", "Stop Bits Value is not correct!" } },
    };
    RunningWindow w;
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dataBits << "/" << c.parity << "/" << c.stopBits);
        boxes.texts.clear();
        Type(w, IDC_COMBO_DATABITS, c.dataBits);
        Type(w, IDC_COMBO_PARITY, c.parity);
        Type(w, IDC_COMBO_STOPBITS, c.stopBits);
        w.Click(IDC_BTN_OPENCLOSE);
        EXPECT_EQ(boxes.texts, c.messages);
        EXPECT_TRUE(VirtualLine::PortFree("COM1"));
        EXPECT_TRUE(IsWindowVisible(w.hwnd));
        EXPECT_TRUE(ListsEnabled(w.hwnd, true));
    }
    EXPECT_TRUE(Store::Read().empty());
}

TEST_F(PortControl, APortThatCannotBeOpenedLeavesTheWindowAsItWas)
{
    RunningWindow w;
    CBufferedCommPort other;   // another program holds COM1
    ASSERT_TRUE(other.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{ "The specified port cannot be opened!" });
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(IsWindowVisible(w.hwnd));
    EXPECT_TRUE(Store::Read().empty());
    other.Close();
    EXPECT_TRUE(VirtualLine::PortFree("COM1"));   // the refused window keeps nothing

    // An empty port name is no request at all.
    boxes.texts.clear();
    Type(w, IDC_COMBO_PORT, "");
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(VirtualLine::PortFree("COM1"));
}

TEST_F(PortControl, AScanInManyReadsIsShownTypedAndBeepedOnceWholeAndTheDisplayKeepsIt)
{
    ScanningWindow w(" COM 12 ");   // trimmed, spaces removed: COM12:
    ASSERT_FALSE(VirtualLine::PortFree("COM12"));
    // Read on within a tick, and by the gather timer after it.
    std::unique_ptr<SlowReads> slow;
    w.OnWindowThread([&] { slow.reset(new SlowReads); });
    VirtualLine::Send("COM12", "4006381333931\r\n");
    ASSERT_TRUE(w.sink.WaitForChars(14));
    w.OnWindowThread([&] { slow.reset(); });
    Wait(w.sink, 400);
    EXPECT_EQ(w.sink.text, L"4006381333931\r");
    EXPECT_EQ(beeps.beeps, std::vector<UINT>{ MB_ICONASTERISK });
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "4006381333931\r\n");

    // Blink ticks alternate the icons, and the Last Scan still holds the scan
    // although every poll since came back empty.
    size_t before = tray.calls.size();
    Wait(w.sink, 2100);
    std::vector<HICON> icons;
    for (size_t i = before; i < tray.calls.size(); i++) icons.push_back(tray.calls[i].nid.hIcon);
    ASSERT_GE(icons.size(), 2u);
    EXPECT_NE(icons[0], icons[1]);
    // The window brought back from the tray shows it, and so does each repaint.
    SetWindowTextA(w.Item(IDC_EDIT_LASTSCAN), "");
    SendMessageA(w.hwnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "4006381333931\r\n");
    SetWindowTextA(w.Item(IDC_EDIT_LASTSCAN), "");
    RedrawWindow(w.hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    w.Sync();
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "4006381333931\r\n");
    EXPECT_EQ(beeps.beeps.size(), 1u);
}

TEST_F(PortControl, ABurstOfSixHundredBytesIsTypedWholeWithOneBeep)
{
    ScanningWindow w;
    std::string burst = VirtualLine::Burst(600);
    VirtualLine::Send("COM1", burst);
    ASSERT_TRUE(w.sink.WaitForChars(600, 20000));
    Wait(w.sink, 700);
    EXPECT_EQ(w.sink.text, std::wstring(burst.begin(), burst.end()));
    EXPECT_EQ(beeps.beeps.size(), 1u);
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), burst);
}

TEST_F(PortControl, AScanWhileTheWindowIsInFrontIsShownButNotTyped)
{
    ScanningWindow w;
    ShowWindow(w.hwnd, SW_SHOW);
    SetForegroundWindow(w.hwnd);
    Wait(w.sink, 200);
    ASSERT_EQ(GetForegroundWindow(), w.hwnd);
    VirtualLine::Send("COM1", "PO-2026/118-AB\r");
    Wait(w.sink, 900);
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "PO-2026/118-AB\r");
    EXPECT_TRUE(w.sink.text.empty());
    EXPECT_TRUE(beeps.beeps.empty());
}

TEST_F(PortControl, ADeviceGoneIsShownLostWithoutBlinkingAndOpenAgainWhenBack)
{
    ScanningWindow w;
    VirtualLine::Unplugged device("COM1");
    ASSERT_TRUE(w.WaitForStatus("Port Status: Lost"));
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    EXPECT_EQ(LastTip(), "Vimo Brindlequaverly V1.5 (Port Lost)");
    EXPECT_EQ(tray.calls.back().nid.hIcon, TestApp().m_iconSet[0]);
    EXPECT_TRUE(ListsEnabled(w.hwnd, false));
    // Tries that find nothing change nothing and show nothing.
    size_t nCalls = tray.calls.size();
    Wait(w.sink, 2500);
    EXPECT_EQ(tray.calls.size(), nCalls);
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];

    device.PlugIn();
    ASSERT_TRUE(w.WaitForStatus("Port Status: Open"));
    EXPECT_FALSE(VirtualLine::PortFree("COM1"));
    EXPECT_EQ(LastTip(), "Vimo Brindlequaverly V1.5 (Port Open)");
    EXPECT_EQ(tray.calls.back().nid.hIcon, TestApp().m_iconSet[1]);
    Wait(w.sink, 2200);   // blinking again
    EXPECT_GT(tray.calls.size(), nCalls + 1);
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];

    // Lost again, then the button: closed as ever, and no more tries.
    VirtualLine::Unplugged again("COM1");
    ASSERT_TRUE(w.WaitForStatus("Port Status: Lost"));
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(w.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_EQ(LastTip(), "Vimo Brindlequaverly V1.5 (Port Closed)");
    EXPECT_TRUE(ListsEnabled(w.hwnd, true));
    again.PlugIn();
    Wait(w.sink, 1500);
    EXPECT_TRUE(VirtualLine::PortFree("COM1"));
    EXPECT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Closed");
}

TEST_F(PortControl, AScanWhileTheAboutBoxIsInFrontIsShownButNotTypedAndLeavesItOpen)
{
    ScanningWindow w;
    ShowWindow(w.hwnd, SW_SHOW);
    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hAbout = FindWindowA("#32770", "About VimoBrindleQVmfc")) != NULL; }));
    SetForegroundWindow(hAbout);
    Wait(w.sink, 200);
    ASSERT_EQ(GetForegroundWindow(), hAbout);
    // Its Enter would close the box.
    VirtualLine::Send("COM1", "4006381333931\r");
    Wait(w.sink, 900);
    EXPECT_TRUE(IsWindow(hAbout));
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "4006381333931\r");
    EXPECT_TRUE(w.sink.text.empty());
    EXPECT_TRUE(beeps.beeps.empty());
    PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hAbout); }));
}

// The About box runs a loop of its own, in which the ticks go on.
TEST_F(PortControl, ADeviceGoneWhileTheAboutBoxIsOpenIsFoundAgainBehindIt)
{
    ScanningWindow w;
    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hAbout = FindWindowA("#32770", "About VimoBrindleQVmfc")) != NULL; }));
    {
        VirtualLine::Unplugged device("COM1");
        EXPECT_TRUE(w.WaitForStatus("Port Status: Lost"));
        device.PlugIn();
        EXPECT_TRUE(w.WaitForStatus("Port Status: Open"));
    }
    EXPECT_TRUE(IsWindow(hAbout));
    PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hAbout); }));
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];
}

TEST_F(PortControl, AScanNothingCanTakeIsShownNotTypedAndSoundsTheError)
{
    ScanningWindow w;
    DesktopStandIn desktop;
    desktop.bNoForeground = true;   // a locked workstation, a UAC prompt
    VirtualLine::Send("COM1", "4006381333931\r");
    Wait(w.sink, 900);
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "4006381333931\r");
    desktop.bNoForeground = false;
    desktop.bOutranked = true;      // an elevated program in front
    VirtualLine::Send("COM1", "9780201379624\r");
    Wait(w.sink, 900);
    EXPECT_EQ(w.Text(IDC_EDIT_LASTSCAN), "9780201379624\r");
    EXPECT_TRUE(w.sink.text.empty());
    EXPECT_EQ(beeps.beeps, std::vector<UINT>(2, MB_ICONHAND));
}

TEST_F(PortControl, AReadFailingAsARemovedDevicesDoesLosesThePortUntilItReadsAgain)
{
    ScanningWindow w;
    // Made and ended on the window's thread, between two of its reads.
    std::unique_ptr<FailingReads> reads;
    w.OnWindowThread([&] { reads.reset(new FailingReads(ERROR_GEN_FAILURE)); });
    ASSERT_TRUE(w.WaitForStatus("Port Status: Lost"));
    w.OnWindowThread([&] { reads.reset(); });
    ASSERT_TRUE(w.WaitForStatus("Port Status: Open"));
    w.sink.Activate();
    VirtualLine::Send("COM1", "12345\r");
    EXPECT_TRUE(w.sink.WaitForChars(6));
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];
}

// The dialog's preview follows the scans while nothing is typed into it; a
// refused pattern is said in a box, and the stored rules stay as they were.
TEST_F(PortControl, TheScanRulesPreviewFollowsScansAndARefusedPatternKeepsTheOldRules)
{
    Store::PutText("ScanPattern", "^ST,GS,[+-]0*(\\d+\\.\\d+)kg$", Store::USER);
    Store::PutText("ScanSuffix", "{ENTER}", Store::USER);
    auto stored = Store::Read(Store::USER);
    RunningWindow w;
    w.Click(IDC_BTN_OPENCLOSE);
    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    HWND hRules = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hRules = FindWindowA("#32770", "Scan Rules")) && IsWindowVisible(hRules); }));
    VirtualLine::Send("COM1", "ST,GS,+0001.23kg\r\n");
    EXPECT_TRUE(WaitUntil([&] { return Drive::Text(GetDlgItem(hRules, IDC_EDIT_PREVIEWTYPED)) == "1.23{ENTER}"; }));
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_PREVIEWSCAN)), "ST,GS,+0001.23kg<CR><LF>");
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_SUFFIX)), "{ENTER}");

    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_PATTERN), "(\\d+");
    // The log's page, chosen as a click on its tab chooses it.
    HWND hTabs = GetDlgItem(hRules, IDC_TAB_PAGES);
    SendMessageA(hTabs, TCM_SETCURSEL, 1, 0);
    NMHDR change = { hTabs, IDC_TAB_PAGES, TCN_SELCHANGE };
    SendMessageA(hRules, WM_NOTIFY, IDC_TAB_PAGES, (LPARAM)&change);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hRules, IDC_EDIT_PATTERN)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(hRules, IDC_EDIT_LOGFILE)));
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_LOGFILE), "scans.csv");
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_WEBPORT), "8080");
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_LABEL_WEBADDRESS)).find("Pages connect to ws://127.0.0.1:8080/"), 0u);
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_WEBPORT), "80");
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_WEBORIGINS), "https://pos.example.com/");
    // The device's page: the request shown as it goes out, and a hotkey that would take a letter from typing.
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_REQUEST), "\\eP\\r\\n");
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_LABEL_REQUESTSENDS)), "Sends: <ESC>P<CR><LF>");
    SetWindowTextA(GetDlgItem(hRules, IDC_EDIT_HOTKEY), "W");
    SendMessageA(hRules, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].find("Pattern: it is not a valid regular expression"), 0u) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nLog file: it must be a full path"), std::string::npos) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nWeb port: not a whole number from 1024"), std::string::npos) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nWeb origins: https://pos.example.com/ has a path"), std::string::npos);
    EXPECT_NE(boxes.texts[0].find("\nRequest hotkey: a letter"), std::string::npos) << boxes.texts[0];
    EXPECT_TRUE(IsWindow(hRules));
    SendMessageA(hRules, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hRules); }));
    EXPECT_EQ(Store::Read(Store::USER), stored);
}

// With a key delay the keys come one a tick; closing the port drops the
// rest. A stored pattern that does not compile is off, and so is a log file
// that cannot be one, and a box says so.
TEST_F(PortControl, KeysTypedAtTheKeyDelayStopWhenThePortClosesAndAFaultyPatternIsOff)
{
    Store::PutText("KeyDelay", "100", Store::USER);
    Store::PutText("ScanPattern", "(", Store::USER);
    Store::PutText("LogFile", "C:\\Scans\\aux.csv", Store::USER);
    Store::PutText("WebPort", "80", Store::USER);
    // A request interval out of range is off; a hotkey another program holds cannot be had.
    Store::PutText("RequestCommand", "SI\\r\\n", Store::USER);
    Store::PutText("RequestInterval", "50", Store::USER);
    Store::PutText("RequestHotkey", "F9", Store::USER);
    ASSERT_TRUE(RegisterHotKey(NULL, 1, MOD_NOREPEAT, VK_F9));
    KeySink sink;
    RunningWindow w;
    w.Click(IDC_BTN_OPENCLOSE);
    UnregisterHotKey(NULL, 1);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].find("These stored scan rules do not hold and are off:\nPattern: "), 0u);
    EXPECT_NE(boxes.texts[0].find("\nLog file: a name in it is a device's"), std::string::npos) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nWeb port: not a whole number"), std::string::npos) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nRequest every: "), std::string::npos) << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\nRequest hotkey: F9 cannot be had: "), std::string::npos) << boxes.texts[0];
    sink.Activate();
    VirtualLine::Send("COM1", "ABCDEFGHIJKLMNOPQRST\r");
    ASSERT_TRUE(sink.WaitForChars(3));
    w.Click(IDC_BTN_OPENCLOSE);   // the window answers while it types
    Wait(sink, 500);
    EXPECT_LT(sink.text.size(), 10u);
    EXPECT_EQ(sink.text, std::wstring(L"ABCDEFGHIJ").substr(0, sink.text.size()));
    EXPECT_TRUE(beeps.beeps.empty());
}
