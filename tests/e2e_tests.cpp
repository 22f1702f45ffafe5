// The real program as a user meets it: started as its own process, driven
// through its window, the tray host's icon and the keyboard, scanning into
// another program's window.
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include "../res/resource.h"
#include "../rules/DevicePresets.h"
#include "../rules/ScanRules.h"
#include "../serial/CommPort.h"
#include "support/Fixtures.h"
#include "support/KeySink.h"
#include "support/Lists.h"
#include "support/Program.h"
#include "support/Recorders.h"
#include "support/Store.h"
#include "support/VirtualLine.h"
#include "support/Wait.h"

namespace {

class EndToEnd : public ClearedStore {
protected:
    // Opens the port with the button and checks that no message came.
    void Open(const Program& p)
    {
        p.Click(IDC_BTN_OPENCLOSE);
        ASSERT_FALSE(p.HasMessageBox()) << p.TakeMessageBox()[1];
        ASSERT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    }
    // What the device sends, and what the sink then receives.
    std::wstring Scan(KeySink& sink, const std::string& port, const std::string& bytes,
                      size_t nExpected)
    {
        sink.text.clear();
        VirtualLine::Send(port, bytes);
        sink.WaitForChars(nExpected, 10000);
        sink.Pump(700);   // two more polls: nothing else may come
        return sink.text;
    }
};

} // namespace

TEST_F(EndToEnd, AScanIsTypedIntoTheForegroundWindowAfterAnOpenThatSavesAndHides)
{
    Program p;
    KeySink sink;
    p.SetText(IDC_COMBO_BAUDRATE, "19200");
    Open(p);
    EXPECT_FALSE(IsWindowVisible(p.hwnd));
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Open");
    EXPECT_TRUE(ListsEnabled(p.hwnd, false));
    auto stored = Store::Read();
    const std::pair<const char*, const char*> expected[] = {
        { "COMMPORT", "COM 1" }, { "BAUDRATE", "19200" }, { "DATABITS", "8" },
        { "PARITY", "None" }, { "StopBit", "1" }, { "FlowControl", "None" } };
    ASSERT_EQ(stored.size(), 6u);
    for (auto& e : expected)
        EXPECT_EQ(stored[e.first].bytes, std::string(e.second) + '\0') << e.first;
    EXPECT_EQ(VirtualLine::Settings("COM1")["speed"], "19200");

    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "4006381333931\r", 14), L"4006381333931\r");
    EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), "4006381333931\r");
    // Code 128 with letters and punctuation; CR LF at the end is one Enter.
    EXPECT_EQ(Scan(sink, "COM1", "AB-12/x.y+Z%$\r\n", 14), L"AB-12/x.y+Z%$\r");

    // A long 2D code at 115200 baud (some 0.09 ms a byte) is typed whole,
    // not in a piece a poll.
    std::string burst = VirtualLine::Burst(600);
    sink.text.clear();
    VirtualLine::Send("COM1", burst, 0.087);
    ASSERT_TRUE(sink.WaitForChars(600, 10000));
    EXPECT_EQ(sink.text, std::wstring(burst.begin(), burst.end()));
    EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), burst);

    // The close leaves the program hidden and saves nothing.
    Store::Clear();
    p.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_FALSE(IsWindowVisible(p.hwnd));
    EXPECT_TRUE(ListsEnabled(p.hwnd, true));
    EXPECT_TRUE(Store::Read().empty());
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));
}

TEST_F(EndToEnd, ScansSentByteByByteAtRandomMomentsOfThePollAreEachTypedInOnePiece)
{
    Program p;
    KeySink sink;
    Open(p);
    sink.Activate();
    for (int i = 0; i < 10; i++) {
        Sleep(rand() % 300);
        std::string scan = VirtualLine::Burst(11 + i * 3) + "\r";
        sink.text.clear();
        VirtualLine::Send("COM1", scan, 1.0);   // 9600 baud
        ASSERT_TRUE(sink.WaitForChars(scan.size()));
        EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), scan);   // not a second piece alone
    }
}

TEST_F(EndToEnd, AScanWhileTheProgramItselfIsInTheForegroundIsShownButNotTyped)
{
    Program p;
    KeySink sink;
    Open(p);
    p.OnTrayIcon(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(p.hwnd) != FALSE; }));
    SetForegroundWindow(p.hwnd);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == p.hwnd; }));
    std::string before[6];
    for (int i = 0; i < 6; i++) before[i] = p.Text(kLists[i]);

    EXPECT_EQ(Scan(sink, "COM1", "12345\r", 0), L"");
    EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), "12345\r");
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(p.Text(kLists[i]), before[i]) << "keys reached the program's own control " << kLists[i];
}

TEST_F(EndToEnd, IncorrectSettingsAndAHeldPortAreRefusedWithTheirMessages)
{
    Program p;
    p.SetText(IDC_COMBO_DATABITS, "6");
    p.Click(IDC_BTN_OPENCLOSE);
    auto box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[1], "Data Bits is not correct!");
    EXPECT_FALSE(p.HasMessageBox());

    p.SetText(IDC_COMBO_DATABITS, "5");
    p.SetText(IDC_COMBO_PARITY, "x");
    p.Click(IDC_BTN_OPENCLOSE);
    box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[1], "Data Bits is not correct!");
    box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[1], "Parity Value is not correct!");
    p.Sync();
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(IsWindowVisible(p.hwnd));
    EXPECT_TRUE(ListsEnabled(p.hwnd, true));
    EXPECT_TRUE(Store::Read().empty());

    p.SetText(IDC_COMBO_DATABITS, "8");
    p.SetText(IDC_COMBO_PARITY, "None");
    CBufferedCommPort holder;
    ASSERT_TRUE(holder.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    p.Click(IDC_BTN_OPENCLOSE);
    box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[1], "The specified port cannot be opened!");
    p.Sync();
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(Store::Read().empty());
}

TEST_F(EndToEnd, ABaudRateTheLineDoesNotTakeIsRefusedAndNothingIsSaved)
{
    Store::PutText("BAUDRATE", "4800");
    Program p;
    for (const char* text : { "abc", "-1", "99999999999", "1216000", "0", "9600 abc", "" }) {
        p.SetText(IDC_COMBO_BAUDRATE, text);
        p.Click(IDC_BTN_OPENCLOSE);
        auto box = p.TakeMessageBox();
        ASSERT_EQ(box.size(), 2u) << text;
        EXPECT_EQ(box[1], "The line settings are not supported by the specified port!") << text;
        EXPECT_FALSE(p.HasMessageBox()) << text;
        p.Sync();
        EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port") << text;
        EXPECT_TRUE(ListsEnabled(p.hwnd, true)) << text;
        EXPECT_TRUE(VirtualLine::PortFree("COM1:")) << text;
        auto stored = Store::Read();
        EXPECT_EQ(stored.size(), 1u) << text;
        EXPECT_EQ(stored["BAUDRATE"].bytes, std::string("4800", 5)) << text;
    }
    // White space around a whole number is no fault.
    p.SetText(IDC_COMBO_BAUDRATE, " 57600 ");
    Open(p);
    EXPECT_EQ(VirtualLine::Settings("COM1")["speed"], "57600");
}

TEST_F(EndToEnd, AnUnpluggedDeviceIsLostQuietlyAndTypesAgainOnceItIsBack)
{
    Program p;
    KeySink sink;
    Open(p);
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "4006381333931\r", 14), L"4006381333931\r");
    double dIdleMs = p.CpuMs();
    Sleep(10000);
    dIdleMs = p.CpuMs() - dIdleMs;

    // Pulled in the middle of a burst: what was read is typed, once, in order.
    std::string burst = VirtualLine::Burst(600);
    sink.text.clear();
    VirtualLine::Send("COM1", burst);
    VirtualLine::Unplugged device("COM1");
    ASSERT_TRUE(WaitUntil([&] { sink.Pump(50); return p.Text(IDC_LABEL_STATUS) == "Port Status: Lost"; }));
    sink.Pump(700);
    std::wstring typed = sink.text;
    EXPECT_EQ(std::wstring(burst.begin(), burst.begin() + typed.size()), typed);
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Close Port");

    // Lost, nothing is spent beyond what an open idle port costs, and no box comes.
    double dLostMs = p.CpuMs();
    Sleep(10000);
    dLostMs = p.CpuMs() - dLostMs;
    std::cout << "processor time over 10 s: open and idle " << dIdleMs << " ms, lost " << dLostMs << " ms\n";
    EXPECT_LE(dLostMs, dIdleMs * 1.5 + 100);   // margin for the clock ticks the kernel charges in
    EXPECT_FALSE(p.HasMessageBox());

    device.PlugIn();
    ASSERT_TRUE(WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Open"; }, 5000));
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "9780201379624\r", 14), L"9780201379624\r");

    // Lost again and closed from the tray menu: closed as ever, and it stays closed.
    VirtualLine::Unplugged again("COM1");
    ASSERT_TRUE(WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Lost"; }));
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));   // Close Port
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(ListsEnabled(p.hwnd, true));
    again.PlugIn();
    Sleep(1500);
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));
    EXPECT_FALSE(p.HasMessageBox());
}

TEST_F(EndToEnd, APortNamedWithASpaceAndTwoDigitsWorks)
{
    Program p;
    KeySink sink;
    p.SetText(IDC_COMBO_PORT, "COM 12");
    Open(p);
    EXPECT_EQ(Store::Read()["COMMPORT"].bytes, std::string("COM 12") + '\0');
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM12", "9781234567897\r", 14), L"9781234567897\r");
}

TEST_F(EndToEnd, TheTrayIconRestoresTogglesThePortAndEndsTheProgram)
{
    Program p;
    HWND hIcon = p.TrayIcon();
    ASSERT_NE(hIcon, (HWND)NULL) << "no icon in the tray host";

    // Restore right after the start, and after a minimise hid the program.
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(1));
    EXPECT_TRUE(IsWindowVisible(p.hwnd));
    PostMessageA(p.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(p.hwnd); }));
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(1));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(p.hwnd) != FALSE; }));

    // The port item opens and closes the port as the button does.
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    EXPECT_FALSE(IsWindowVisible(p.hwnd));
    EXPECT_EQ(Store::Read().size(), 6u);
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));

    // A double-click brings back only a hidden program; the window here was
    // hidden by the open, which a close does not undo.
    p.OnTrayIcon(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(p.hwnd) != FALSE; }));

    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(3));
    EXPECT_TRUE(p.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hIcon); })) << "a dead icon is left in the tray";
}

TEST_F(EndToEnd, EnterEscapeAndCloseEndTheProgramAndTakeTheTrayIconAlong)
{
    for (BYTE vk : { VK_RETURN, VK_ESCAPE }) {
        Program p;
        HWND hIcon = p.TrayIcon();
        ASSERT_NE(hIcon, (HWND)NULL);
        SetForegroundWindow(p.hwnd);
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == p.hwnd; }));
        PressKey(vk);
        EXPECT_TRUE(p.WaitForExit()) << "key " << (int)vk;
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hIcon); })) << "key " << (int)vk;
    }

    // Close with the port open: the process ends and lets go of the line.
    Program p;
    HWND hIcon = p.TrayIcon();
    Open(p);
    EXPECT_FALSE(VirtualLine::PortFree("COM1:"));
    PostMessageA(p.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(p.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hIcon); }));
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));
}

// The whole road once, as a user takes it.
TEST_F(EndToEnd, StartPickOpenScanRestoreCloseFromTheTrayExit)
{
    Program p;
    KeySink sink;
    p.SetText(IDC_COMBO_PORT, "COM2");
    p.SetText(IDC_COMBO_BAUDRATE, "4800");
    p.SetText(IDC_COMBO_STOPBITS, "2");
    Open(p);
    auto tty = VirtualLine::Settings("COM2");
    EXPECT_EQ(tty["speed"], "4800");
    EXPECT_EQ(tty["cstopb"], "1");

    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM2", "0012345678905\r\n", 14), L"0012345678905\r");

    p.OnTrayIcon(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(p.hwnd) != FALSE; }));
    p.Sync();
    EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), "0012345678905\r\n");

    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));   // Close Port
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(ListsEnabled(p.hwnd, true));

    HWND hIcon = p.TrayIcon();
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(3));   // Exit
    EXPECT_TRUE(p.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hIcon); }));
    EXPECT_EQ(Store::Read()["BAUDRATE"].bytes, std::string("4800") + '\0');
}

// As a user without elevation on Windows meets it: the machine-wide key can
// be read, not written.
TEST_F(EndToEnd, WithTheMachineKeyReadOnlyTheUsersChoiceIsKeptWithoutAMessage)
{
    Store::PutText("BAUDRATE", "4800");   // preset by an administrator
    auto machine = Store::Read();
    Store::LockedKey locked;
    {
        Program p;
        EXPECT_EQ(p.Text(IDC_COMBO_BAUDRATE), "4800");
        p.SetText(IDC_COMBO_BAUDRATE, "19200");
        p.SetText(IDC_COMBO_PARITY, "Even");
        Open(p);
    }
    Program p;
    EXPECT_EQ(p.Text(IDC_COMBO_BAUDRATE), "19200");
    EXPECT_EQ(p.Text(IDC_COMBO_PARITY), "Even");
    EXPECT_EQ(Store::Read(), machine);
}

// The port refused while the device was out, the box still up; the device
// back, the tray opens the port, which hides the program and its box.
TEST_F(EndToEnd, ABoxHiddenWithTheProgramComesBackWithItAndCanBeAnswered)
{
    Program p;
    {
        VirtualLine::Unplugged device("COM1");
        p.Click(IDC_BTN_OPENCLOSE);
        ASSERT_TRUE(WaitUntil([&] { return p.HasMessageBox(); }));
    }
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));   // Open Port
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Open");
    EXPECT_FALSE(IsWindowVisible(p.hwnd));
    EXPECT_FALSE(p.HasMessageBox());

    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(1));   // Restore
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(p.hwnd) != FALSE; }));
    auto box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_EQ(box[1], "The specified port cannot be opened!");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(p.hwnd) != FALSE; }));
    p.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));
}

TEST_F(EndToEnd, StartedWithOpenItOpensTheSavedPortOrWaitsForTheDeviceWithoutABox)
{
    Store::PutText("BAUDRATE", "19200", Store::USER);
    {
        Program p("/open");
        KeySink sink;
        ASSERT_TRUE(WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Open"; }));
        EXPECT_FALSE(IsWindowVisible(p.hwnd));
        EXPECT_EQ(VirtualLine::Settings("COM1")["speed"], "19200");
        sink.Activate();
        EXPECT_EQ(Scan(sink, "COM1", "4006381333931\r", 14), L"4006381333931\r");
    }
    // At log-on the USB adapter may come up seconds after the program.
    VirtualLine::Unplugged device("COM1");
    Program p("-OPEN");
    ASSERT_TRUE(WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Lost"; }));
    EXPECT_FALSE(IsWindowVisible(p.hwnd));
    Sleep(3000);
    EXPECT_FALSE(p.HasMessageBox());
    device.PlugIn();
    ASSERT_TRUE(WaitUntil([&] { return p.Text(IDC_LABEL_STATUS) == "Port Status: Open"; }, 5000));
    KeySink sink;
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "9780201379624\r", 14), L"9780201379624\r");
}

TEST_F(EndToEnd, AnArgumentNotUnderstoodIsToldAndTheProgramStartsAsWithoutOne)
{
    Program p("/open /x");
    auto box = p.TakeMessageBox();
    ASSERT_EQ(box.size(), 2u);
    EXPECT_NE(box[1].find("/x"), std::string::npos) << box[1];
    EXPECT_NE(box[1].find("/open"), std::string::npos) << box[1];
    p.Sync();
    EXPECT_EQ(p.Text(IDC_LABEL_STATUS), "Port Status: Closed");
    EXPECT_TRUE(IsWindowVisible(p.hwnd));
}

// A scale that streams: only stable weights, each once, each with Enter.
TEST_F(EndToEnd, ScanRulesPresetForTheUserTypeEachNewStableWeightOfAScale)
{
    Store::PutText("ScanPattern", "^ST,GS,[+-]0*(\\d+\\.\\d+)kg$", Store::USER);
    Store::PutText("ScanSkipRepeats", "1", Store::USER);
    Store::PutText("ScanSuffix", "{ENTER}", Store::USER);
    Program p;
    KeySink sink;
    Open(p);
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "ST,GS,+0001.23kg\r\nUS,GS,+0001.40kg\r\nST,GS,+0001.23kg\r\nST,GS,+0002.50kg\r\n", 10),
              L"1.23\r2.50\r");
}

// Typed as soon as it has arrived, by a thread that reads the port; closing
// the port ends the thread and gives the line back.
TEST_F(EndToEnd, WithScanAtOnceAScanIsTypedAndTheCloseGivesThePortBack)
{
    Store::PutText("ScanAtOnce", "1", Store::USER);
    Program p;
    KeySink sink;
    Open(p);
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "4006381333931\r", 14), L"4006381333931\r");
    EXPECT_EQ(p.Text(IDC_EDIT_LASTSCAN), "4006381333931\r");
    p.Click(IDC_BTN_OPENCLOSE);
    EXPECT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Open Port");
    EXPECT_TRUE(VirtualLine::PortFree("COM1:"));
}

// A card reader's preset chosen in the dialog: each card's frame, with no
// line end, is typed as the number printed on the card.
TEST_F(EndToEnd, ADevicePresetChosenInTheDialogTypesTheScansOfThatDevice)
{
    Program p;
    PostMessageA(p.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    HWND hRules = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hRules = FindWindowA("#32770", "Scan Rules")) && IsWindowVisible(hRules); }));
    auto preset = std::find_if(std::begin(kDevicePresets), std::end(kDevicePresets), [](const DevicePreset& d) {
        return std::string(d.pszName) == "RFID: 125 kHz card number in decimal";
    });
    HWND hDevices = GetDlgItem(hRules, IDC_COMBO_DEVICE);
    SendMessageA(hDevices, CB_SETCURSEL, preset - std::begin(kDevicePresets), 0);
    SendMessageA(hRules, WM_COMMAND, MAKEWPARAM(IDC_COMBO_DEVICE, CBN_SELCHANGE), (LPARAM)hDevices);
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_OUTPUT)), "{DEC:$1:10}");
    PostMessageA(hRules, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hRules); }));
    KeySink sink;
    Open(p);
    sink.Activate();
    EXPECT_EQ(Scan(sink, "COM1", "\x02" "3C0012D6877F\x03", 11), L"0001234567\r");
}

namespace {
// A balance that speaks only when asked: each request the program sent since
// the last call is answered with the weight; how many there were.
int AnswerRequests(const std::string& weight)
{
    std::string requests = VirtualLine::Received("COM1");
    int n = 0;
    for (size_t at = 0; (at = requests.find("SI\r\n", at)) != std::string::npos; at += 4, n++)
        VirtualLine::Send("COM1", "S S " + weight + " g\r\n");
    return n;
}

int AnswerFor(KeySink& sink, const std::string& weight, DWORD dwMs)
{
    int n = 0;
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwMs;) {
        sink.Pump(20);
        n += AnswerRequests(weight);
    }
    return n;
}
} // namespace

// Polled every 500 ms, each stable weight is typed once; then, read by a
// thread, asked with the hotkey pressed in the receiving window, and from the
// tray menu.
TEST_F(EndToEnd, ABalanceThatSpeaksWhenAskedIsPolledAndAskedWithTheHotkey)
{
    for (auto value : { std::make_pair("ScanPattern", kDevicePresets[1].pszPattern), { "ScanSuffix", "{ENTER}" },
                        { "ScanSkipRepeats", "1" }, { "ScanRepeatSeconds", "2" }, { "RequestCommand", "SI\\r\\n" },
                        { "RequestInterval", "500" } })
        Store::PutText(value.first, value.second, Store::USER);
    {
        Program p;
        KeySink sink;
        Open(p);
        sink.Activate();
        EXPECT_GE(AnswerFor(sink, "    100.00", 2500), 4);
        AnswerFor(sink, "    250.50", 2000);
        EXPECT_EQ(sink.text, L"100.00\r250.50\r");
        p.Click(IDC_BTN_OPENCLOSE);
    }
    Store::PutText("RequestInterval", "", Store::USER);
    Store::PutText("RequestHotkey", "F9", Store::USER);
    Store::PutText("ScanAtOnce", "1", Store::USER);
    Program p;
    KeySink sink;
    Open(p);
    sink.Activate();
    EXPECT_EQ(AnswerFor(sink, "    300.00", 600), 0);   // nobody asked
    keybd_event(VK_F9, 0, 0, 0);
    keybd_event(VK_F9, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(AnswerFor(sink, "    300.00", 1500), 1);
    p.OnTrayIcon(WM_RBUTTONDOWN);
    ASSERT_TRUE(p.ChooseFromTrayMenu(2));   // Request a Reading
    sink.Activate();
    EXPECT_EQ(AnswerFor(sink, "    310.00", 1500), 1);
    EXPECT_EQ(sink.text, L"300.00\r310.00\r");
}

namespace {

// Scans go to the window named TargetWindow and are logged to LogFile; the
// test sends each and sees where its keys went.
class TargetAndLog : public EndToEnd {
protected:
    TargetAndLog()
    {
        wchar_t szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        SYSTEMTIME now;
        GetLocalTime(&now);
        std::wstring folder = std::wstring(szTemp) + L"e2e-log";
        file = folder + L"\\scans-" + DateText(now) + L".csv";
        DeleteFileW(file.c_str());
        logFile = std::string(folder.begin(), folder.end()) + "\\scans-{DATE}.csv";
    }
    // Starts the program with the target and the log, and opens the port.
    std::unique_ptr<Program> Start(const char* pszTarget, const char* pszActivate)
    {
        Store::PutText("TargetWindow", pszTarget, Store::USER);
        Store::PutText("TargetActivate", pszActivate, Store::USER);
        Store::PutText("LogFile", logFile, Store::USER);
        auto p = std::make_unique<Program>();
        Open(*p);
        return p;
    }
    // Sends the scan; what reached the target window, once the program is done.
    std::wstring Send(const Program& p, KeySink& target, const char* pszScan)
    {
        target.text.clear();
        VirtualLine::Send("COM1", pszScan);
        target.WaitForChars(strlen(pszScan), 5000);
        EXPECT_TRUE(WaitUntil([&] { return p.Text(IDC_EDIT_LASTSCAN) == pszScan; }));
        target.Pump(700);
        return target.text;
    }
    std::vector<std::string> LogLines() const
    {
        std::ifstream in(file.c_str(), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(lines.empty() ? line : line.substr(20));   // without the date and time
        return lines;
    }

    std::wstring file;
    std::string logFile;
};

} // namespace

// Named by title: brought to front for each scan, or typed only while in
// front; the other window never gets a key, and the log a line each scan.
TEST_F(TargetAndLog, ATargetNamedByItsTitleTakesTheScansAndTheLogHasALineEach)
{
    KeySink target, other;
    SetWindowTextA(target.hwnd(), "Scale entry - Sheet1");
    {
        auto p = Start("scale ENTRY*", "1");
        other.Activate();
        EXPECT_EQ(Send(*p, target, "1.23\r"), L"1.23\r");
        EXPECT_EQ(GetForegroundWindow(), target.hwnd());
    }
    auto p = Start("scale ENTRY*", "0");
    other.Activate();
    EXPECT_EQ(Send(*p, target, "-2.5\r"), L"");
    target.Activate();
    EXPECT_EQ(Send(*p, target, "=1+2\r"), L"=1+2\r");
    EXPECT_EQ(other.text, L"");
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
        "\xEF\xBB\xBF" "Date,Time,Device,Port,Value,Result\r", ",COM 1,1.23{ENTER},typed\r",
        ",COM 1,'-2.5{ENTER},not typed: scale ENTRY* is not in front\r", ",COM 1,'=1+2{ENTER},typed\r" }));
}

// Named by its program, with another program's window in front.
TEST_F(TargetAndLog, ATargetNamedByItsProgramTakesTheScansAndAnotherProgramNone)
{
    KeySink target;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char szCommand[] = "notepad.exe";
    ASSERT_TRUE(CreateProcessA(NULL, szCommand, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    HWND hNotepad = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hNotepad = FindWindowA("Notepad", NULL)) != NULL; }, 10000));
    auto notepadFront = [&] {
        SetForegroundWindow(hNotepad);
        return WaitUntil([&] { return GetForegroundWindow() == hNotepad; });
    };
    {
        auto p = Start("E2E_tests.exe", "1");
        ASSERT_TRUE(notepadFront());
        EXPECT_EQ(Send(*p, target, "4006381333931\r"), L"4006381333931\r");
    }
    auto p = Start("e2e_*.exe", "0");
    ASSERT_TRUE(notepadFront());
    EXPECT_EQ(Send(*p, target, "42\r"), L"");
    EXPECT_EQ(Drive::Text(FindWindowExA(hNotepad, NULL, "Edit", NULL)), "");
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// A value cut by Close Port or by Exit still has its line, saying how far it got.
TEST_F(TargetAndLog, AValueCutByClosePortOrExitIsLoggedWithHowFarItGot)
{
    Store::PutText("KeyDelay", "100", Store::USER);
    KeySink sink;
    auto p = Start("", "0");
    for (bool bExit : { false, true }) {
        sink.Activate();
        sink.text.clear();
        VirtualLine::Send("COM1", "123456789\r");
        ASSERT_TRUE(sink.WaitForChars(2));
        if (bExit) {
            PostMessageA(p->hwnd, WM_COMMAND, ID_TRAY_EXIT, 0);
            ASSERT_TRUE(p->WaitForExit());
        } else {
            p->Click(IDC_BTN_OPENCLOSE);
            Open(*p);
        }
    }
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(",COM 1,123456789\\{ENTER\\},not typed: port closed after \\d of 10 characters\r"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(",COM 1,123456789\\{ENTER\\},not typed: the program ended after \\d of 10 characters\r"))) << lines[2];
}

// For a user whose list separator is ';' (as Excel then splits), the log is
// split by it, and a scan holding one stays one cell, read by Python's csv.
TEST_F(TargetAndLog, ASemicolonInAScanStaysInItsCellForASemicolonSplittingReader)
{
    const char kInternational[] = "Control Panel\\International";
    char szList[8] = ",";
    DWORD cb = sizeof szList;
    RegGetValueA(HKEY_CURRENT_USER, kInternational, "sList", RRF_RT_REG_SZ, NULL, szList, &cb);
    RegSetKeyValueA(HKEY_CURRENT_USER, kInternational, "sList", REG_SZ, ";", 2);
    KeySink sink;
    auto p = Start("", "0");
    sink.Activate();
    RegSetKeyValueA(HKEY_CURRENT_USER, kInternational, "sList", REG_SZ, szList, (DWORD)strlen(szList) + 1);
    EXPECT_EQ(Send(*p, sink, "X;=HYPERLINK(1)\r"), L"X;=HYPERLINK(1)\r");

    // Python runs outside Wine: it is given the files' Unix paths.
    auto unixPath = [](const std::wstring& path) {
        auto pfnUnix = (char*(CDECL*)(LPCWSTR))GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name");
        return std::string(pfnUnix(path.c_str()));
    };
    std::wstring script = file + L".py", cells = file + L".cells";
    DeleteFileW(cells.c_str());
    std::ofstream(script.c_str()) << "import csv, os, sys\n"
                                     "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline=''), delimiter=';'))\n"
                                     "open(sys.argv[1] + '.new', 'w').write('|'.join(rows[-1]))\n"
                                     "os.replace(sys.argv[1] + '.new', sys.argv[1] + '.cells')\n";
    WinExec(("start.exe /unix /usr/bin/python3 " + unixPath(script) + " " + unixPath(file)).c_str(), SW_HIDE);
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(cells.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    std::string read;
    std::getline(std::ifstream(cells.c_str()), read);
    EXPECT_EQ(read.substr(20), "|COM 1|X;=HYPERLINK(1){ENTER}|typed");   // after the date and time
}
