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
    DWORD dwQuietMs = 0;
    if (!ParseScanQuiet(m_ruleSettings.m_strQuietMs, dwQuietMs))
        AddReason(strReasons, "Scan quiet: ", kScanQuietFault);
    m_target.Take(m_ruleSettings.m_strTarget, m_ruleSettings.m_strActivate == "1");
    char chSeparator = ',';
    if (!LogSeparator(m_ruleSettings.m_strLogSeparator, chSeparator))
        AddReason(strReasons, "Log separator: ", "it must be , or ; or empty for the user's list separator.");
    m_log.SetSource(ProfileName(), m_settings.m_strPort, chSeparator);
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
    if (!dlg.CanShow()) {
        AfxMessageBox("The Scan Rules dialog cannot be shown: Windows did not register its tab control.",
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_pRulesDlg = &dlg;
    INT_PTR nResult = dlg.DoModal();
    m_pRulesDlg = NULL;
    if (nResult != IDOK)
        return;
    m_ruleSettings = dlg.Settings();
    TakePolicyRules(m_ruleSettings);
    SaveRuleSettings(m_ruleSettings);
    ApplyRuleSettings();
}

// Where the rules came from the dialog, only texts that hold are left: what
// may still be off is a hotkey another program holds.
void CWedgeDlg::ApplyRuleSettings()
{
    CString strOff = m_portState != PORT_CLOSED ? StartAsking() : CString();
    TakeRules("", strOff);
    if (m_portState == PORT_OPEN)
        StartReading();   // ScanAtOnce may have changed
}

LRESULT CWedgeDlg::OnSettingChange(WPARAM, LPARAM lParam)
{
    if (lParam == 0 || ::lstrcmpiA((LPCSTR)lParam, "Policy") != 0)
        return 0;
    // An open port keeps its line until it opens again, and takes the
    // policy's then.
    if (m_portState == PORT_CLOSED) {
        UpdateData(TRUE);
        TakePolicyPortSettings(m_settings);
        UpdateData(FALSE);
        EnableSettings(true);
    }
    LoadRuleSettings(m_ruleSettings);
    ApplyRuleSettings();
    return 0;
}

void CWedgeDlg::EndScans()
{
    for (const std::wstring& scan : m_reader.Stop())
        m_typer.Type(scan);
    m_typer.Stop("the program ended");
    CString strReport = m_log.Close();
    if (!strReport.IsEmpty())
        ReportPortEvent(EVENT_LOG_UNSAVED, m_settings.m_strPort, strReport);
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

// The log is written here, never while the desktop's keys are held for a
// scan: a share that has gone holds up this window alone, not the other
// profiles' scans.
void CWedgeDlg::ShowNotices()
{
    if (!m_typer.IsTyping())
        m_log.Flush();
    for (const CString& strNotice : { m_typer.TakeNotice(), m_log.TakeNotice() }) {
        if (!strNotice.IsEmpty())
            m_pTrayIcon->ShowBalloon(strNotice);
    }
    if (m_log.IsWaiting())
        SetTimer(LOG_RETRY_TIMER, 1000);
    else
        KillTimer(LOG_RETRY_TIMER);
}

// The program taking a pasted value asks for its text.
LRESULT CWedgeDlg::OnRenderFormat(WPARAM wParam, LPARAM)
{
    m_typer.RenderPaste((UINT)wParam);
    return 0;
}
