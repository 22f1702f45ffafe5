// The one command that opens and closes the port, and the texts of each state.
#include "WedgeDlg.h"
#include "../fw/App.h"
#include "../fw/MessageBox.h"
#include "../res/resource.h"
#include "../tray/TrayIcon.h"
#include <cstdlib>

void CWedgeDlg::OnOpenClosePort()
{
    try {
        if (m_port.IsOpen()) {
            m_port.Close();
            m_btnOpenClose.SetWindowText("&Open Port");
            UpdateData(TRUE);
            m_labelStatus.SetWindowText("Port Status: Closed");
            m_strStatus = "Port Status: Closed";
            ::KillTimer(m_hWnd, m_nPollTimer);
            ::KillTimer(m_hWnd, m_nBlinkTimer);
            EnableSettings(true);
            SetTrayTip("Vimo Brindlequaverly V1.5 (Port Closed)");
            m_pTrayIcon->SetIcon(0);
            UpdateData(FALSE);
            return;
        }

        UpdateData(TRUE);
        if (m_strPort.IsEmpty())
            return;
        DWORD dwBaudRate = (DWORD)atol(m_strBaudRate);

        bool bIncorrect = false;
        BYTE byByteSize = 0;
        m_strDataBits.MakeUpper();
        if (m_strDataBits == "8") byByteSize = 8;
        else if (m_strDataBits == "7") byByteSize = 7;
        else { AfxMessageBox("Data Bits is not correct!", MB_OK, 0); bIncorrect = true; }

        BYTE byParity = 0;
        m_strParity.MakeUpper();
        if (m_strParity == "NONE") byParity = NOPARITY;
        else if (m_strParity == "ODD") byParity = ODDPARITY;
        else if (m_strParity == "EVEN") byParity = EVENPARITY;
        else if (m_strParity == "MARK") byParity = MARKPARITY;
        else if (m_strParity == "SPACE") byParity = SPACEPARITY;
        else { AfxMessageBox("Parity Value is not correct!", MB_OK, 0); bIncorrect = true; }

        BYTE byStopBits = 0;
        m_strStopBits.MakeUpper();
        if (m_strStopBits == "1") byStopBits = ONESTOPBIT;
        else if (m_strStopBits == "1.5") byStopBits = ONE5STOPBITS;
        else if (m_strStopBits == "2") byStopBits = TWOSTOPBITS;
        else { AfxMessageBox("Stop Bits Value is not correct!", MB_OK, 0); bIncorrect = true; }

        if (bIncorrect)
            return;

        CString strPortName(m_strPort);
        strPortName.Trim();
        strPortName.Remove(' ');
        if (strPortName.Right(1) != ":")
            strPortName += ":";

        if (!m_port.OpenPort(strPortName, dwBaudRate, byByteSize, byParity, byStopBits))
            return;

        UpdateData(FALSE);
        m_btnOpenClose.SetWindowText("&Close Port");
        m_labelStatus.SetWindowText("Port Status: Open");
        m_strStatus = "Port Status: Open";
        SetTrayTip("Vimo Brindlequaverly V1.5 (Port Open)");
        m_pTrayIcon->SetIcon(1);
        UpdateData(TRUE);
        SaveSettings();
        m_nPollTimer = ::SetTimer(m_hWnd, POLL_TIMER, 300, NULL);
        m_nBlinkTimer = ::SetTimer(m_hWnd, BLINK_TIMER, 1000, NULL);
        EnableSettings(false);
        AfxGetApp()->HideApplication();
        m_bHidden = TRUE;
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}

void CWedgeDlg::OnTrayOpenPort()
{
    OnOpenClosePort();
}

void CWedgeDlg::EnableSettings(bool bEnable)
{
    m_comboPort.EnableWindow(bEnable);
    m_comboBaudRate.EnableWindow(bEnable);
    m_comboDataBits.EnableWindow(bEnable);
    m_comboParity.EnableWindow(bEnable);
    m_comboStopBits.EnableWindow(bEnable);
    m_comboFlowControl.EnableWindow(bEnable);
}
