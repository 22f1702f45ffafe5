// The one command that opens and closes the port, and what each state shows.
#include "WedgeDlg.h"
#include "../events/EventLog.h"
#include "../fw/MessageBox.h"
#include "../net/NetLines.h"
#include "../res/resource.h"
#include "../settings/Profiles.h"
#include "../settings/Settings.h"
#include "../tray/TrayIcon.h"
#include <algorithm>
#include <cstring>

namespace {

// What each port state shows: the button's caption, the status text, the tray
// tip, the tray icon's index in the icon set and what web pages are told.
struct PortStateTexts { LPCSTR pszButton; LPCSTR pszStatus; LPCSTR pszTip; int nIcon; LPCSTR pszWeb; };
const PortStateTexts kPortStates[] = {
    /* PORT_CLOSED */ { "&Open Port", "Port Status: Closed", "Vimo Brindlequaverly V1.5 (Port Closed)", 0, "closed" },
    /* PORT_OPEN */   { "&Close Port", "Port Status: Open", "Vimo Brindlequaverly V1.5 (Port Open)", 1, "open" },
    /* PORT_LOST */   { "&Close Port", "Port Status: Lost", "Vimo Brindlequaverly V1.5 (Port Lost)", 0, "lost" },
};

// With a profile the tip begins with the window's title, so that the icons of
// two devices tell them apart; the state follows, the version gives way.
CString TrayTip(LPCSTR pszTip)
{
    if (ProfileName().IsEmpty())
        return pszTip;
    CString strTip = ProfileWindowTitle();
    strTip += " ";
    strTip += strchr(pszTip, '(');
    return strTip;
}

// A line setting's text, upper-cased, and the code the port is given for it.
struct SettingCode { LPCSTR pszText; BYTE byCode; };
const SettingCode kDataBits[] = { { "8", 8 }, { "7", 7 } };
const SettingCode kParities[] = {
    { "NONE", NOPARITY }, { "ODD", ODDPARITY }, { "EVEN", EVENPARITY }, { "MARK", MARKPARITY }, { "SPACE", SPACEPARITY },
};
const SettingCode kStopBits[] = { { "1", ONESTOPBIT }, { "1.5", ONE5STOPBITS }, { "2", TWOSTOPBITS } };

// Upper-cases the setting in place and finds its code; shows the message when
// the setting is none of the texts.
template <size_t N>
bool LookUpSetting(CString& strSetting, const SettingCode (&codes)[N], LPCSTR pszIncorrect, BYTE& byCode)
{
    strSetting.MakeUpper();
    for (const SettingCode& code : codes) {
        if (strSetting == code.pszText) {
            byCode = code.byCode;
            return true;
        }
    }
    AfxMessageBox(pszIncorrect, MB_OK, 0);
    return false;
}

// A rate is a whole number from 1 up that fits the line's 32 bits: "9600 abc"
// or "-1" would otherwise open the line at a rate nobody chose.
bool ParseBaudRate(const CString& strText, DWORD& dwBaudRate)
{
    ULONGLONG nRate = 0;
    bool bRate = ParseWholeNumber(strText, MAXDWORD, nRate) && nRate >= 1;
    dwBaudRate = (DWORD)nRate;
    return bRate;
}

// "COM 1" names the device COM1: (white space trimmed, spaces removed, one colon).
CString PortDeviceName(const CString& strPort)
{
    CString strName(strPort);
    strName.Trim();
    strName.Remove(' ');
    if (strName.Right(1) != ":")
        strName += ":";
    return strName;
}

} // namespace

void CWedgeDlg::OnOpenClosePort()
{
    // Memory can run out in any string step: the user is told, and the program goes on.
    try {
        // A lost port is closed too: that ends the search for its device.
        if (m_portState != PORT_CLOSED)
            ClosePort();
        else
            OpenPortFromSettings();
    } catch (const std::exception& e) {
        ShowExceptionText(e);
    }
}

void CWedgeDlg::OnTrayOpenPort()
{
    OnOpenClosePort();
}

// The command line's /open, once the window is up; or what it did not understand.
void CWedgeDlg::OnStartOptions()
{
    if (!m_strStartMessage.IsEmpty())
        AfxMessageBox(m_strStartMessage, MB_OK, 0);
    if (m_bOpenAtStart)
        OpenPortAsAtStart();
}

void CWedgeDlg::OpenPortAsAtStart()
{
    try {
        OpenPortFromSettings(true);
    } catch (const std::exception& e) {
        ShowExceptionText(e);
    }
}

void CWedgeDlg::OpenPortFromSettings(bool bAtStart)
{
    UpdateData(TRUE);
    // A policy that came while the lists were shown holds too.
    TakePolicyPortSettings(m_settings);
    if (m_settings.m_strPort.IsEmpty())
        return;
    PortState state = PORT_OPEN;
    CString strOff;
    if (!(IsNetworkPort(m_settings.m_strPort) ? OpenNetPort(bAtStart, strOff, state)
                                              : OpenComPort(bAtStart, strOff, state)))
        return;
    ListNetworkPort();
    if (state == PORT_OPEN)
        ReportPortEvent(EVENT_PORT_OPENED, m_settings.m_strPort);

    UpdateData(FALSE);
    ShowPortState(state);
    UpdateData(TRUE);
    if (state == PORT_OPEN)
        SaveSettings();
    m_nPollTimer = SetTimer(POLL_TIMER, 300);
    m_nBlinkTimer = SetTimer(BLINK_TIMER, 1000);
    EnableSettings(false);
    // At log-on the notification area may come up after the program: the
    // window then hides as soon as the icon is there.
    m_bHideWithTrayIcon = !HideIntoTray() && bAtStart;
    StartReading();
    if (state == PORT_OPEN && !m_port.IsNetLine())   // a network port greets each connection itself
        SendToDevice(m_asker.OpenCommand());
    m_asker.Start(m_hWnd, strOff);
    // Last, so that the port runs while the box waits for somebody.
    TakeRules("These stored scan rules do not hold and are off:\n", strOff);
}

bool CWedgeDlg::OpenComPort(bool bAtStart, CString& strOff, PortState& state)
{
    // Every setting is checked, so the user sees one message for each incorrect one.
    DWORD dwBaudRate = 0;
    bool bBaudRate = ParseBaudRate(m_settings.m_strBaudRate, dwBaudRate);
    if (!bBaudRate)
        AfxMessageBox(kLineSettingsNotSupported, MB_OK, 0);
    BYTE byByteSize = 0, byParity = 0, byStopBits = 0;
    bool bDataBits = LookUpSetting(m_settings.m_strDataBits, kDataBits, "Data Bits is not correct!", byByteSize);
    bool bParity = LookUpSetting(m_settings.m_strParity, kParities, "Parity Value is not correct!", byParity);
    bool bStopBits = LookUpSetting(m_settings.m_strStopBits, kStopBits, "Stop Bits Value is not correct!", byStopBits);
    if (!bBaudRate || !bDataBits || !bParity || !bStopBits)
        return false;
    CString strDevice = PortDeviceName(m_settings.m_strPort);
    strOff = m_asker.TakeSettings(m_ruleSettings);
    m_port.SetLineControl(m_asker.Control());
    if (!bAtStart) {
        if (!m_port.OpenPort(strDevice, dwBaudRate, byByteSize, byParity, byStopBits)) {
            ReportPortEvent(EVENT_PORT_REFUSED, m_settings.m_strPort, SystemErrorText(m_port.OpenError()));
            return false;
        }
    } else if (LPCSTR pszFailure = m_port.OpenPortSilently(strDevice, dwBaudRate, byByteSize, byParity, byStopBits)) {
        ReportPortEvent(EVENT_PORT_REFUSED, m_settings.m_strPort, SystemErrorText(m_port.OpenError()));
        // At log-on nobody may be there to answer a box, and a USB adapter
        // may not be up yet: its port is waited for as for a device that went
        // away. Settings the line refuses do not mend by waiting.
        if (pszFailure != kPortCannotBeOpened) {
            AfxMessageBox(pszFailure, MB_OK, 0);
            return false;
        }
        state = PORT_LOST;
    }
    return true;
}

// The line settings mean nothing here and are kept as they are.
bool CWedgeDlg::OpenNetPort(bool bAtStart, CString& strOff, PortState& state)
{
    NetAddress address;
    std::vector<SenderNet> senders;
    CString strWhy;
    if (!ParseNetAddress(m_settings.m_strPort, address, strWhy) ||
        !ParseAllowedSenders(m_ruleSettings.m_strAllowedSenders, senders, strWhy)) {
        ReportPortEvent(EVENT_PORT_REFUSED, m_settings.m_strPort, strWhy);
        AfxMessageBox(strWhy, MB_OK, 0);
        return false;
    }
    std::unique_ptr<CNetLine> pLine = MakeNetLine(address, senders, m_settings.m_strPort);
    strOff = m_asker.TakeSettings(m_ruleSettings);
    pLine->SetGreeting(m_asker.OpenCommand());
    if (!pLine->Open(strWhy)) {
        ReportPortEvent(EVENT_PORT_REFUSED, m_settings.m_strPort, strWhy);
        // At log-on the network, or the device server, may not be up yet: it
        // is waited for as a device that went away, and the event log says why.
        if (!bAtStart) {
            CString strText(kPortCannotBeOpened);
            strText += "\n\n";
            strText += strWhy;
            AfxMessageBox(strText, MB_OK, 0);
            return false;
        }
        state = PORT_LOST;
    }
    m_port.OpenNetLine(std::move(pLine));
    return true;
}

void CWedgeDlg::ClosePort()
{
    // What the thread read and nobody took yet is typed, or logged as not.
    for (const std::wstring& scan : m_reader.Stop())
        TakeScan(scan);
    m_asker.Stop();
    m_port.Close();
    m_bHideWithTrayIcon = false;
    m_typer.Stop("port closed");
    ShowNotices();
    UpdateData(TRUE);
    KillTimer(m_nPollTimer);
    KillTimer(m_nBlinkTimer);
    KillTimer(READ_ON_TIMER);   // what it would read on went with the port
    EnableSettings(true);
    ShowPortState(PORT_CLOSED);
    UpdateData(FALSE);
}

// The device has gone: the handle goes with it, the timers stay, so that the
// blink tick can look for the device again.
void CWedgeDlg::LosePort()
{
    m_reader.Stop();
    m_port.Close();
    ShowPortState(PORT_LOST);
    ReportPortEvent(EVENT_PORT_LOST, m_settings.m_strPort,
                    m_port.IsNetLine() ? "A network port is connected to again after 1 s, 2 s, 4 s and so on, up to "
                                         "every 30 s."
                                       : "");
}

// Once a second while lost: the same line with the same settings, silently.
void CWedgeDlg::FindLostPort()
{
    if (m_port.Reopen()) {
        ShowPortState(PORT_OPEN);
        ReportPortEvent(EVENT_PORT_BACK, m_settings.m_strPort);
        StartReading();
        if (!m_port.IsNetLine())   // a network port greets each connection itself
            SendToDevice(m_asker.OpenCommand());   // a device that comes back is greeted again
    }
}

void CWedgeDlg::ShowPortState(PortState state)
{
    if (state != m_portState) {
        LPCSTR pszEvent = state == PORT_OPEN ? (m_portState == PORT_LOST ? "back" : "opened")
                          : state == PORT_LOST ? "lost" : "closed";
        // With the line's settings: a device read at the wrong ones is the usual fault.
        CString strLine = m_settings.m_strPort;
        if (!IsNetworkPort(m_settings.m_strPort))
            strLine.Format("%s %s %s%c%s", (LPCSTR)m_settings.m_strPort, (LPCSTR)m_settings.m_strBaudRate,
                           (LPCSTR)m_settings.m_strDataBits,
                           m_settings.m_strParity.IsEmpty() ? '?' : m_settings.m_strParity[0],
                           (LPCSTR)m_settings.m_strStopBits);
        m_received.AddPortEvent(strLine, pszEvent);
    }
    m_portState = state;
    const PortStateTexts& texts = kPortStates[state];
    m_btnOpenClose.SetWindowText(texts.pszButton);
    m_labelStatus.SetTextOverPicture(texts.pszStatus);
    m_strStatus = texts.pszStatus;
    m_pTrayIcon->SetIcon(texts.nIcon, TrayTip(texts.pszTip));
    m_web.SetStatus(texts.pszWeb);
}

// A network port typed once is chosen from the list next time, as it is
// after a restart, from the stored port.
void CWedgeDlg::ListNetworkPort()
{
    if (IsNetworkPort(m_settings.m_strPort) && m_comboPort.FindStringExact(-1, m_settings.m_strPort) < 0)
        m_comboPort.AddString(m_settings.m_strPort);
}

// The port chosen from the list: its text is the edit field's only after this.
void CWedgeDlg::OnPortChosen()
{
    int nChosen = m_comboPort.GetCurSel();
    if (nChosen < 0)
        return;
    CString strPort;
    m_comboPort.GetLBText(nChosen, strPort.GetBuffer(m_comboPort.GetLBTextLen(nChosen) + 1));
    strPort.ReleaseBuffer();
    m_settings.m_strPort = strPort;
    EnableSettings(true);
}

void CWedgeDlg::OnPortEdited()
{
    UpdateData(TRUE);
    EnableSettings(true);
}

// A list whose setting a policy fixes stays disabled; the line's lists are
// disabled while the port is a network port, their values kept.
void CWedgeDlg::EnableSettings(bool bEnable)
{
    const struct { CString PortSettings::*pstr; int nID; } kLists[] = {
        { &PortSettings::m_strPort, IDC_COMBO_PORT },         { &PortSettings::m_strBaudRate, IDC_COMBO_BAUDRATE },
        { &PortSettings::m_strDataBits, IDC_COMBO_DATABITS }, { &PortSettings::m_strParity, IDC_COMBO_PARITY },
        { &PortSettings::m_strStopBits, IDC_COMBO_STOPBITS }, { &PortSettings::m_strFlowControl, IDC_COMBO_FLOWCONTROL },
    };
    std::vector<CString PortSettings::*> fixed = PortSettingsFixedByPolicy();
    bool bNet = IsNetworkPort(m_settings.m_strPort);
    for (const auto& list : kLists)
        ::EnableWindow(GetDlgItem(list.nID), bEnable && std::find(fixed.begin(), fixed.end(), list.pstr) == fixed.end() &&
                                                 (list.nID == IDC_COMBO_PORT || !bNet));
}
