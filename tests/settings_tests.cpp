// The six settings in the registry: what a save leaves there, what a load
// makes of it, and where they go for a user who may not write machine-wide.
#include <gtest/gtest.h>
#include "../fw/MessageBox.h"
#include "../res/resource.h"
#include "support/Fixtures.h"
#include "support/RunningWindow.h"
#include "support/Wait.h"

namespace {

const char* const kNames[6] = { "COMMPORT", "BAUDRATE", "DATABITS", "PARITY", "StopBit", "FlowControl" };

// The six setting strings, in the order they are stored.
CString PortSettings::* const kStrings[6] = {
    &PortSettings::m_strPort, &PortSettings::m_strBaudRate, &PortSettings::m_strDataBits,
    &PortSettings::m_strParity, &PortSettings::m_strStopBits, &PortSettings::m_strFlowControl,
};

struct Six {
    PortSettings s;
    void Load() { LoadPortSettings(s); }
    void Save() const { SavePortSettings(s); }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (auto pstr : kStrings) texts.push_back((LPCSTR)(s.*pstr));
        return texts;
    }
};

Six Settings(std::vector<std::string> texts)
{
    Six six;
    for (int i = 0; i < 6; i++) six.s.*kStrings[i] = texts[i].c_str();
    return six;
}

const std::vector<std::string> kDefaults = { "COM 1", "9600", "8", "None", "1", "None" };

// The system's text for an error, as the program's box shows it: without its line end.
std::string SystemText(DWORD dwError)
{
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, NULL);
    std::string line = text;
    return line.substr(0, line.find_last_not_of("\r\n") + 1);
}

class SettingsStore : public ClearedStore {
protected:
    MessageBoxRecorder boxes;
};

} // namespace

TEST_F(SettingsStore, TheFirstLoadTakesTheDefaultsAndWritesNothing)
{
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), kDefaults);
    HKEY hKey;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SettingsStore, EachValueIsTheUsersElseTheVirtualizedCopysElseTheMachinesElseItsDefault)
{
    Store::PutText("COMMPORT", "COM 5");
    Store::PutText("BAUDRATE", "4800");
    Store::PutText("DATABITS", "7");
    Store::PutText("PARITY", "Odd");
    Store::PutText("BAUDRATE", "2400", Store::VIRTUALIZED);
    Store::PutText("PARITY", "Mark", Store::VIRTUALIZED);
    Store::PutText("PARITY", "Even", Store::USER);
    Store::PutText("DATABITS", "", Store::USER);   // an empty text is no setting
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), (std::vector<std::string>{ "COM 5", "2400", "7", "Even", "1", "None" }));
}

TEST_F(SettingsStore, ASaveLeavesSixTextValuesWithTheirNulCounted)
{
    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    auto store = Store::Read();
    const char* texts[6] = { "COM 3", "19200", "7", "Even", "2", "None" };
    ASSERT_EQ(store.size(), 6u);
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(store[kNames[i]].type, (DWORD)REG_SZ) << kNames[i];
        EXPECT_EQ(store[kNames[i]].bytes, std::string(texts[i], strlen(texts[i]) + 1)) << kNames[i];
    }
}

TEST_F(SettingsStore, AnEmptyOrForeignValueTakesItsOwnDefault)
{
    Settings({ "COM 2", "19200", "8", "", "1", "None" }).Save();
    EXPECT_EQ(Store::Read()["PARITY"].bytes, std::string(1, '\0'));
    DWORD number = 0x00373031;   // bytes "107" and a NUL
    Store::Put("StopBit", REG_DWORD, &number, sizeof number);
    DWORD zero = 0;
    Store::Put("FlowControl", REG_DWORD, &zero, sizeof zero);
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), (std::vector<std::string>{ "COM 2", "19200", "8", "None", "107", "None" }));
}

TEST_F(SettingsStore, ALongSettingIsStoredWholeAndComesBackWhole)
{
    std::string nineteen = "COM-NINETEEN-CHARS1", longPort = "\\\\.\\SOME-VERY-LONG-DEVICE-NAME-FOR-A-SCANNER";
    Settings({ longPort, nineteen, "8", "None", "1", "None" }).Save();
    EXPECT_EQ(Store::Read()["COMMPORT"].bytes, longPort + '\0');
    Six six;
    six.Load();
    EXPECT_EQ(six.s.m_strPort, longPort.c_str());
    EXPECT_EQ(six.s.m_strBaudRate, nineteen.c_str());
}

TEST_F(SettingsStore, WithoutWriteAccessSettingsStillLoad)
{
    Settings({ "COM 4", "57600", "7", "Odd", "2", "None" }).Save();
    RegistryWithoutWriteAccess readOnly;
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), (std::vector<std::string>{ "COM 4", "57600", "7", "Odd", "2", "None" }));
    EXPECT_TRUE(boxes.texts.empty());
}

// As Windows has it for a program without elevation: the machine-wide key
// can be read, not written.
TEST_F(SettingsStore, WhereTheMachineKeyIsReadOnlyASaveGoesSilentlyToTheUsersKey)
{
    Store::PutText("BAUDRATE", "4800");
    auto machine = Store::Read();
    Store::LockedKey locked;
    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];
    EXPECT_EQ(Store::Read(), machine);
    EXPECT_EQ(Store::Read(Store::USER)["BAUDRATE"].bytes, std::string("19200", 6));
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), (std::vector<std::string>{ "COM 3", "19200", "7", "Even", "2", "None" }));
}

// Where users may set the machine-wide values (but not more), the save goes
// there, and the user's older copies go, since they would hide it.
TEST_F(SettingsStore, WhereTheMachineKeyTakesValuesTheSaveGoesThereAndTheUsersCopiesGo)
{
    Store::PutText("BAUDRATE", "2400", Store::USER);
    Store::PutText("PARITY", "Mark", Store::VIRTUALIZED);
    Store::LockedKey valuesOnly(Store::MACHINE, true);
    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts[0];
    EXPECT_EQ(Store::Read().size(), 6u);
    EXPECT_TRUE(Store::Read(Store::USER).empty());
    EXPECT_TRUE(Store::Read(Store::VIRTUALIZED).empty());
    Six six;
    six.Load();
    EXPECT_EQ(six.Texts(), (std::vector<std::string>{ "COM 3", "19200", "7", "Even", "2", "None" }));
}

// A user's copy that cannot be removed would hide the value saved
// machine-wide: the save goes to the user's key, and says so when refused.
TEST_F(SettingsStore, AUsersCopyThatCannotBeRemovedFailsTheSaveWithItsReason)
{
    Store::PutText("BAUDRATE", "2400", Store::USER);
    Store::LockedKey locked(Store::USER);
    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], SystemText(ERROR_ACCESS_DENIED));
}

TEST_F(SettingsStore, AnExceptionShowsItsOwnTextOrTheSystemsForMemory)
{
    ShowExceptionText(std::bad_alloc());
    ShowExceptionText(std::length_error("the text is too long"));
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{ SystemText(ERROR_NOT_ENOUGH_MEMORY), "the text is too long" }));
}

TEST_F(SettingsStore, WhereNoKeyCanBeWrittenALoadTakesTheDefaultsAndASaveShowsTheSystemText)
{
    RegistryWithoutWriteAccess readOnly;
    Six six = Settings({ "", "", "", "", "", "" });
    six.Load();   // no key anywhere: no message
    EXPECT_EQ(six.Texts(), kDefaults);
    EXPECT_TRUE(boxes.texts.empty());

    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], SystemText(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Store::Read().empty());
    EXPECT_TRUE(Store::Read(Store::USER).empty());
}

// The window saves what its lists show as it opens the port, and shows what
// was saved at its next start.
TEST_F(SettingsStore, TheWindowSavesItsListsAndShowsThemAtTheNextStart)
{
    TrayRecorder tray;
    const int ids[6] = { 1001, 1002, 1003, 1004, 1005, 1007 };
    const std::vector<std::string> texts = { "COM 12", "115200", "7", "Mark", "1.5", "Hardware" };
    {
        RunningWindow w;
        for (int i = 0; i < 6; i++)
            SetWindowTextA(w.Item(ids[i]), texts[i].c_str());
        w.Click(IDC_BTN_OPENCLOSE);
        ASSERT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Open");
        w.Click(IDC_BTN_OPENCLOSE);
    }
    RunningWindow w;
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(w.Text(ids[i]), texts[i]) << ids[i];
}

// The rules are kept in the same places, but a user may switch off a rule an
// administrator preset; a save of the line settings leaves the rules alone.
TEST_F(SettingsStore, RulesLoadValueByValueAnEmptyOneIsTakenAndLineSavesLeaveThem)
{
    Store::PutText("ScanPrefix", "{TAB}");
    Store::PutText("ScanSuffix", "{ENTER}");
    Store::PutText("ScanSuffix", "", Store::USER);
    Store::PutText("KeyDelay", "20", Store::VIRTUALIZED);
    Store::PutText("ScanAtOnce", "1", Store::USER);
    RuleSettings rules;
    LoadRuleSettings(rules);
    EXPECT_EQ(std::string(rules.m_strPrefix), "{TAB}");
    EXPECT_EQ(std::string(rules.m_strSuffix), "");
    EXPECT_EQ(std::string(rules.m_strKeyDelay), "20");
    EXPECT_EQ(std::string(rules.m_strPattern), "");
    EXPECT_EQ(std::string(rules.m_strAtOnce), "1");

    Settings(kDefaults).Save();   // machine-wide: the user's line settings would go
    EXPECT_EQ(Store::Read(Store::USER).count("ScanSuffix"), 1u);
    rules.m_strPattern = "\\d+";
    SaveRuleSettings(rules);
    EXPECT_EQ(Store::Read()["ScanPattern"].bytes, std::string("\\d+", 4));
    EXPECT_TRUE(Store::Read(Store::USER).empty());
    EXPECT_EQ(Store::Read().size(), 34u);
}

static LONG WINAPI RefuseParity(HKEY hKey, LPCSTR pszName, DWORD dwReserved, DWORD dwType, const BYTE* pData, DWORD cb)
{
    return strcmp(pszName, "PARITY") == 0 ? ERROR_NOT_ENOUGH_QUOTA
                                          : RegSetValueExA(hKey, pszName, dwReserved, dwType, pData, cb);
}

// A value refused (not enough quota) machine-wide and in the user's key fails
// the save with the system's reason; the user's copies, the choice, stay.
TEST_F(SettingsStore, AValueTheRegistryRefusesFailsTheSaveWithItsReasonAndTheUsersCopiesStay)
{
    Store::PutText("BAUDRATE", "2400", Store::USER);
    g_registry.pfnSetValue = RefuseParity;
    Settings({ "COM 3", "19200", "7", "Even", "2", "None" }).Save();
    g_registry.pfnSetValue = RegSetValueExA;
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], SystemText(ERROR_NOT_ENOUGH_QUOTA));
    EXPECT_EQ(Store::Read(Store::USER)["BAUDRATE"].bytes, std::string("19200", 6));   // stored before the refusal
}

// A policy value wins over the user's, its list stays disabled, and Open
// Port stores nothing a policy fixes; an empty policy rule fixes the rule
// off, and the Scan Rules dialog shows it disabled.
TEST_F(SettingsStore, APolicyValueWinsItsControlIsDisabledAndNothingOfItIsSaved)
{
    Store::PutText("BAUDRATE", "4800", Store::USER);
    Store::PutText("BAUDRATE", "19200", Store::POLICY);
    Store::PutText("ScanSuffix", "{TAB}", Store::USER);
    Store::PutText("ScanSuffix", "", Store::POLICY);
    Store::PutText("ScanOutput", "<$0>", Store::POLICY);
    TrayRecorder tray;
    RunningWindow w;
    EXPECT_EQ(w.Text(IDC_COMBO_BAUDRATE), "19200");
    w.Click(IDC_BTN_OPENCLOSE);
    ASSERT_EQ(w.Text(IDC_LABEL_STATUS), "Port Status: Open");
    w.Click(IDC_BTN_OPENCLOSE);
    EXPECT_FALSE(IsWindowEnabled(w.Item(IDC_COMBO_BAUDRATE)));
    EXPECT_TRUE(IsWindowEnabled(w.Item(IDC_COMBO_DATABITS)));
    EXPECT_EQ(Store::Read().size(), 5u);   // all but the baud rate

    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    HWND hRules = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hRules = FindWindowA("#32770", "Scan Rules")) && IsWindowVisible(hRules); }));
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_SUFFIX)), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hRules, IDC_EDIT_SUFFIX)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hRules, IDC_EDIT_OUTPUT)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hRules, IDC_EDIT_PREFIX)));
    // A preset fills only what no policy fixes, and the window keeps the policy's.
    HWND hDevices = GetDlgItem(hRules, IDC_COMBO_DEVICE);
    SendMessageA(hDevices, CB_SETCURSEL, 0, 0);
    SendMessageA(hRules, WM_COMMAND, MAKEWPARAM(IDC_COMBO_DEVICE, CBN_SELCHANGE), (LPARAM)hDevices);
    EXPECT_NE(Drive::Text(GetDlgItem(hRules, IDC_EDIT_PATTERN)), "");
    PostMessageA(hRules, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hRules); }));
    PostMessageA(w.hwnd, WM_SYSCOMMAND, IDM_SCANRULES, 0);
    ASSERT_TRUE(WaitUntil([&] { return (hRules = FindWindowA("#32770", "Scan Rules")) && IsWindowVisible(hRules); }));
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_SUFFIX)), "");
    EXPECT_EQ(Drive::Text(GetDlgItem(hRules, IDC_EDIT_OUTPUT)), "<$0>");
    SendMessageA(hRules, WM_COMMAND, IDCANCEL, 0);
}
