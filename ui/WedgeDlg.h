// The main window: the option lists and their setting strings, the labels, the
// open/close button, the Last Scan display, the port and the tray icon.
#pragma once
#include "../fw/Controls.h"
#include "../fw/Dialog.h"
#include "../ask/DeviceAsker.h"
#include "../look/TransparentStatic.h"
#include "../scan/ScanTyper.h"
#include "../serial/CommPort.h"
#include "../serial/LineReader.h"
#include "ReceivedDataDlg.h"
#include "../settings/PortSettings.h"

class CTrayIcon;
class CScanRulesDlg;

// The read-on timer ticks once, to read on a scan still arriving; the key
// pace timer types one character a tick at the key delay; the log retry
// timer writes the log's waiting lines once a second while there are any.
// Id 3 is left unused: tests post it as the tick of no timer.
// The Received Data window brings its list up to date on its own timer.
enum { POLL_TIMER = 1, BLINK_TIMER = 2, READ_ON_TIMER = 4, KEY_PACE_TIMER = 5, REQUEST_TIMER = 6, LOG_RETRY_TIMER = 7,
       RECEIVED_TIMER = 10 };
// The hotkey that asks the device for a reading.
enum { REQUEST_HOTKEY = 1 };

// What the line reader posts for each scan it read, and for a line lost.
const UINT WM_LINEREAD = WM_APP + 1001;
// What the web feed posts for a page's request; wParam: the page.
const UINT WM_WEBREQUEST = WM_APP + 1002;
// What a second start of the window's profile posts to it; wParam: the start
// asked to open the port.
extern const UINT WM_PROFILESTART;

class CWedgeDlg : public CDialog {
public:
    // The tray icon shows the icons of pIconSet (idle, active, idle), which
    // must live as long as the window.
    explicit CWedgeDlg(HICON* pIconSet, CWnd* pParent = NULL);
    ~CWedgeDlg() override;

    // What the command line asked of this start, done once the window is up:
    // open the port as Open Port does, waiting for a device that is not there
    // yet; or show a message about an argument it did not understand.
    void OpenPortAtStart() { m_bOpenAtStart = true; }
    void ShowAtStart(const CString& strMessage) { m_strStartMessage = strMessage; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }

private:
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;

    // What the window and the tray icon show of the port. Lost: the device
    // went away while open; the timers go on, to find it again.
    enum PortState { PORT_CLOSED, PORT_OPEN, PORT_LOST };

    CTrayIcon* m_pTrayIcon = NULL;
    BOOL m_bHidden = FALSE;
    int m_nBlinkCount = 0;
    CComboBox m_comboPort;
    CComboBox m_comboBaudRate;
    CComboBox m_comboDataBits;
    CComboBox m_comboParity;
    HICON m_hIcon;
    CTransparentStatic m_labelPort;
    CTransparentStatic m_labelBaudRate;
    CTransparentStatic m_labelDataBits;
    CTransparentStatic m_labelParity;
    CTransparentStatic m_labelStatus;
    UINT_PTR m_nPollTimer = 0;
    UINT_PTR m_nBlinkTimer = 0;
    CBufferedCommPort m_port;
    PortSettings m_settings;
    CButton m_btnOpenClose;
    CString m_strStatus;
    CTransparentStatic m_labelStopBits;
    CTransparentStatic m_labelLastScan;
    CComboBox m_comboStopBits;
    CTransparentStatic m_labelFlowControl;
    CComboBox m_comboFlowControl;
    CEdit m_editLastScan;
    // What the latest scan typed, or the scan as received when it typed
    // nothing (a longer burst: its last piece); set by ReadScan alone.
    CString m_strLastScan;
    HICON* m_pIconSet;
    PortState m_portState = PORT_CLOSED;   // what ShowPortState last showed
    bool m_bOpenAtStart = false;
    CString m_strStartMessage;
    bool m_bHideWithTrayIcon = false;   // opened at start while the notification area was not up
    // Scans (ui/ScanTyping.cpp)
    RuleSettings m_ruleSettings;        // as stored, or as the dialog last saved them
    CTargetWindow m_target;             // where the keys go; taken with the rules
    CScanLog m_log;                     // every value a scan gave; taken with the rules
    CReceivedData m_received;           // what passed on the line lately, fed by the port's reads, the typer and the sends
    CWebFeed m_web;                     // every value a scan gave, to web pages; taken with the rules
    CScanTyper m_typer { KEY_PACE_TIMER, m_target, m_log, m_web, m_received };   // its rules taken when the port opens and on the dialog's OK
    CLineReader m_reader;               // with ScanAtOnce, reads the open port in place of the poll
    CScanRulesDlg* m_pRulesDlg = NULL;  // while the dialog is open
    CDeviceAsker m_asker { REQUEST_HOTKEY, REQUEST_TIMER };   // what is sent to the device, and when
    CReceivedDataDlg m_receivedDlg { m_received };   // while it is open

    // Initialisation
    void FillLists();
    void CreateTrayIcon();
    // Settings store
    void LoadSettings();
    void SaveSettings();
    // Port open and close
    void OnOpenClosePort();
    void OnTrayOpenPort();
    void OnStartOptions();
    void OpenPortAsAtStart();
    // At start, a port that cannot be opened is waited for instead of refused.
    void OpenPortFromSettings(bool bAtStart = false);
    // A COM port or a network port by the settings; false where it was refused.
    bool OpenComPort(bool bAtStart, CString& strOff, PortState& state);
    bool OpenNetPort(bool bAtStart, CString& strOff, PortState& state);
    void ClosePort();
    void EnableSettings(bool bEnable);
    void ListNetworkPort();
    void OnPortChosen();
    void OnPortEdited();
    void ShowPortState(PortState state);
    void LosePort();
    void FindLostPort();
    // Timers and reading
    void OnTimer(UINT_PTR nIDEvent);
    void ReadScan();
    void StartReading();
    LRESULT OnLineRead(WPARAM wParam, LPARAM lParam);
    // Commands to the device (ui/DeviceAsking.cpp)
    CString StartAsking();
    void AskDevice();
    void SendToDevice(const std::string& bytes);
    void ShowSendFailure(DWORD dwError);
    void HeardDevice();
    LRESULT OnHotKey(WPARAM wParam, LPARAM lParam);
    LRESULT OnWebRequest(WPARAM wParam, LPARAM lParam);
    // Scans and their rules
    void OnScanRules();
    void TakeRules(LPCSTR pszWhenFaulty, const CString& strOthersOff = CString());
    void TakeScan(const std::wstring& scan);
    // The web feed serves by the rules' WebPort and WebOrigins; returns why not.
    CString TakeWebFeed();
    // Profiles (ui/Profiles.cpp)
    LRESULT OnProfileStart(WPARAM wParam, LPARAM lParam);
    void OnNewProfile();
    void OnStartWithWindows();
    void ShowStartWithWindows();
    // The balloon for what the typer and the log have to say, and the log's
    // retry timer while lines wait.
    void ShowNotices();
    // The Received Data window, and the clipboard's request for a pasted value
    void OnShowReceivedData();
    LRESULT OnRenderFormat(WPARAM wParam, LPARAM lParam);
    // The program ends: what the reading thread read is typed, the values
    // still to be typed are logged as not, and the log's last lines are
    // written, or kept beside its file, as the event log says.
    void EndScans();
    LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
    // Group Policy's refresh: the policies are taken again, as at start.
    LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
    // The rules as they now stand, taken while the window runs.
    void ApplyRuleSettings();
    // Window commands
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnRestore();
    void OnExit();
    HICON OnQueryDragIcon();
    bool HideIntoTray();
    void ShowFromTray();
    void DeleteTrayIcon();
    // Tray notifications
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void AddTrayIcon();
    // Painting
    void OnPaint();
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    // The two displays alone, for a repaint: the lists hold what the user is choosing.
    void DoDisplayExchange(CDataExchange* pDX);
};
