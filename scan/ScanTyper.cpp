#include "ScanTyper.h"
#include "../keys/Keystrokes.h"

BOOL (WINAPI* g_pfnMessageBeep)(UINT uType) = ::MessageBeep;

CString CScanTyper::TakeRules(const RuleSettings& settings)
{
    m_memory = RepeatMemory();
    m_pendingMemory = RepeatMemory();
    return m_rules.Compile(settings);
}

// Not while any window of this thread is in front: the main window, the About
// box, the Scan Rules dialog, a message box or the tray menu would take the keys.
bool CScanTyper::OwnWindowInFront() const
{
    return ::GetWindowThreadProcessId(g_desktop.pfnGetForegroundWindow(), NULL) ==
           ::GetWindowThreadProcessId(m_hWnd, NULL);
}

std::wstring CScanTyper::Type(const std::wstring& scan)
{
    if (!scan.empty())
        m_lastReceived = scan;
    if (OwnWindowInFront())
        return scan;
    bool bTyping = !m_pendingKeys.empty();
    // A scan that comes while keys are still paced is compared with the value
    // they will have typed.
    RepeatMemory memory = bTyping ? m_pendingMemory : m_memory;
    std::wstring keys = m_rules.IsSet() ? m_rules.Apply(scan, memory, ::GetTickCount64()) : scan;
    if (keys.empty()) {
        // All dropped or skipped: no beep, and a skipped value's arrival
        // counts, so that a card held to a reader types once.
        (bTyping ? m_pendingMemory : m_memory) = memory;
        return scan;
    }
    m_pendingMemory = memory;
    m_pendingKeys += keys;
    if (!bTyping) {
        // The timer paces the keys at the key delay; without one, it tries
        // again while another window's scan holds the keys.
        ::SetTimer(m_hWnd, m_nPaceTimer, m_rules.KeyDelay() != 0 ? m_rules.KeyDelay() : USER_TIMER_MINIMUM, NULL);
        TypeNextKey();
    }
    return keys;
}

// One character a tick, so that the window stays responsive, or all at once
// without a key delay; the beep comes after the last, the error sound where
// one is refused, and the rest is lost. While another window of the program
// types, nothing goes out and the keys wait for a later tick.
void CScanTyper::TypeNextKey()
{
    // A tick queued before the last key went out finds nothing to type.
    if (m_pendingKeys.empty() || !m_keysLock.TryTake())
        return;
    size_t nLength = m_rules.KeyDelay() == 0 ? m_pendingKeys.size() : FirstCharLength(m_pendingKeys);
    if (OwnWindowInFront() || !TypeKeys(m_pendingKeys.substr(0, nLength))) {
        Stop();
        Finish(false);
        return;
    }
    m_pendingKeys.erase(0, nLength);
    if (m_pendingKeys.empty()) {
        Stop();
        Finish(true);
    }
}

void CScanTyper::Stop()
{
    ::KillTimer(m_hWnd, m_nPaceTimer);
    m_pendingKeys.clear();
    m_keysLock.Release();
}

// A value whose keys nothing took is not typed: the same scan again must type it.
void CScanTyper::Finish(bool bTyped)
{
    if (bTyped)
        m_memory = m_pendingMemory;
    g_pfnMessageBeep(bTyped ? MB_ICONASTERISK : MB_ICONHAND);
}
