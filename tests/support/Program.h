// The real program, started as a process of its own in the test prefix and
// driven from outside as a user would: through its windows, the tray host's
// icon window, and the keyboard.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "Drive.h"

// The processor time the Wine process of this prefix that runs the executable
// named has had so far, in milliseconds; -1 when there is none.
double UnixCpuMs(const char* pszExeName);

class Program {
public:
    static constexpr const char* kProgramName = "VimoBrindleQV.exe";

    // Starts VimoBrindleQV.exe (beside the tests' folder) with the arguments
    // and waits for its window of that title, which may hide at once.
    explicit Program(const char* pszArguments = "", const char* pszTitle = "Brindlequaverly");
    // Ends the process if a test left it running.
    ~Program();

    HWND Item(int nID) const { return ::GetDlgItem(hwnd, nID); }
    std::string Text(int nID) const { return Drive::Text(Item(nID)); }
    void SetText(int nID, const char* pszText) const;
    // Posts the button's click to the dialog, so that a message box it
    // brings up does not block the test.
    void Click(int nID) const;
    // Waits until the program's thread has handled everything sent so far.
    bool Sync() const { return Drive::Sync(hwnd); }
    // The texts of the next message box the program shows; the box is then
    // dismissed with OK. Empty when none comes.
    std::vector<std::string> TakeMessageBox(DWORD dwTimeoutMs = 3000) const;
    bool HasMessageBox() const { return FindBox() != NULL; }
    bool WaitForExit(DWORD dwTimeoutMs = 5000) const;
    bool Running() const { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }
    // The processor time the process has used so far, in milliseconds.
    double CpuMs() const { return UnixCpuMs(kProgramName); }

    // The tray host's window for the program's icon, NULL when there is none.
    HWND TrayIcon() const;
    // A mouse event on the tray icon, as the tray host reports it to the program.
    void OnTrayIcon(UINT uMouseMsg) const { ::PostMessageA(TrayIcon(), uMouseMsg, 0, 0); }
    // Waits for the tray icon's popup menu and chooses the item nDowns steps
    // from the top with the keyboard.
    bool ChooseFromTrayMenu(int nDowns) const { return Drive::ChooseFromMenu(hwnd, nDowns); }

    HWND hwnd = NULL;

private:
    HWND FindBox() const;
    PROCESS_INFORMATION m_pi = {};
    std::vector<HWND> m_otherIcons;   // icons of other programs, there before the start
};

// Starts the program with the arguments and waits for the process to end:
// false when it is still running after the time.
bool RunProgramToEnd(const char* pszArguments, DWORD dwTimeoutMs);

// Every tray icon window the tray host has now.
std::vector<HWND> TrayIconWindows();
