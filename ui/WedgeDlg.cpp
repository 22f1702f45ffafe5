// The main window's message table, its data exchange, its settings and its paint.
#include "WedgeDlg.h"
#include "../fw/App.h"
#include "../fw/Gdi.h"
#include "../look/Paint.h"
#include "../res/resource.h"
#include "../settings/Settings.h"
#include "../tray/TrayIcon.h"
#include <iterator>

const AFX_MSGMAP_ENTRY CWedgeDlg::messageEntries[] = {
    MsgEntry(WM_SYSCOMMAND, &CWedgeDlg::OnSysCommand),
    MsgEntry(WM_PAINT, &CWedgeDlg::OnPaint),
    MsgEntry(WM_DPICHANGED, &CWedgeDlg::OnDpiChanged),
    MsgEntry(WM_TIMER, &CWedgeDlg::OnTimer),
    MsgEntry(WM_QUERYDRAGICON, &CWedgeDlg::OnQueryDragIcon),
    CommandEntry(IDC_BTN_OPENCLOSE, &CWedgeDlg::OnOpenClosePort, BN_CLICKED),
    CommandEntry(IDC_COMBO_PORT, &CWedgeDlg::OnPortChosen, CBN_SELCHANGE),
    CommandEntry(IDC_COMBO_PORT, &CWedgeDlg::OnPortEdited, CBN_EDITCHANGE),
    MsgEntry(WM_TRAYNOTIFY, &CWedgeDlg::OnTrayNotify),
    RegisteredMsgEntry(&WM_TASKBARCREATED, &CWedgeDlg::OnTaskbarCreated),
    CommandEntry(ID_TRAY_RESTORE, &CWedgeDlg::OnRestore),
    CommandEntry(ID_TRAY_OPENPORT, &CWedgeDlg::OnTrayOpenPort),
    CommandEntry(ID_TRAY_EXIT, &CWedgeDlg::OnExit),
    CommandEntry(ID_START_OPTIONS, &CWedgeDlg::OnStartOptions),
    MsgEntry(WM_LINEREAD, &CWedgeDlg::OnLineRead),
    RegisteredMsgEntry(&WM_PROFILESTART, &CWedgeDlg::OnProfileStart),
    MsgEntry(WM_HOTKEY, &CWedgeDlg::OnHotKey),
    CommandEntry(ID_TRAY_ASK, &CWedgeDlg::AskDevice),
    MsgEntry(WM_QUERYENDSESSION, &CWedgeDlg::OnQueryEndSession),
    MsgEntry(WM_ENDSESSION, &CWedgeDlg::OnEndSession),
    MsgEntry(WM_SETTINGCHANGE, &CWedgeDlg::OnSettingChange),
    MsgEntry(WM_WEBREQUEST, &CWedgeDlg::OnWebRequest),
    CommandEntry(ID_TRAY_RECEIVED, &CWedgeDlg::OnShowReceivedData),
    MsgEntry(WM_RENDERFORMAT, &CWedgeDlg::OnRenderFormat),
};
const AFX_MSGMAP CWedgeDlg::messageMap = { &CDialog::messageMap, messageEntries, std::size(messageEntries) };

CWedgeDlg::CWedgeDlg(HICON* pIconSet, CWnd* pParent)
    : CDialog(IDD_MAIN, pParent),
      m_hIcon((HICON)::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_IDLE), IMAGE_ICON,
                                  ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED)),
      m_pIconSet(pIconSet)
{
    m_port.SetReadSink(&m_received);
}

CWedgeDlg::~CWedgeDlg()
{
    // The Enter and Escape keys end the window without Close or Exit; the tray
    // icon and the values still to be typed go with the window on those ways
    // out too.
    EndScans();
    DeleteTrayIcon();
}

void CWedgeDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_LABEL_PORT, m_labelPort);
    DDX_Control(pDX, IDC_COMBO_PORT, m_comboPort);
    DDX_Control(pDX, IDC_LABEL_BAUDRATE, m_labelBaudRate);
    DDX_Control(pDX, IDC_LABEL_DATABITS, m_labelDataBits);
    DDX_Control(pDX, IDC_LABEL_PARITY, m_labelParity);
    DDX_Control(pDX, IDC_COMBO_BAUDRATE, m_comboBaudRate);
    DDX_Control(pDX, IDC_COMBO_DATABITS, m_comboDataBits);
    DDX_Control(pDX, IDC_COMBO_PARITY, m_comboParity);
    DDX_Control(pDX, IDC_LABEL_STATUS, m_labelStatus);
    DDX_CBString(pDX, IDC_COMBO_PORT, m_settings.m_strPort);
    DDX_CBString(pDX, IDC_COMBO_BAUDRATE, m_settings.m_strBaudRate);
    DDX_CBString(pDX, IDC_COMBO_DATABITS, m_settings.m_strDataBits);
    DDX_CBString(pDX, IDC_COMBO_PARITY, m_settings.m_strParity);
    DDX_Control(pDX, IDC_BTN_OPENCLOSE, m_btnOpenClose);
    DDX_Text(pDX, IDC_LABEL_STATUS, m_strStatus);
    DDX_Control(pDX, IDC_LABEL_STOPBITS, m_labelStopBits);
    DDX_Control(pDX, IDC_LABEL_LASTSCAN, m_labelLastScan);
    DDX_Control(pDX, IDC_COMBO_STOPBITS, m_comboStopBits);
    DDX_Control(pDX, IDC_LABEL_FLOWCONTROL, m_labelFlowControl);
    DDX_Control(pDX, IDC_COMBO_FLOWCONTROL, m_comboFlowControl);
    DDX_CBString(pDX, IDC_COMBO_STOPBITS, m_settings.m_strStopBits);
    DDX_CBString(pDX, IDC_COMBO_FLOWCONTROL, m_settings.m_strFlowControl);
    DDX_Control(pDX, IDC_EDIT_LASTSCAN, m_editLastScan);
    DDX_Text(pDX, IDC_EDIT_LASTSCAN, m_strLastScan);
}

void CWedgeDlg::LoadSettings()
{
    LoadPortSettings(m_settings);
    LoadRuleSettings(m_ruleSettings);
}

// What the lists show is what is saved.
void CWedgeDlg::SaveSettings()
{
    UpdateData(TRUE);
    SavePortSettings(m_settings);
}

void CWedgeDlg::DoDisplayExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_LABEL_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_EDIT_LASTSCAN, m_strLastScan);
}

HICON CWedgeDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CWedgeDlg::DeleteTrayIcon()
{
    delete m_pTrayIcon;
    m_pTrayIcon = NULL;
}

void CWedgeDlg::OnPaint()
{
    CPaintDC dc(this);
    RECT rect;
    GetClientRect(&rect);
    if (IsIconic()) {
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.m_hDC, 0);
        PaintCentredIcon(dc.m_hDC, rect, m_hIcon);
        return;
    }
    PaintBackground(dc.m_hDC, rect, WindowDpi(m_hWnd));
    // The displays show their members again, whatever was written to them
    // since; unchanged texts are not set again, so this paints nothing more.
    // The lists are left alone: they hold what the user is choosing.
    CDataExchange dx(this, FALSE);
    DoDisplayExchange(&dx);
}

// Moved to a monitor of another DPI: the dialog manager makes the font and
// lays out the controls for it (per-monitor v2); the window takes the size
// Windows suggests and paints its picture for the new DPI.
LRESULT CWedgeDlg::OnDpiChanged(WPARAM, LPARAM lParam)
{
    LRESULT lResult = Default();
    const RECT* pSuggested = (const RECT*)lParam;
    SetWindowPos(NULL, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                 pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return lResult;
}
