// Window initialisation: system menu, icons, starting texts, tray icon, lists.
#include "WedgeDlg.h"
#include "../res/resource.h"
#include "../settings/Profiles.h"
#include "../tray/TrayIcon.h"

BOOL CWedgeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu != NULL) {
        CString strAboutMenu, strRulesMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, NULL);
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
        if (strRulesMenu.LoadString(IDS_SCANRULES))
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_SCANRULES, strRulesMenu);
        CString strReceivedMenu, strNewProfileMenu, strStartMenu;
        if (strReceivedMenu.LoadString(IDS_RECEIVEDDATA))
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_RECEIVEDDATA, strReceivedMenu);
        if (strNewProfileMenu.LoadString(IDS_NEWPROFILE))
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_NEWPROFILE, strNewProfileMenu);
        if (strStartMenu.LoadString(IDS_STARTWITHWINDOWS))
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_STARTWITHWINDOWS, strStartMenu);
        ShowStartWithWindows();
    }
    SetWindowText(ProfileWindowTitle());

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    m_editLastScan.SetWindowText("");
    m_nBlinkCount = 0;
    m_typer.SetWindow(m_hWnd);
    CreateTrayIcon();
    ShowPortState(PORT_CLOSED);
    UpdateData(TRUE);
    FillLists();
    LoadSettings();
    ListNetworkPort();
    // Pages are served from the start; what keeps the feed off is told at Open Port.
    m_web.SetWindow(m_hWnd, WM_WEBREQUEST);
    TakeWebFeed();
    EnableSettings(true);
    CenterWindow(::GetDesktopWindow());
    UpdateData(FALSE);
    if (m_bOpenAtStart || !m_strStartMessage.IsEmpty())
        PostMessage(WM_COMMAND, ID_START_OPTIONS);
    return TRUE;
}

void CWedgeDlg::FillLists()
{
    for (int n = 1; n <= 20; n++) {
        CString strName;
        strName.Format("COM %d", n);
        m_comboPort.AddString(strName);
    }
    if (m_comboPort.GetCount() > 0)
        m_comboPort.SetCurSel(0);

    for (LPCSTR psz : { "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200",
                        "230400", "460800", "1216000" })
        m_comboBaudRate.AddString(psz);
    m_comboBaudRate.SetCurSel(3);

    for (LPCSTR psz : { "7", "8" })
        m_comboDataBits.AddString(psz);
    m_comboDataBits.SetCurSel(1);

    for (LPCSTR psz : { "None", "Even", "Odd", "Mark", "Space" })
        m_comboParity.AddString(psz);
    m_comboParity.SetCurSel(0);

    for (LPCSTR psz : { "1", "1.5", "2" })
        m_comboStopBits.AddString(psz);
    m_comboStopBits.SetCurSel(0);

    for (LPCSTR psz : { "None", "Hardware", "Xon/Xoff" })
        m_comboFlowControl.AddString(psz);
    m_comboFlowControl.SetCurSel(0);
}

void CWedgeDlg::CreateTrayIcon()
{
    // An elevated window hears of a restarted notification area only if it
    // lets the message through. Windows 7 and later: looked up, so that the
    // program still starts on Vista.
    auto pfnChangeFilter = (BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT))::GetProcAddress(
        ::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    if (pfnChangeFilter != NULL) {
        pfnChangeFilter(m_hWnd, WM_TASKBARCREATED, MSGFLT_ALLOW, NULL);
        // So does a second start of its profile, which is not elevated.
        pfnChangeFilter(m_hWnd, WM_PROFILESTART, MSGFLT_ALLOW, NULL);
    }
    m_pTrayIcon = new CTrayIcon(this, WM_TRAYNOTIFY, m_pIconSet);
    m_bHidden = TRUE;
}
