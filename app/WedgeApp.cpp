#include "WedgeApp.h"
#include "CommandLine.h"
#include "../res/resource.h"
#include "../ui/WedgeDlg.h"

void CWedgeApp::LoadIconSet()
{
    const UINT ids[3] = { IDI_IDLE, IDI_ACTIVE, IDI_IDLE };
    for (int i = 0; i < 3; i++)
        m_iconSet[i] = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(ids[i]));
}

BOOL CWedgeApp::InitInstance()
{
    CWinApp::InitInstance();
    // Names the framework's profile location, as the program always has;
    // nothing reads it (the settings keep a key of their own).
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadIconSet();

    CWedgeDlg dlg(m_iconSet);
    m_pMainWnd = &dlg;
    // An argument not understood is told, and the program starts as without any.
    StartOptions start = ReadCommandLine(::GetCommandLineW());
    if (!start.strUnknown.IsEmpty()) {
        CString strMessage;
        strMessage.Format("Unknown argument: %s\n\nThe one switch this program knows is /open: "
                          "it opens the port with the saved settings at start.", (LPCSTR)start.strUnknown);
        dlg.ShowAtStart(strMessage);
    } else if (start.bOpenPort) {
        dlg.OpenPortAtStart();
    }
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
