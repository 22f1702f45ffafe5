// What the program says to the device, and when: a command each time the
// port opens, a request for a reading on a hotkey, on a timer and from the
// tray menu; and the modem lines and handshake the line opens with. Works for
// one window, whose hotkey id and timer id it is given; the window sends what
// it hands out.
#pragma once
#include <windows.h>
#include <string>
#include "../serial/CommPort.h"
#include "../settings/RuleSettings.h"

class CDeviceAsker {
public:
    CDeviceAsker(int nHotkeyId, UINT_PTR nRequestTimer) : m_nHotkeyId(nHotkeyId), m_nRequestTimer(nRequestTimer) {}
    CDeviceAsker(const CDeviceAsker&) = delete;
    CDeviceAsker& operator=(const CDeviceAsker&) = delete;
    ~CDeviceAsker() { Stop(); }

    // Takes the texts. Returns why those that do not hold are off, a line
    // each; empty when all hold. Call while the asking is stopped.
    CString TakeSettings(const RuleSettings& settings);
    // What the line opens with: the modem lines, the handshake, and writing
    // where there is a command to send.
    const LineControl& Control() const { return m_control; }
    const std::string& OpenCommand() const { return m_openCommand; }
    bool CanAsk() const { return !m_request.empty(); }

    // While the port is open: the hotkey, registered for the window, and the
    // window's request timer. Returns why the hotkey could not be had, a
    // line; empty when it was or none is set.
    CString Start(HWND hWnd);
    void Stop();
    // The request, to send now: the poll then reads on at once, until the
    // reply came or a second has passed.
    const std::string& Ask();
    bool IsAwaitingReply() const { return m_nAwaitUntil != 0 && ::GetTickCount64() < m_nAwaitUntil; }
    void ReplyCame() { m_nAwaitUntil = 0; }

    // Checks each text as TakeSettings takes it; the reasons, a line each.
    static CString Check(const RuleSettings& settings);

private:
    int m_nHotkeyId;
    UINT_PTR m_nRequestTimer;
    HWND m_hWnd = NULL;   // while started
    bool m_bHotkey = false;   // registered
    LineControl m_control;
    std::string m_openCommand;
    std::string m_request;
    CString m_strHotkey;
    UINT m_nIntervalMs = 0;
    ULONGLONG m_nAwaitUntil = 0;
};
