// What a scan types, and the typing of it: the scan rules applied, the last
// value kept for skipping repeats, the keys paced at the key delay, and the
// beep after, or the error sound where nothing took the keys. Works for one
// window, whose thread's windows never take a scan and whose timer paces the
// keys.
#pragma once
#include <windows.h>
#include <string>
#include "../keys/KeysLock.h"
#include "../rules/ScanRules.h"

// The beep after a typed scan; tests count beeps here.
extern BOOL (WINAPI* g_pfnMessageBeep)(UINT uType);

class CScanTyper {
public:
    // The window's timer nPaceTimer types the keys at the key delay: its
    // ticks go to TypeNextKey.
    explicit CScanTyper(UINT_PTR nPaceTimer) : m_nPaceTimer(nPaceTimer) {}
    void SetWindow(HWND hWnd) { m_hWnd = hWnd; }

    // Takes the rules from their texts and forgets the last value typed.
    // Returns why the rules that do not hold are off; empty when all hold.
    CString TakeRules(const RuleSettings& settings);
    // Types a decoded scan by the rules into the window in front, unless a
    // window of this thread is in front. Returns what the Last Scan shows:
    // what the scan typed, or the scan as it came when it typed nothing.
    std::wstring Type(const std::wstring& scan);
    // One character a tick of the pace timer (all that waits without a key
    // delay), once this window holds the desktop's keys.
    void TypeNextKey();
    // Drops the keys still to be typed (the port they came from closed) and
    // gives the desktop's keys back.
    void Stop();
    // The latest scan with characters, for showing what rules would type.
    const std::wstring& LastReceived() const { return m_lastReceived; }

private:
    bool OwnWindowInFront() const;
    // The sound after a scan's keys, and the last value kept once they went out.
    void Finish(bool bTyped);

    HWND m_hWnd = NULL;
    UINT_PTR m_nPaceTimer;
    CScanRules m_rules;
    RepeatMemory m_memory;         // the last value whose keys went out
    RepeatMemory m_pendingMemory;  // what m_memory becomes once the pending keys went out
    std::wstring m_pendingKeys;   // what is still to be typed: paced, or waiting for the keys
    CKeysLock m_keysLock;         // held from a scan's first key to its last
    std::wstring m_lastReceived;
};
