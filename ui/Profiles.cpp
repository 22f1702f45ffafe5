// The window's profile: a second start of it, the window for another device,
// and the start with Windows.
#include "WedgeDlg.h"
#include "ProfileNameDlg.h"
#include "../fw/MessageBox.h"
#include "../res/resource.h"
#include "../settings/Profiles.h"

const UINT WM_PROFILESTART = ::RegisterWindowMessageA("Brindlequaverly.ProfileStart");

// A start with /open opens a closed port, as at start, and leaves an open or
// lost one be: at log-on the window stays in the tray. A start without it
// brings the window forward.
LRESULT CWedgeDlg::OnProfileStart(WPARAM wParam, LPARAM)
{
    if (wParam == 0) {
        OnRestore();
        ::SetForegroundWindow(m_hWnd);
    } else if (m_portState == PORT_CLOSED) {
        OpenPortAsAtStart();
    }
    return 0;
}

void CWedgeDlg::OnNewProfile()
{
    CProfileNameDlg dlg;
    if (dlg.DoModal() == IDOK && !StartProfileWindow(dlg.Name(), false))
        ShowSystemErrorText(::GetLastError());
}

// The machine's entry already starts the window: a user's of its own would
// start a second, which would contend for the port.
void CWedgeDlg::OnStartWithWindows()
{
    LONG lResult = SetStartedWithWindows(!IsStartedWithWindows());
    if (lResult != ERROR_SUCCESS)
        ShowSystemErrorText((DWORD)lResult);
    else if (IsStartedForEveryUser())
        AfxMessageBox("Windows starts this window for every user of this computer, as it was installed; only an "
                      "administrator can change that.", MB_OK | MB_ICONINFORMATION);
    ShowStartWithWindows();
}

// The check mark says what the Run entry holds.
void CWedgeDlg::ShowStartWithWindows()
{
    ::CheckMenuItem(::GetSystemMenu(m_hWnd, FALSE), IDM_STARTWITHWINDOWS,
                    MF_BYCOMMAND | (IsStartedWithWindows() ? MF_CHECKED : MF_UNCHECKED));
}
