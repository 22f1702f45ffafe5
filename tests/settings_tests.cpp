// The six settings in the machine-wide registry key: what a save leaves there,
// what a load makes of it, and what a user without write access sees.
#include <gtest/gtest.h>
#include "support/Recorders.h"
#include "support/RunningWindow.h"
#include "support/Store.h"

namespace {

const char* const kNames[6] = { "COMMPORT", "BAUDRATE", "DATABITS", "PARITY", "StopBit", "FlowControl" };

void SetLists(RunningWindow& w, std::vector<std::string> texts)
{
    const int ids[6] = { 1001, 1002, 1003, 1004, 1005, 1007 };
    for (int i = 0; i < 6; i++)
        SetWindowTextA(w.Item(ids[i]), texts[i].c_str());
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { Store::Clear(); }
    void TearDown() override { Store::Clear(); }
    TrayRecorder tray;
    MessageBoxRecorder boxes;
};

} // namespace

TEST_F(SettingsStore, TheFirstRunCreatesTheKeyAndTakesTheDefaults)
{
    RunningWindow w;
    HKEY hKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
    EXPECT_TRUE(Store::Read().empty());
    EXPECT_EQ(w.dlg.m_strPort, "COM 1");
    EXPECT_EQ(w.dlg.m_strFlowControl, "None");
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SettingsStore, ASaveLeavesSixTextValuesWithTheirNulCounted)
{
    RunningWindow w;
    SetLists(w, { "COM 3", "19200", "7", "Even", "2", "None" });
    w.OnWindowThread([&] { w.dlg.SaveSettings(); });
    auto store = Store::Read();
    const char* texts[6] = { "COM 3", "19200", "7", "Even", "2", "None" };
    ASSERT_EQ(store.size(), 6u);
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(store[kNames[i]].type, (DWORD)REG_SZ) << kNames[i];
        EXPECT_EQ(store[kNames[i]].bytes, std::string(texts[i], strlen(texts[i]) + 1)) << kNames[i];
    }
    EXPECT_EQ(store["COMMPORT"].bytes.size(), 6u);
}

TEST_F(SettingsStore, WhatWasSavedComesBackAtTheNextStart)
{
    {
        RunningWindow w;
        SetLists(w, { "COM 12", "115200", "7", "Mark", "1.5", "Hardware" });
        w.OnWindowThread([&] { w.dlg.SaveSettings(); });
    }
    RunningWindow w;
    EXPECT_EQ(w.Text(1001), "COM 12");
    EXPECT_EQ(w.Text(1002), "115200");
    EXPECT_EQ(w.Text(1003), "7");
    EXPECT_EQ(w.Text(1004), "Mark");
    EXPECT_EQ(w.Text(1005), "1.5");
    EXPECT_EQ(w.Text(1007), "Hardware");
}

TEST_F(SettingsStore, AnEmptySettingIsStoredEmptyAndLoadsAsItsDefault)
{
    {
        RunningWindow w;
        SetLists(w, { "COM 2", "", "8", "None", "1", "None" });
        w.OnWindowThread([&] { w.dlg.SaveSettings(); });
        EXPECT_EQ(Store::Read()["BAUDRATE"].bytes, std::string(1, '\0'));
    }
    RunningWindow w;
    EXPECT_EQ(w.dlg.m_strBaudRate, "9600");
}

TEST_F(SettingsStore, ALongSettingIsStoredWholeAndComesBackWhole)
{
    std::string longPort = "\\\\.\\SOME-VERY-LONG-DEVICE-NAME-FOR-A-SCANNER";   // 43 characters
    {
        RunningWindow w;
        SetLists(w, { longPort, "19200", "8", "None", "1", "None" });
        w.OnWindowThread([&] { w.dlg.SaveSettings(); });
        EXPECT_EQ(Store::Read()["COMMPORT"].bytes, longPort + '\0');
        EXPECT_EQ(Store::Read()["BAUDRATE"].bytes, std::string("19200", 6));   // the others are untouched
    }
    RunningWindow w;
    EXPECT_EQ(w.dlg.m_strPort, longPort.c_str());
    EXPECT_EQ(w.dlg.m_strBaudRate, "19200");
}

TEST_F(SettingsStore, WithoutWriteAccessSettingsStillLoad)
{
    {
        RunningWindow w;
        SetLists(w, { "COM 4", "57600", "7", "Odd", "2", "None" });
        w.OnWindowThread([&] { w.dlg.SaveSettings(); });
    }
    RegistryWithoutWriteAccess readOnly;
    RunningWindow w;
    EXPECT_EQ(w.Text(1001), "COM 4");
    EXPECT_EQ(w.Text(1002), "57600");
    EXPECT_EQ(w.Text(1004), "Odd");
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SettingsStore, ARefusedSaveShowsTheSystemTextAndWritesNothing)
{
    RegistryWithoutWriteAccess readOnly;
    RunningWindow w;   // the key does not exist: nothing to load, no message
    EXPECT_EQ(w.dlg.m_strPort, "");
    EXPECT_TRUE(boxes.texts.empty());
    SetLists(w, { "COM 3", "19200", "7", "Even", "2", "None" });
    w.OnWindowThread([&] { w.dlg.SaveSettings(); });
    char expected[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, ERROR_ACCESS_DENIED,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), expected, sizeof expected, NULL);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], expected);
    EXPECT_TRUE(Store::Read().empty());
}
