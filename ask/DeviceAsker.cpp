#include "DeviceAsker.h"
#include "../fw/MessageBox.h"
#include "../keys/Hotkey.h"
#include "../rules/ScanRules.h"

namespace {

// A command's bytes; off, with the reason, where its text does not hold.
void TakeCommand(const CString& strText, LPCSTR pszWhat, std::string& bytes, CString& strReasons)
{
    CString strReason;
    if (ParseCommand(strText, bytes, strReason))
        return;
    bytes.clear();
    strReasons += pszWhat;
    strReasons += strReason;
    strReasons += "\n";
}

// "1" raises the line; empty or "0" leaves it off, as does any other text,
// with the reason.
bool TakeSwitch(const CString& strText, LPCSTR pszWhat, CString& strReasons)
{
    if (strText != "" && strText != "0" && strText != "1") {
        strReasons += pszWhat;
        strReasons += "it must be 0 or 1.\n";
    }
    return strText == "1";
}

} // namespace

CString CDeviceAsker::TakeSettings(const RuleSettings& settings)
{
    CString strReasons;
    TakeCommand(settings.m_strOpenCommand, "Open command: ", m_openCommand, strReasons);
    TakeCommand(settings.m_strRequestCommand, "Request command: ", m_request, strReasons);
    m_strHotkey.Empty();
    if (!settings.m_strRequestHotkey.IsEmpty()) {
        Hotkey hotkey;
        CString strReason;
        if (ParseHotkey(settings.m_strRequestHotkey, hotkey, strReason)) {
            m_strHotkey = settings.m_strRequestHotkey;
            m_strHotkey.Trim();
        } else {
            strReasons += "Request hotkey: ";
            strReasons += strReason;
            strReasons += "\n";
        }
    }
    ULONGLONG nInterval = 0;
    if (!settings.m_strRequestInterval.IsEmpty() &&
        (!ParseWholeNumber(settings.m_strRequestInterval, 3600000, nInterval) || nInterval < 100)) {
        strReasons += "Request every: it must be a whole number of milliseconds from 100 to 3600000.\n";
        nInterval = 0;
    }
    m_nIntervalMs = (UINT)nInterval;
    m_control = LineControl();
    m_control.bRaiseDTR = TakeSwitch(settings.m_strRaiseDTR, "Raise DTR: ", strReasons);
    m_control.bRaiseRTS = TakeSwitch(settings.m_strRaiseRTS, "Raise RTS: ", strReasons);
    if (!HandshakeFromText(settings.m_strHandshake, m_control.handshake))
        strReasons += "Handshake: it must be empty, RTS/CTS or XON/XOFF.\n";
    m_control.bWrites = !m_openCommand.empty() || !m_request.empty();
    return strReasons;
}

CString CDeviceAsker::Check(const RuleSettings& settings)
{
    CDeviceAsker asker(0, 0);
    return asker.TakeSettings(settings);
}

CString CDeviceAsker::Start(HWND hWnd)
{
    Stop();
    m_hWnd = hWnd;
    if (m_request.empty())
        return CString();
    if (m_nIntervalMs != 0)
        ::SetTimer(hWnd, m_nRequestTimer, m_nIntervalMs, NULL);
    CString strReason;
    Hotkey hotkey;
    if (!m_strHotkey.IsEmpty() && ParseHotkey(m_strHotkey, hotkey, strReason)) {
        m_bHotkey = ::RegisterHotKey(hWnd, m_nHotkeyId, hotkey.fsModifiers, hotkey.vk) != FALSE;
        // Another program holds the key: the interval and the tray menu still ask.
        if (!m_bHotkey)
            strReason.Format("Request hotkey: %s cannot be had: %s\n", (LPCSTR)m_strHotkey,
                             (LPCSTR)SystemErrorText(::GetLastError()));
    }
    return strReason;
}

void CDeviceAsker::Stop()
{
    if (m_hWnd == NULL)
        return;
    ::KillTimer(m_hWnd, m_nRequestTimer);
    if (m_bHotkey)
        ::UnregisterHotKey(m_hWnd, m_nHotkeyId);
    m_bHotkey = false;
    m_hWnd = NULL;
    m_nAwaitUntil = 0;
}

const std::string& CDeviceAsker::Ask()
{
    m_nAwaitUntil = ::GetTickCount64() + 1000;
    return m_request;
}
