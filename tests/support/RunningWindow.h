// Runs the main window modally on a thread of its own, as the program does,
// while the test thread plays the user: it looks at the window through Win32
// and runs code on the window's thread when it must touch the object.
#pragma once
#include <windows.h>
#include <functional>
#include <thread>
#include "Drive.h"
#include "KeySink.h"
#include "../../app/WedgeApp.h"
#include "../../ui/WedgeDlg.h"

class RunningWindow {
public:
    RunningWindow();
    ~RunningWindow();

    // Runs f on the window's thread and waits for it.
    void OnWindowThread(const std::function<void()>& f);
    // Waits until the window's thread has handled everything sent so far.
    bool Sync() const { return Drive::Sync(hwnd); }
    // Waits until the modal run has returned (the window ended).
    bool WaitForEnd(DWORD dwTimeoutMs = 5000);
    HWND Item(int nID) const { return ::GetDlgItem(hwnd, nID); }
    std::string Text(int nID) const { return Drive::Text(Item(nID)); }
    // Clicks the button and waits until the window has handled the click.
    void Click(int nID) const;
    // Chooses the item nDowns steps from the top of the open tray menu.
    bool ChooseFromTrayMenu(int nDowns) const { return Drive::ChooseFromMenu(hwnd, nDowns); }

    CWedgeDlg dlg;
    HWND hwnd = NULL;
    INT_PTR result = 0;

private:
    static LRESULT CALLBACK CallProc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hWndCall = NULL;
    HANDLE m_hEnded;
    std::thread m_thread;
};

// The window with its port open (the port typed into its list, when one is
// given) and a key sink in front: where the tests of scanning start.
class ScanningWindow : public RunningWindow {
public:
    explicit ScanningWindow(const char* pszPort = NULL);
    // Lets the timers run, the sink taking what they type, until the status
    // label reads the text; false when it does not within a few seconds.
    bool WaitForStatus(const std::string& status);
    KeySink sink;
};

// The application object of the test program, with its icon set loaded.
CWedgeApp& TestApp();
