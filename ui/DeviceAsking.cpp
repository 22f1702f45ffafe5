// What the window says to the device: the open command each time the port
// opens, and the request for a reading on the hotkey, the request timer and
// the tray menu. A command that cannot go sounds the error and says so.
#include "WedgeDlg.h"
#include "../fw/MessageBox.h"
#include "../net/NetLines.h"
#include "../tray/TrayIcon.h"

static const char kNotSent[] = "Port Status: Not Sent";

// The asking, from the rules' texts, while the port is open or lost; returns
// what is off and why. A line whose modem lines, handshake or access changed
// opens again with them.
CString CWedgeDlg::StartAsking()
{
    m_asker.Stop();
    CString strOff = m_asker.TakeSettings(m_ruleSettings);
    // Modem lines and handshakes mean nothing on a network port.
    if (!(m_asker.Control() == m_port.Control()) && !m_port.IsNetLine()) {
        m_port.SetLineControl(m_asker.Control());
        if (m_portState == PORT_OPEN) {
            for (const std::wstring& scan : m_reader.Stop())
                TakeScan(scan);
            if (m_port.Reopen())
                SendToDevice(m_asker.OpenCommand());
            else
                LosePort();
        }
    }
    m_asker.Start(m_hWnd, strOff);
    return strOff;
}

void CWedgeDlg::AskDevice()
{
    if (m_portState == PORT_OPEN && m_asker.CanAsk())
        SendToDevice(m_asker.Ask());
}

LRESULT CWedgeDlg::OnHotKey(WPARAM, LPARAM)
{
    AskDevice();
    return 0;
}

// A page asks as the hotkey does; it is told why where nothing can go.
LRESULT CWedgeDlg::OnWebRequest(WPARAM wParam, LPARAM)
{
    m_web.TakeRequest();
    if (m_portState != PORT_OPEN)
        m_web.Refuse(wParam, "the port is not open");
    else if (!m_asker.CanAsk())
        m_web.Refuse(wParam, "no request command is set on the Device page of the scan rules");
    else
        AskDevice();
    return 0;
}

// The reading thread sends between its reads; without it the poll sends, and
// reads on at once rather than at its next tick: a reply is typed as soon as
// it has arrived.
void CWedgeDlg::SendToDevice(const std::string& bytes)
{
    if (bytes.empty())
        return;
    m_received.AddSent(bytes);
    if (m_reader.IsRunning()) {
        m_reader.Send(bytes);
    } else {
        m_port.Send(bytes);
        SetTimer(READ_ON_TIMER, USER_TIMER_MINIMUM);
    }
}

// The status and the tray tip say it until the device is heard again.
void CWedgeDlg::ShowSendFailure(DWORD dwError)
{
    g_pfnMessageBeep(MB_ICONHAND);
    CString strTip("Not sent: ");
    strTip += dwError == ERROR_TIMEOUT ? CString("the line held it (handshake?)")
              : m_port.IsNetLine()     ? SocketErrorText((int)dwError)
                                       : SystemErrorText(dwError);
    m_labelStatus.SetTextOverPicture(kNotSent);
    m_strStatus = kNotSent;
    m_pTrayIcon->SetIcon(1, strTip);
}

// A scan came: whatever was asked has its reply, and the device is heard.
void CWedgeDlg::HeardDevice()
{
    m_asker.ReplyCame();
    if (m_strStatus == kNotSent)
        ShowPortState(m_portState);
}
