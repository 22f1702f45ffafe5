// The poll tick types what the port received and notices a device gone; the
// blink tick alternates the tray icon, or looks for the lost device again.
#include "WedgeDlg.h"
#include "../tray/TrayIcon.h"

BOOL (WINAPI* g_pfnMessageBeep)(UINT uType) = ::MessageBeep;

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
        // The latest scan, not the latest poll (almost always empty), so the
        // display keeps the scan at the next repaint.
        m_strLastScan = m_strLastNonEmpty;
    } else if (nIDEvent == m_nPollTimer) {
        if (m_port.ReadAvailable(m_strCurrentRead) != 0) {
            CString strShown = TypeScan(m_strCurrentRead);
            if (!strShown.IsEmpty())
                m_strLastNonEmpty = strShown;
            m_strLastScan = strShown;
            UpdateData(FALSE);
        }
        // After the read: what came before the device went is typed first.
        if (m_port.IsLost())
            LosePort();
    } else if (nIDEvent == KEY_DELAY_TIMER) {
        TypeNextKey();
    }
    Default();
}
