// A scan read from the port: shown, typed by the scan rules, and followed in
// the Scan Rules dialog; and the Scan Rules command.
#include "WedgeDlg.h"
#include "ScanRulesDlg.h"
#include "../events/EventLog.h"
#include "../fw/MessageBox.h"
#include "../settings/Settings.h"
#include "../tray/TrayIcon.h"

// The rules, the target and the log from their texts; a box says which do
// not hold, and those are off, with the other settings that are off for the
// reasons given.
void CWedgeDlg::TakeRules(LPCSTR pszWhenFaulty, const CString& strOthersOff)
{
    CString strReasons = m_typer.TakeRules(m_ruleSettings);
    m_target.Take(m_ruleSettings.m_strTarget, m_ruleSettings.m_strActivate == "1");
    m_log.SetSource(ProfileName(), m_settings.m_strPort);
    CString strLogFault = m_log.Take(m_ruleSettings.m_strLogFile);
    if (!strLogFault.IsEmpty())
        AddReason(strReasons, "Log file: ", strLogFault);
    CString strWebFault = TakeWebFeed();
    if (!strWebFault.IsEmpty())
        AddReason(strReasons, "", strWebFault);
    if (!strOthersOff.IsEmpty())
        AddReason(strReasons, "", strOthersOff);
    if (!strReasons.IsEmpty()) {
        ReportPortEvent(EVENT_RULES_OFF, m_settings.m_strPort, strReasons);
        CString strText = pszWhenFaulty;
        strText += strReasons;
        AfxMessageBox(strText, MB_OK | MB_ICONEXCLAMATION);
    }
}

CString CWedgeDlg::TakeWebFeed()
{
    m_web.SetSource(ProfileName(), m_settings.m_strPort);
    return m_web.Take(m_ruleSettings.m_strWebPort, m_ruleSettings.m_strWebOrigins);
}

void CWedgeDlg::OnScanRules()
{
    CScanRulesDlg dlg(m_ruleSettings, m_typer.LastReceived());
    m_pRulesDlg = &dlg;
    INT_PTR nResult = dlg.DoModal();
    m_pRulesDlg = NULL;
    if (nResult != IDOK)
        return;
    m_ruleSettings = dlg.Settings();
    TakePolicyRules(m_ruleSettings);
    SaveRuleSettings(m_ruleSettings);
    // The dialog let only texts that hold end it: what is left is a hotkey
    // another program holds.
    CString strOff = m_portState != PORT_CLOSED ? StartAsking() : CString();
    TakeRules("", strOff);
    if (m_portState == PORT_OPEN)
        StartReading();   // ScanAtOnce may have changed
}

void CWedgeDlg::TakeScan(const std::wstring& scan)
{
    HeardDevice();
    if (m_pRulesDlg != NULL && !scan.empty())
        m_pRulesDlg->ShowScan(scan);
    m_strLastScan = CString(m_typer.Type(scan));
    UpdateData(FALSE);
    ShowNotices();
}

void CWedgeDlg::ShowNotices()
{
    for (const CString& strNotice : { m_typer.TakeNotice(), m_log.TakeNotice() }) {
        if (!strNotice.IsEmpty())
            m_pTrayIcon->ShowBalloon(strNotice);
    }
    if (m_log.IsWaiting())
        SetTimer(LOG_RETRY_TIMER, 1000);
    else
        KillTimer(LOG_RETRY_TIMER);
}
