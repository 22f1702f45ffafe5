// The window scans go to: named by its program's file name (EXCEL.EXE) or by
// its title (SAP Logon*, * - Notepad), case ignored, * standing for any text.
// Found among the top-level windows, brought to front where asked, and
// checked in front before each key.
#pragma once
#include <windows.h>
#include <string>
#include "../fw/String.h"

// Brings a window to front. Windows lets only the foreground process (or one
// it lets) do so, and otherwise flashes the taskbar button; Wine always
// lets it, so tests stand in a refusing one here.
extern BOOL (WINAPI* g_pfnBringToFront)(HWND hWnd);

// A window of this program: of the calling thread, or of another process
// running the same program file (another profile's window, its dialogs and
// message boxes), where keys would press its buttons.
bool IsProgramWindow(HWND hWnd);

class CTargetWindow {
public:
    // Empty or * alone: no target, the keys go to whatever is in front. With
    // bActivate the newest matching window is brought to front for a scan;
    // without, a scan waits for nobody: it is typed only where one is in front.
    void Take(const CString& strName, bool bActivate);
    bool IsSet() const { return !m_name.empty(); }
    const CString& Name() const { return m_strShown; }
    // The target window: the one in front where it matches, else, where
    // asked to bring one, the newest match; NULL, with the reason, where none is.
    HWND Find(CString& strWhy) const;
    // Asks for the window to come to front, without waiting for it or its
    // program (a hung one would hang this one): it is there once
    // GetForegroundWindow says so.
    static void BringToFront(HWND hWnd);
    // Why the window did not come to front in time.
    CString NotInFront() const;

private:
    bool Matches(HWND hWnd) const;
    HWND Newest() const;
    struct Search { const CTargetWindow* pTarget; HWND hFound; };
    static BOOL CALLBACK FindNewest(HWND hWnd, LPARAM lParam);

    std::wstring m_name;      // upper-cased, as matched
    CString m_strShown;       // as the user wrote it, for the reasons
    bool m_bProgram = false;  // m_name ends in .EXE: a program's file name, not a title
    bool m_bActivate = false;
};
