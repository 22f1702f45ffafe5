// The main window: the option lists and their setting strings, the labels, the
// open/close button, the Last Scan display, the port and the tray icon.
#pragma once
#include "../fw/Controls.h"
#include "../fw/Dialog.h"
#include "../look/TransparentStatic.h"
#include "../serial/CommPort.h"
#include "../settings/PortSettings.h"

class CTrayIcon;

// The gather timer ticks once, to read on a scan still arriving.
enum { POLL_TIMER = 1, BLINK_TIMER = 2, GATHER_TIMER = 4 };

// The beep after a typed text; tests count beeps here.
extern BOOL (WINAPI* g_pfnMessageBeep)(UINT uType);

class CWedgeDlg : public CDialog {
public:
    // The tray icon shows the icons of pIconSet (idle, active, idle), which
    // must live as long as the window.
    explicit CWedgeDlg(HICON* pIconSet, CWnd* pParent = NULL);
    ~CWedgeDlg() override;

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
    CString m_strLastScan;   // the latest scan received (a longer burst: its last piece); set by ReadScan alone
    HICON* m_pIconSet;
    PortState m_portState = PORT_CLOSED;   // what ShowPortState last showed

    // Initialisation
    void FillLists();
    void CreateTrayIcon();
    // Settings store
    void LoadSettings();
    void SaveSettings();
    // Port open and close
    void OnOpenClosePort();
    void OnTrayOpenPort();
    void OpenPortFromSettings();
    void ClosePort();
    void EnableSettings(bool bEnable);
    void ShowPortState(PortState state);
    void LosePort();
    void FindLostPort();
    // Timers
    void OnTimer(UINT_PTR nIDEvent);
    void ReadScan();
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
    // Painting
    void OnPaint();
    // The two displays alone, for a repaint: the lists hold what the user is choosing.
    void DoDisplayExchange(CDataExchange* pDX);
};
