// The set-up the test files share: no stored settings before and after each
// test, and, for the tests of the main window, recorders for its message
// boxes, its tray icon and its beep.
#pragma once
#include <gtest/gtest.h>
#include "Recorders.h"
#include "Store.h"

class ClearedStore : public ::testing::Test {
protected:
    void SetUp() override { Store::Clear(); }
    void TearDown() override { Store::Clear(); }
};

class WindowTest : public ClearedStore {
protected:
    // How often the icon was removed from the notification area.
    int Deletes() const
    {
        int n = 0;
        for (auto& call : tray.calls) n += call.dwMessage == NIM_DELETE;
        return n;
    }
    TrayRecorder tray;
    MessageBoxRecorder boxes;
    BeepRecorder beeps;
};
