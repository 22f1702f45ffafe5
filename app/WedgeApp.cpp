#include "WedgeApp.h"
#include "CommandLine.h"
#include "ProfileClaim.h"
#include "../settings/Profiles.h"
#include "../settings/Settings.h"
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

    // An argument not understood is told, and the program starts as without any.
    StartOptions start = ReadCommandLine(::GetCommandLineW());
    CString strMessage;
    if (!start.strUnknown.IsEmpty()) {
        strMessage.Format("Unknown argument: %s\n\nThe switches this program knows are /open, which opens the "
                          "port with the saved settings at start, and /profile NAME, which starts the window of "
                          "a device's own settings.", (LPCSTR)start.strUnknown);
        start = StartOptions();
    }
    // A name not allowed, or a profile a policy does not allow, is told, and
    // the program starts without a profile.
    std::vector<CString> profiles;
    if (!start.strProfile.IsEmpty())
        profiles = SplitProfileList(start.strProfile);
    for (const CString& strName : profiles) {
        strMessage = ProfileRefusal(strName);
        if (!strMessage.IsEmpty()) {
            strMessage += " The program starts without a profile.";
            profiles.clear();
            break;
        }
    }
    // Each further profile of a list gets a process of its own. One that
    // cannot start is not told: at log-on nobody is there to answer a box.
    for (size_t i = 1; i < profiles.size(); i++)
        StartProfileWindow(profiles[i], start.bOpenPort);
    if (!profiles.empty())
        SelectProfile(profiles[0]);
    CProfileClaim claim(ProfileName());
    if (claim.IsTaken()) {
        HandToFirstWindow(ProfileWindowTitle(), start.bOpenPort);
        return FALSE;
    }

    CWedgeDlg dlg(m_iconSet);
    m_pMainWnd = &dlg;
    if (!strMessage.IsEmpty())
        dlg.ShowAtStart(strMessage);
    else if (start.bOpenPort)
        dlg.OpenPortAtStart();
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
