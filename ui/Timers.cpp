// The poll tick types what the port received and notices a device gone; the
// read-on tick reads on a scan that was still arriving; the blink tick
// alternates the tray icon, or looks for the lost device again. With
// ScanAtOnce a thread reads the port instead of the poll tick.
#include "WedgeDlg.h"
#include "../tray/TrayIcon.h"

// How long a tick reads on a scan still arriving: with a last call's three
// reads of 10 ms, the window's messages wait about 50 ms at most.
static const DWORD kReadOnMs = 20;

void CWedgeDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == m_nBlinkTimer) {
        if (!m_pTrayIcon->IsShown())
            AddTrayIcon();   // the notification area may have come up since
        if (m_portState == PORT_LOST) {
            FindLostPort();   // a lost port shows the idle icon, without blinking
        } else {
            m_nBlinkCount++;
            if (m_nBlinkCount == 2)
                m_nBlinkCount = 0;
            m_pTrayIcon->SetIcon(m_nBlinkCount);
        }
    } else if (nIDEvent == m_nPollTimer || nIDEvent == READ_ON_TIMER) {
        if (nIDEvent == READ_ON_TIMER)
            KillTimer(READ_ON_TIMER);
        if (!m_reader.IsRunning())
            ReadScan();
    } else if (nIDEvent == KEY_PACE_TIMER) {
        m_typer.TypeNextKey();
        ShowNotices();
    } else if (nIDEvent == REQUEST_TIMER) {
        AskDevice();
    } else if (nIDEvent == LOG_RETRY_TIMER) {
        ShowNotices();
    }
    Default();
}

// Reads on while a scan arrives and types it whole once the line is quiet; a
// scan still arriving after a while is left to the read-on tick. What came
// before the device went is typed before the port is shown lost.
void CWedgeDlg::ReadScan()
{
    DWORD dwStart = ::GetTickCount();
    std::wstring scan;
    ReadResult result;
    while ((result = m_port.ReadAvailable(scan)) == READ_ARRIVING) {
        if (::GetTickCount() - dwStart >= kReadOnMs)
            break;
    }
    if (DWORD dwError = m_port.TakeSendError())
        ShowSendFailure(dwError);
    if (result == READ_SCAN)
        TakeScan(scan);
    else if (result == READ_LOST)
        LosePort();
    // A stream goes on after its piece; what is still to be sent goes, and
    // the reply to a request is read as soon as it has arrived.
    if (m_port.IsReceiving() || m_port.IsSending() || (m_port.IsOpen() && m_asker.IsAwaitingReply()))
        SetTimer(READ_ON_TIMER, USER_TIMER_MINIMUM);
}

// With ScanAtOnce the thread reads the open port; without it, or where no
// thread could be made, the poll tick.
void CWedgeDlg::StartReading()
{
    // What the thread read before this restart is typed, not dropped.
    for (const std::wstring& scan : m_reader.Stop())
        TakeScan(scan);
    DWORD dwQuietMs = 20;   // a stored text that does not hold is told by TakeRules
    ParseScanQuiet(m_ruleSettings.m_strQuietMs, dwQuietMs);
    m_port.SetScanQuiet(dwQuietMs);
    if (m_ruleSettings.m_strAtOnce == "1" && m_port.IsOpen())
        m_reader.Start(m_port, m_hWnd, WM_LINEREAD);
}

LRESULT CWedgeDlg::OnLineRead(WPARAM, LPARAM)
{
    std::wstring scan;
    if (DWORD dwError = m_reader.TakeSendError())
        ShowSendFailure(dwError);
    while (m_reader.TakeScan(scan))
        TakeScan(scan);
    if (m_reader.IsLost())
        LosePort();
    return 0;
}
