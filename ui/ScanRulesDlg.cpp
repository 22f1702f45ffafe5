#include "ScanRulesDlg.h"
#include "../ask/DeviceAsker.h"
#include "../fw/MessageBox.h"
#include "../log/ScanLog.h"
#include "../net/NetRules.h"
#include "../res/resource.h"
#include "../rules/DevicePresets.h"
#include "../rules/ScanRules.h"
#include "../serial/CommPort.h"
#include "../settings/Settings.h"
#include "../web/WebRules.h"
#include <commctrl.h>
#include <uxtheme.h>
#include <iterator>

const AFX_MSGMAP_ENTRY CScanRulesDlg::messageEntries[] = {
    CommandEntry(IDC_EDIT_PREFIX, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_SUFFIX, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_COMBO_DEVICE, &CScanRulesDlg::OnDeviceChosen, CBN_SELCHANGE),
    CommandEntry(IDC_EDIT_PATTERN, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_OUTPUT, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_REPLACE, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_REPLACEWITH, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_REPEATSECONDS, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_COMBO_NOMATCH, &CScanRulesDlg::OnRuleChanged, CBN_SELCHANGE),
    CommandEntry(IDC_CHECK_SKIPREPEATS, &CScanRulesDlg::OnRuleChanged, BN_CLICKED),
    CommandEntry(IDC_EDIT_KEYDELAY, &CScanRulesDlg::OnRuleChanged, EN_CHANGE),
    CommandEntry(IDC_CHECK_ATONCE, &CScanRulesDlg::OnRuleChanged, BN_CLICKED),
    CommandEntry(IDC_EDIT_REQUEST, &CScanRulesDlg::OnRequestChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_WEBPORT, &CScanRulesDlg::OnWebChanged, EN_CHANGE),
    CommandEntry(IDC_EDIT_WEBORIGINS, &CScanRulesDlg::OnWebChanged, EN_CHANGE),
    MsgEntry(WM_NOTIFY, &CScanRulesDlg::OnNotify),
};
const AFX_MSGMAP CScanRulesDlg::messageMap = { &CDialog::messageMap, messageEntries, std::size(messageEntries) };

// The control that edits each rule: a rule a policy fixes is shown, disabled.
static const struct { CString RuleSettings::*pstr; int nID; } kRuleControls[] = {
    { &RuleSettings::m_strPrefix, IDC_EDIT_PREFIX },
    { &RuleSettings::m_strSuffix, IDC_EDIT_SUFFIX },
    { &RuleSettings::m_strPattern, IDC_EDIT_PATTERN },
    { &RuleSettings::m_strNoMatch, IDC_COMBO_NOMATCH },
    { &RuleSettings::m_strSkipRepeats, IDC_CHECK_SKIPREPEATS },
    { &RuleSettings::m_strKeyDelay, IDC_EDIT_KEYDELAY },
    { &RuleSettings::m_strAtOnce, IDC_CHECK_ATONCE },
    { &RuleSettings::m_strQuietMs, IDC_EDIT_QUIETMS },
    { &RuleSettings::m_strTypeBy, IDC_COMBO_TYPEBY },
    { &RuleSettings::m_strOutput, IDC_EDIT_OUTPUT },
    { &RuleSettings::m_strReplace, IDC_EDIT_REPLACE },
    { &RuleSettings::m_strReplaceWith, IDC_EDIT_REPLACEWITH },
    { &RuleSettings::m_strRepeatSeconds, IDC_EDIT_REPEATSECONDS },
    { &RuleSettings::m_strTarget, IDC_EDIT_TARGET },
    { &RuleSettings::m_strActivate, IDC_CHECK_ACTIVATE },
    { &RuleSettings::m_strLogFile, IDC_EDIT_LOGFILE },
    { &RuleSettings::m_strLogOnly, IDC_CHECK_LOGONLY },
    { &RuleSettings::m_strWebPort, IDC_EDIT_WEBPORT },
    { &RuleSettings::m_strWebOrigins, IDC_EDIT_WEBORIGINS },
    { &RuleSettings::m_strOpenCommand, IDC_EDIT_OPENCOMMAND },
    { &RuleSettings::m_strRequestCommand, IDC_EDIT_REQUEST },
    { &RuleSettings::m_strRequestHotkey, IDC_EDIT_HOTKEY },
    { &RuleSettings::m_strRequestInterval, IDC_EDIT_INTERVAL },
    { &RuleSettings::m_strRaiseDTR, IDC_CHECK_DTR },
    { &RuleSettings::m_strRaiseRTS, IDC_CHECK_RTS },
    { &RuleSettings::m_strHandshake, IDC_COMBO_HANDSHAKE },
    { &RuleSettings::m_strAllowedSenders, IDC_EDIT_SENDERS },
};

// The pages, in the order of their tabs: a page is the controls whose ids
// lie in its range.
static const struct { LPCSTR pszTitle; int nFirstID; int nLastID; } kPages[] = {
    { "Rules", IDC_PAGE_RULES_FIRST, IDC_PAGE_RULES_LAST },
    { "Target and log", IDC_PAGE_TARGET_FIRST, IDC_PAGE_TARGET_LAST },
    { "Device", IDC_PAGE_DEVICE_FIRST, IDC_PAGE_DEVICE_LAST },
};

// The handshake list shows no handshake, stored empty, as None.
static const char kNoHandshake[] = "None";

CScanRulesDlg::CScanRulesDlg(const RuleSettings& settings, const std::wstring& lastScan)
    : CDialog(IDD_SCANRULES), m_settings(settings), m_lastScan(lastScan)
{
    if (m_settings.m_strNoMatch != "Type")
        m_settings.m_strNoMatch = "Drop";
    // A stored text that is neither is off, which types keys.
    CString strTypeBy = m_settings.m_strTypeBy;
    strTypeBy.MakeUpper();
    m_settings.m_strTypeBy = strTypeBy == "PASTE" ? "Paste" : "Keys";
    // The tab control is a common control: its class exists once registered.
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_TAB_CLASSES };
    m_bTabsRegistered = ::InitCommonControlsEx(&icc) != FALSE;
}

void CScanRulesDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_COMBO_NOMATCH, m_comboNoMatch);
    DDX_Control(pDX, IDC_COMBO_DEVICE, m_comboDevice);
    DDX_Control(pDX, IDC_COMBO_HANDSHAKE, m_comboHandshake);
    DDX_Control(pDX, IDC_COMBO_TYPEBY, m_comboTypeBy);
    DDX_Text(pDX, IDC_EDIT_PREFIX, m_settings.m_strPrefix);
    DDX_Text(pDX, IDC_EDIT_SUFFIX, m_settings.m_strSuffix);
    DDX_Text(pDX, IDC_EDIT_PATTERN, m_settings.m_strPattern);
    DDX_Text(pDX, IDC_EDIT_OUTPUT, m_settings.m_strOutput);
    DDX_Text(pDX, IDC_EDIT_REPLACE, m_settings.m_strReplace);
    DDX_Text(pDX, IDC_EDIT_REPLACEWITH, m_settings.m_strReplaceWith);
    DDX_Text(pDX, IDC_EDIT_REPEATSECONDS, m_settings.m_strRepeatSeconds);
    DDX_CBString(pDX, IDC_COMBO_NOMATCH, m_settings.m_strNoMatch);
    DDX_Check(pDX, IDC_CHECK_SKIPREPEATS, m_settings.m_strSkipRepeats);
    DDX_Text(pDX, IDC_EDIT_KEYDELAY, m_settings.m_strKeyDelay);
    DDX_Check(pDX, IDC_CHECK_ATONCE, m_settings.m_strAtOnce);
    DDX_Text(pDX, IDC_EDIT_QUIETMS, m_settings.m_strQuietMs);
    DDX_Text(pDX, IDC_EDIT_SENDERS, m_settings.m_strAllowedSenders);
    DDX_CBString(pDX, IDC_COMBO_TYPEBY, m_settings.m_strTypeBy);
    DDX_Text(pDX, IDC_EDIT_TARGET, m_settings.m_strTarget);
    DDX_Check(pDX, IDC_CHECK_ACTIVATE, m_settings.m_strActivate);
    DDX_Text(pDX, IDC_EDIT_LOGFILE, m_settings.m_strLogFile);
    DDX_Check(pDX, IDC_CHECK_LOGONLY, m_settings.m_strLogOnly);
    DDX_Text(pDX, IDC_EDIT_WEBPORT, m_settings.m_strWebPort);
    DDX_Text(pDX, IDC_EDIT_WEBORIGINS, m_settings.m_strWebOrigins);
    DDX_Text(pDX, IDC_LABEL_WEBADDRESS, m_strWebShown);
    DDX_Text(pDX, IDC_EDIT_OPENCOMMAND, m_settings.m_strOpenCommand);
    DDX_Text(pDX, IDC_EDIT_REQUEST, m_settings.m_strRequestCommand);
    DDX_Text(pDX, IDC_EDIT_HOTKEY, m_settings.m_strRequestHotkey);
    DDX_Text(pDX, IDC_EDIT_INTERVAL, m_settings.m_strRequestInterval);
    DDX_Check(pDX, IDC_CHECK_DTR, m_settings.m_strRaiseDTR);
    DDX_Check(pDX, IDC_CHECK_RTS, m_settings.m_strRaiseRTS);
    if (m_settings.m_strHandshake.IsEmpty())
        m_settings.m_strHandshake = kNoHandshake;
    DDX_CBString(pDX, IDC_COMBO_HANDSHAKE, m_settings.m_strHandshake);
    if (m_settings.m_strHandshake == kNoHandshake)
        m_settings.m_strHandshake.Empty();
    DDX_Text(pDX, IDC_LABEL_REQUESTSENDS, m_strRequestShown);
    DDX_Text(pDX, IDC_EDIT_PREVIEWSCAN, m_strScanShown);
    DDX_Text(pDX, IDC_EDIT_PREVIEWTYPED, m_strTypedShown);
}

BOOL CScanRulesDlg::OnInitDialog()
{
    // The pages' labels and check boxes lie on the tab control, whose page
    // Windows' theme paints lighter than a dialog: the dialog takes the
    // page's background, so that they show no box of the dialog's grey.
    ::EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    UpdateData(FALSE);   // binds the list, which then gets its items
    for (LPCSTR psz : { "Drop", "Type" })
        m_comboNoMatch.AddString(psz);
    for (LPCSTR psz : { kNoHandshake, "RTS/CTS", "XON/XOFF" })
        m_comboHandshake.AddString(psz);
    for (LPCSTR psz : { "Keys", "Paste" })
        m_comboTypeBy.AddString(psz);
    for (const DevicePreset& preset : kDevicePresets)
        m_comboDevice.AddString(preset.pszName);
    UpdateData(FALSE);
    for (CString RuleSettings::*pstr : RuleSettingsFixedByPolicy()) {
        for (const auto& control : kRuleControls) {
            if (control.pstr == pstr)
                ::EnableWindow(GetDlgItem(control.nID), FALSE);
        }
    }
    HWND hTabs = GetDlgItem(IDC_TAB_PAGES);
    for (size_t i = 0; i < std::size(kPages); i++) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = (LPSTR)kPages[i].pszTitle;
        ::SendMessageA(hTabs, TCM_INSERTITEMA, i, (LPARAM)&item);
    }
    ShowPage(0);
    m_bShown = true;
    ShowScan(m_lastScan);
    OnRequestChanged();
    OnWebChanged();
    return TRUE;
}

LRESULT CScanRulesDlg::OnNotify(WPARAM, LPARAM lParam)
{
    const NMHDR* pHeader = (const NMHDR*)lParam;
    if (pHeader->idFrom == IDC_TAB_PAGES && pHeader->code == TCN_SELCHANGE)
        ShowPage((int)::SendMessageA(pHeader->hwndFrom, TCM_GETCURSEL, 0, 0));
    return 0;
}

void CScanRulesDlg::ShowPage(int nPage)
{
    for (size_t i = 0; i < std::size(kPages); i++) {
        for (int nID = kPages[i].nFirstID; nID <= kPages[i].nLastID; nID++) {
            if (HWND hControl = GetDlgItem(nID))
                ::ShowWindow(hControl, (int)i == nPage ? SW_SHOW : SW_HIDE);
        }
    }
}

void CScanRulesDlg::ShowScan(const std::wstring& scan)
{
    m_lastScan = scan;
    OnRuleChanged();
}

void CScanRulesDlg::OnDeviceChosen()
{
    int nChosen = (int)m_comboDevice.SendMessage(CB_GETCURSEL, 0, 0);
    if (nChosen < 0 || nChosen >= (int)std::size(kDevicePresets))
        return;
    UpdateData(TRUE);
    FillFromPreset(kDevicePresets[nChosen], m_settings);
    TakePolicyRules(m_settings);
    m_bShown = false;   // the fields' changes as they are filled are not the user's
    UpdateData(FALSE);
    m_bShown = true;
    OnRuleChanged();
    OnRequestChanged();
}

// What the request sends, as the preview shows a received text, or why it
// cannot be sent.
void CScanRulesDlg::OnRequestChanged()
{
    if (!m_bShown)
        return;
    UpdateData(TRUE);
    std::string bytes;
    CString strReason;
    if (!ParseCommand(m_settings.m_strRequestCommand, bytes, strReason))
        m_strRequestShown = strReason;
    else if (bytes.empty())
        m_strRequestShown.Empty();
    else {
        m_strRequestShown = "Sends: ";
        m_strRequestShown += CString(ShowReceived(CString(bytes.c_str(), (int)bytes.size()).Wide()));
    }
    UpdateData(FALSE);
}

// Where a page connects, or why it cannot.
void CScanRulesDlg::OnWebChanged()
{
    if (!m_bShown)
        return;
    UpdateData(TRUE);
    CString strWhy;
    unsigned short nPort = ParseWebPort(m_settings.m_strWebPort, strWhy);
    m_strWebShown = WebSettingsFault(m_settings.m_strWebPort, m_settings.m_strWebOrigins);
    if (m_strWebShown.IsEmpty() && nPort == 0)
        m_strWebShown = "Empty: nothing listens, no page connects.";
    else if (m_strWebShown.IsEmpty())
        m_strWebShown.Format("Pages connect to ws://127.0.0.1:%u/ (or [::1], localhost); GET /last gives the last value.",
                             nPort);
    UpdateData(FALSE);
}

void CScanRulesDlg::OnRuleChanged()
{
    if (!m_bShown)
        return;
    UpdateData(TRUE);
    CScanRules rules;
    CString strReasons = rules.Compile(m_settings);
    RepeatMemory memory;
    m_strScanShown = CString(ShowReceived(m_lastScan));
    m_strTypedShown =
        strReasons.IsEmpty() ? CString(ShowKeys(rules.Apply(m_lastScan, memory, ::GetTickCount64()))) : strReasons;
    UpdateData(FALSE);
}

void CScanRulesDlg::OnOK()
{
    UpdateData(TRUE);
    CScanRules rules;
    CString strReasons = rules.Compile(m_settings);
    CString strLogFault = m_settings.m_strLogFile.IsEmpty() ? CString() : LogFileFault(m_settings.m_strLogFile);
    if (!strLogFault.IsEmpty())
        AddReason(strReasons, "Log file: ", strLogFault);
    CString strWebFault = WebSettingsFault(m_settings.m_strWebPort, m_settings.m_strWebOrigins);
    if (!strWebFault.IsEmpty())
        AddReason(strReasons, "", strWebFault);
    DWORD dwQuietMs = 0;
    if (!ParseScanQuiet(m_settings.m_strQuietMs, dwQuietMs))
        AddReason(strReasons, "Scan quiet: ", kScanQuietFault);
    std::vector<SenderNet> senders;
    CString strSendersFault;
    if (!ParseAllowedSenders(m_settings.m_strAllowedSenders, senders, strSendersFault))
        AddReason(strReasons, "", strSendersFault);
    CString strCommandsOff = CDeviceAsker::Check(m_settings);
    if (!strCommandsOff.IsEmpty())
        AddReason(strReasons, "", strCommandsOff);
    if (!strReasons.IsEmpty()) {
        AfxMessageBox(strReasons, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
