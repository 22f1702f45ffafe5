// The Scan Rules dialog: the rules as texts, which a list fills in for
// common devices, and a preview of what they would type from the last scan
// received, which follows the scans that come while it is open. Its fields
// are in pages: the rules, the target window and the log, and the commands
// and modem lines of a device that must be asked.
#pragma once
#include <string>
#include "../fw/Controls.h"
#include "../fw/Dialog.h"
#include "../settings/RuleSettings.h"

class CScanRulesDlg : public CDialog {
public:
    CScanRulesDlg(const RuleSettings& settings, const std::wstring& lastScan);
    // The rules as the user left them; they hold when the dialog ended with OK.
    const RuleSettings& Settings() const { return m_settings; }
    // A scan that came: the preview shows it and what it would type.
    void ShowScan(const std::wstring& scan);
    // False where Windows did not register the tab control the dialog holds.
    bool CanShow() const { return m_bTabsRegistered; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Ends only with rules that all hold; otherwise a box says why.
    void OnOK() override;
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }

private:
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;

    // Takes the rules from the controls and shows what they would type.
    void OnRuleChanged();
    // Fills the fields with the rules of the device chosen in the list.
    void OnDeviceChosen();
    void OnRequestChanged();
    void OnWebChanged();
    // Shows the page whose tab is chosen, and hides the others.
    LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    void ShowPage(int nPage);

    RuleSettings m_settings;
    CString m_strRequestShown;
    CString m_strWebShown;
    std::wstring m_lastScan;
    CString m_strScanShown;
    CString m_strTypedShown;
    CComboBox m_comboNoMatch;
    CComboBox m_comboDevice;
    CComboBox m_comboHandshake;
    CComboBox m_comboTypeBy;
    bool m_bShown = false;   // the controls are filled: their changes are the user's
    bool m_bTabsRegistered = false;
};
