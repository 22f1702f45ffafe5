// Several devices at one station: each profile's settings under a key of its
// own, its window named by it, a window per profile, the keys of two windows
// never mixed, and what each window writes to the event log.
#include <gtest/gtest.h>
#include <memory>
#include "../app/CommandLine.h"
#include "../events/EventLog.h"
#include "../fw/MessageBox.h"
#include "../res/resource.h"
#include "../serial/CommPort.h"
#include "../settings/Profiles.h"
#include "../settings/Settings.h"
#include "support/Fixtures.h"
#include "support/KeySink.h"
#include "support/Program.h"
#include "support/RunningWindow.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

namespace {

// The settings store serves one profile a process: this one for the scope.
struct SelectedProfile {
    explicit SelectedProfile(const char* pszName) { SelectProfile(pszName); }
    ~SelectedProfile() { SelectProfile(""); }
};

class Profiles : public WindowTest {
protected:
    SelectedProfile scale { "Scale" };
    EventRecorder events;
};

std::string RunEntry(const char* pszName)
{
    char value[MAX_PATH * 2] = "";
    DWORD cb = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, kRunKeyPath, pszName, RRF_RT_REG_SZ, NULL, value, &cb);
    return value;
}

} // namespace

TEST_F(Profiles, AProfileReadsAndSavesItsOwnKeyByTheSameRulesAndLeavesTheUnnamedSettingsAlone)
{
    Store::PutText("BAUDRATE", "4800");                               // the unnamed settings
    Store::PutText("BAUDRATE", "19200", Store::MACHINE, "Scale");     // preset by an administrator
    Store::PutText("PARITY", "Odd", Store::USER, "Scale");
    Store::PutText("DATABITS", "7", Store::POLICY, "Scale");
    PortSettings s;
    LoadPortSettings(s);
    EXPECT_EQ(std::string(s.m_strBaudRate) + (LPCSTR)s.m_strParity + (LPCSTR)s.m_strDataBits + (LPCSTR)s.m_strPort,
              "19200Odd7COM 1");
    s.m_strPort = "COM 2";
    SavePortSettings(s);
    auto stored = Store::Read(Store::MACHINE, "Scale");
    EXPECT_EQ(stored["COMMPORT"].bytes, std::string("COM 2", 6));
    EXPECT_EQ(stored["PARITY"].bytes, std::string("Odd", 4));
    EXPECT_EQ(stored.count("DATABITS"), 0u);   // the policy's, never saved
    EXPECT_TRUE(Store::Read(Store::USER, "Scale").empty());   // the user's copy went machine-wide
    EXPECT_EQ(Store::Read().size(), 1u);
    SelectProfile("");
    LoadPortSettings(s);
    EXPECT_EQ(std::string(s.m_strBaudRate) + (LPCSTR)s.m_strPort, "4800COM 1");
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];
}

TEST(ProfileNames, LettersDigitsSpacesDashAndUnderscoreUpTo32AndTheSwitchInAnyCase)
{
    for (std::string name : std::vector<std::string>{ "Scale", "Scanner 2", "lab-scale_A", std::string(32, 'x') })
        EXPECT_TRUE(IsProfileNameAllowed(name.c_str())) << name;
    for (std::string name : std::vector<std::string>{ "", " Scale", "Scale ", "a;b", "..\\Scale", "Wa\xcc\x88ge",
                                                      std::string(33, 'x') })
        EXPECT_FALSE(IsProfileNameAllowed(name.c_str())) << name;
    StartOptions start = ReadCommandLine(L"VimoBrindleQV.exe -PROFILE \"Scanner 2\" /open");
    EXPECT_EQ(std::string(start.strProfile) + (start.bOpenPort ? " open" : "") + (LPCSTR)start.strUnknown, "Scanner 2 open");
}

TEST_F(Profiles, AProfilesWindowIsNamedByItReportsItsPortToTheEventLogAndStartsWithWindows)
{
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKeyPath, "Brindlequaverly Scale");   // a failed run's
    RunningWindow w;
    EXPECT_EQ(Drive::Text(w.hwnd), "Scale - Brindlequaverly");
    for (bool bStarted : { true, false }) {
        SendMessageA(w.hwnd, WM_SYSCOMMAND, IDM_STARTWITHWINDOWS, 0);
        std::string entry = RunEntry("Brindlequaverly Scale");
        EXPECT_EQ(entry[0] == '"' && entry.find("\" /profile \"Scale\" /open") != std::string::npos, bStarted) << entry;
        EXPECT_EQ((GetMenuState(GetSystemMenu(w.hwnd, FALSE), IDM_STARTWITHWINDOWS, 0) & MF_CHECKED) != 0, bStarted);
    }
    // The installer's entry starts the window already: a user's would start a second.
    const char kMachineEntry[] = "\"C:\\VimoBrindleQV.exe\" /profile \"Scanner;scale\" /open";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKeyPath, "Brindlequaverly Profiles", REG_SZ, kMachineEntry, sizeof kMachineEntry);
    SendMessageA(w.hwnd, WM_SYSCOMMAND, IDM_STARTWITHWINDOWS, 0);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKeyPath, "Brindlequaverly Profiles");
    EXPECT_EQ(RunEntry("Brindlequaverly Scale"), "");
    EXPECT_NE(boxes.texts.at(0).find("for every user"), std::string::npos) << boxes.texts[0];
    {
        CBufferedCommPort holder;
        ASSERT_TRUE(holder.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
        w.Click(IDC_BTN_OPENCLOSE);
    }
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(std::string(tray.calls.back().nid.szTip), "Scale - Brindlequaverly (Port Open)");
    {
        VirtualLine::Unplugged device("COM1");
        ASSERT_TRUE(WaitUntil([&] { return w.Text(IDC_LABEL_STATUS) == "Port Status: Lost"; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return w.Text(IDC_LABEL_STATUS) == "Port Status: Open"; }));
    const std::pair<WORD, std::string> expected[] = {
        { EVENTLOG_ERROR_TYPE, "the port was refused. " + std::string(SystemErrorText(ERROR_ACCESS_DENIED)) },
        { EVENTLOG_INFORMATION_TYPE, "the port opened." },
        { EVENTLOG_WARNING_TYPE, "the device has gone; the port is looked for once a second." },
        { EVENTLOG_INFORMATION_TYPE, "the device is back; the port is open again." },
    };
    ASSERT_EQ(events.entries.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); i++) {
        EXPECT_EQ(events.entries[i].wType, expected[i].first) << i;
        EXPECT_EQ(events.entries[i].text, "Profile Scale, port COM 1: " + expected[i].second) << i;
    }
    EXPECT_EQ(boxes.texts.size(), 2u);   // the refused open's own, and no other
}

// Each scan's keys arrive together and in its own order, whichever window
// typed first: the scanner's at once, the scale's paced.
TEST_F(ClearedStore, TwoProfilesTypingAtTheSameMomentIntoOneWindowNeverMixTheirKeys)
{
    for (const char* profile : { "Scanner", "Scale" })
        Store::PutText("ScanAtOnce", "1", Store::USER, profile);
    Store::PutText("ScanSuffix", "{TAB}", Store::USER, "Scanner");
    for (auto value : { std::make_pair("COMMPORT", "COM 2"), std::make_pair("ScanPattern", "^ST,GS,\\+0*(\\d+\\.\\d+)kg$"),
                        std::make_pair("ScanSuffix", "{ENTER}"), std::make_pair("KeyDelay", "2") })
        Store::PutText(value.first, value.second, Store::USER, "Scale");
    Program scanner("/profile Scanner /open", "Scanner - Brindlequaverly");
    Program scale("-profile scale -open", "scale - Brindlequaverly");
    for (const Program* p : { &scanner, &scale })
        ASSERT_TRUE(WaitUntil([&] { return p->Text(IDC_LABEL_STATUS) == "Port Status: Open"; }));
    KeySink sink;
    sink.Activate();
    std::vector<std::wstring> scans[2];
    for (int i = 0; i < 20; i++) {
        std::string code = "SCAN-" + std::to_string(i) + "-4006381333931";
        VirtualLine::Send("COM1", code + "\r");
        VirtualLine::Send("COM2", "ST,GS,+000" + std::to_string(i) + ".25kg\r\n");
        scans[0].push_back(std::wstring(code.begin(), code.end()) + L"\r\t");
        scans[1].push_back(std::to_wstring(i) + L".25\r");
        sink.Pump(100);
    }
    sink.WaitForChars(10 * 22 + 10 * 23 + 10 * 5 + 10 * 6, 20000);   // 20 codes, 20 weights
    std::string typed(sink.text.begin(), sink.text.end());
    size_t next[2] = {}, at = 0;
    while (at < sink.text.size()) {
        int d = sink.text[at] == L'S' ? 0 : 1;
        ASSERT_LT(next[d], scans[d].size()) << typed;
        ASSERT_EQ(sink.text.substr(at, scans[d][next[d]].size()), scans[d][next[d]]) << "at " << at << " in " << typed;
        at += scans[d][next[d]++].size();
    }
    EXPECT_EQ(next[0] + next[1], 40u) << typed;

    // Started again, a profile brings its one window forward, whatever the
    // name's case, and ends.
    EXPECT_TRUE(RunProgramToEnd("/profile SCANNER", 10000));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(scanner.hwnd) != FALSE; }));
    EXPECT_TRUE(scanner.Running());
}

// A policy of the program holds in every profile, a profile's own fixes more
// on top, PROFILES limits which may start, and a change is taken at once.
TEST_F(Profiles, TheProgramsPoliciesHoldInEveryProfileAndAChangeIsTakenWhileItRuns)
{
    Store::PutText("BAUDRATE", "4800", Store::POLICY);
    Store::PutText("PARITY", "Odd", Store::POLICY, "Scale");
    Store::PutText("BAUDRATE", "19200", Store::USER, "Scale");
    {
        RunningWindow w;
        EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE) + w.Text(IDC_COMBO_PARITY), "4800Odd");
        Store::PutText("BAUDRATE", "2400", Store::POLICY);
        SendMessageA(w.hwnd, WM_SETTINGCHANGE, 0, (LPARAM)"Policy");
        EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "2400");
    }
    Store::PutText(kProfilesPolicy, "Scanner;Scale", Store::POLICY);
    EXPECT_EQ(std::string(ProfileRefusal("SCALE")), "");
    Program other("/profile Lab", "Brindlequaverly");
    EXPECT_EQ(other.TakeMessageBox().at(1), "The profile \"Lab\" may not be started here: a policy allows only these profiles: Scanner, "
                      "Scale. The program starts without a profile.");
}

namespace {

// The scanner's and the scale's windows, each port open and read as soon as
// a scan has arrived; the scale's on COM 2, its keys paced.
class TwoProfiles : public ClearedStore {
protected:
    void Start(const char* pszScannerArguments)
    {
        for (const char* profile : { "Scanner", "Scale" })
            Store::PutText("ScanAtOnce", "1", Store::USER, profile);
        Store::PutText("COMMPORT", "COM 2", Store::USER, "Scale");
        Store::PutText("KeyDelay", "30", Store::USER, "Scale");
        scanner = std::make_unique<Program>(pszScannerArguments, "Scanner - Brindlequaverly");
        scale = std::make_unique<Program>("/profile Scale /open", "Scale - Brindlequaverly");
        ASSERT_TRUE(WaitUntil([&] { return scale->Text(IDC_LABEL_STATUS) == "Port Status: Open"; }));
    }
    std::unique_ptr<Program> scanner, scale;
    KeySink front;
};

} // namespace

// The scanner brings its target to front only once the scale's keys are out.
TEST_F(TwoProfiles, ATargetComesToFrontOnlyOnceAnotherProfilesPacedKeysAreOut)
{
    Store::PutText("TargetWindow", "Scan target", Store::USER, "Scanner");
    Store::PutText("TargetActivate", "1", Store::USER, "Scanner");
    Start("/profile Scanner /open");
    ASSERT_TRUE(WaitUntil([&] { return scanner->Text(IDC_LABEL_STATUS) == "Port Status: Open"; }));
    KeySink target;
    SetWindowTextA(target.hwnd(), "Scan target");
    front.Activate();
    VirtualLine::Send("COM2", "0123456789\r");
    ASSERT_TRUE(front.WaitForChars(2));
    VirtualLine::Send("COM1", "ABC\r");
    target.WaitForChars(4, 10000);
    front.Pump(300);
    EXPECT_EQ(front.text, L"0123456789\r");
    EXPECT_EQ(target.text, L"ABC\r");
}

// The scale's Enter would press the OK of the scanner's About box.
TEST_F(TwoProfiles, AScanIsNotTypedIntoAnotherProfilesDialog)
{
    Start("/profile Scanner");
    PostMessageA(scanner->hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_TRUE(WaitUntil([&] {
        front.Pump(20);
        return GetWindow(GetForegroundWindow(), GW_OWNER) == scanner->hwnd;
    }));
    VirtualLine::Send("COM2", "42\r");
    ASSERT_TRUE(WaitUntil([&] { return scale->Text(IDC_EDIT_LASTSCAN) == "42\r"; }));
    front.Pump(300);
    EXPECT_TRUE(scanner->HasMessageBox());
    EXPECT_EQ(front.text, L"");
}
