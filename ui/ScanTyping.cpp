// What a scan types under the scan rules, the Scan Rules command, and the
// keys typed one by one at the key delay.
#include "WedgeDlg.h"
#include "ScanRulesDlg.h"
#include "../fw/MessageBox.h"
#include "../keys/Keystrokes.h"
#include "../settings/Settings.h"

// The rules from their texts; a box says which do not hold, and those are off.
void CWedgeDlg::TakeRules(LPCSTR pszWhenFaulty)
{
    CString strReasons = m_rules.Compile(m_ruleSettings);
    m_repeatMemory = RepeatMemory();
    if (!strReasons.IsEmpty()) {
        CString strText = pszWhenFaulty;
        strText += strReasons;
        AfxMessageBox(strText, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CWedgeDlg::OnScanRules()
{
    CScanRulesDlg dlg(m_ruleSettings, m_strLastReceived);
    m_pRulesDlg = &dlg;
    INT_PTR nResult = dlg.DoModal();
    m_pRulesDlg = NULL;
    if (nResult != IDOK)
        return;
    m_ruleSettings = dlg.Settings();
    SaveRuleSettings(m_ruleSettings);
    TakeRules("");   // the dialog let only rules that hold end it
}

// Not while any window of this thread is in front: the About box, the Scan
// Rules dialog, a message box or the tray menu would take the keys.
bool CWedgeDlg::OwnWindowInFront() const
{
    return ::GetWindowThreadProcessId(g_desktop.pfnGetForegroundWindow(), NULL) ==
           ::GetWindowThreadProcessId(m_hWnd, NULL);
}

// Types a scan by the rules, with a beep, or the error sound where keys were
// lost; returns what the Last Scan shows: what was typed, or the scan as it
// came when nothing was.
CString CWedgeDlg::TypeScan(const CString& strScan)
{
    std::wstring scan = DecodeText(strScan, CP_ACP);
    if (!scan.empty()) {
        m_strLastReceived = scan;
        if (m_pRulesDlg != NULL)
            m_pRulesDlg->ShowScan(scan);
    }
    if (OwnWindowInFront())
        return strScan;
    if (!m_rules.IsSet()) {
        g_pfnMessageBeep(TypeText(strScan) ? MB_ICONASTERISK : MB_ICONHAND);
        return strScan;
    }
    std::wstring keys = m_rules.Apply(scan, m_repeatMemory, ::GetTickCount64());
    if (keys.empty())
        return strScan;   // all dropped or skipped: no beep
    if (m_rules.KeyDelay() == 0) {
        g_pfnMessageBeep(TypeKeys(keys) ? MB_ICONASTERISK : MB_ICONHAND);
    } else {
        bool bTyping = !m_strPendingKeys.empty();
        m_strPendingKeys += keys;
        if (!bTyping) {
            SetTimer(KEY_DELAY_TIMER, m_rules.KeyDelay());
            TypeNextKey();
        }
    }
    return CString(keys);
}

// One character a tick, so that the window stays responsive; the beep comes
// after the last, the error sound where one is refused, and the rest is lost.
void CWedgeDlg::TypeNextKey()
{
    size_t nLength = FirstCharLength(m_strPendingKeys);
    if (OwnWindowInFront() || !TypeKeys(m_strPendingKeys.substr(0, nLength))) {
        StopTyping();
        g_pfnMessageBeep(MB_ICONHAND);
        return;
    }
    m_strPendingKeys.erase(0, nLength);
    if (m_strPendingKeys.empty()) {
        StopTyping();
        g_pfnMessageBeep(MB_ICONASTERISK);
    }
}

void CWedgeDlg::StopTyping()
{
    KillTimer(KEY_DELAY_TIMER);
    m_strPendingKeys.clear();
}
