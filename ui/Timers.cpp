// The poll tick types what the port received and notices a device gone; the
// gather tick reads on a scan that was still arriving; the blink tick
// alternates the tray icon, or looks for the lost device again.
#include "WedgeDlg.h"
#include "../tray/TrayIcon.h"

BOOL (WINAPI* g_pfnMessageBeep)(UINT uType) = ::MessageBeep;

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
    } else if (nIDEvent == m_nPollTimer) {
        ReadScan();
        // After the read: what came before the device went is typed first,
        // also a scan still arriving (the reads then find the line quiet).
        if (!m_port.IsReceiving() && m_port.IsLost())
            LosePort();
    } else if (nIDEvent == GATHER_TIMER) {
        KillTimer(GATHER_TIMER);
        ReadScan();
    } else if (nIDEvent == KEY_DELAY_TIMER) {
        TypeNextKey();
    }
    Default();
}

// Reads on while a scan arrives and types it whole, by the scan rules, once
// the line is quiet; a scan still arriving after a while is left to the gather tick.
void CWedgeDlg::ReadScan()
{
    DWORD dwStart = ::GetTickCount();
    CString strScan;
    while (m_port.ReadAvailable(strScan) == 0) {
        if (!m_port.IsReceiving())
            return;
        if (::GetTickCount() - dwStart >= kReadOnMs) {
            SetTimer(GATHER_TIMER, USER_TIMER_MINIMUM);
            return;
        }
    }
    m_strLastScan = TypeScan(strScan);
    UpdateData(FALSE);
}
