// What a scan types, and the typing of it: the scan rules applied, the last
// value kept for skipping repeats, the keys paced at the key delay, and the
// beep after, or the error sound where nothing took the keys. Keys go only
// to the target window, where one is named, and each value a scan gives goes
// to the log, the web feed and the received data with what became of it.
// With TypeBy Paste, each value's text is pasted and its key names pressed
// between the pieces. Works for one window, whose timer paces the keys; no
// window of the program, in any of its processes, takes a scan.
#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include "../keys/ClipboardPaste.h"
#include "../keys/KeysLock.h"
#include "../log/ScanLog.h"
#include "../monitor/ReceivedData.h"
#include "../rules/ScanRules.h"
#include "../target/TargetWindow.h"
#include "../web/WebFeed.h"

// The beep after a typed scan; tests count beeps here.
extern BOOL (WINAPI* g_pfnMessageBeep)(UINT uType);

class CScanTyper {
public:
    // The window's timer nPaceTimer types the keys at the key delay: its
    // ticks go to TypeNextKey. The target, the log, the feed and the received
    // data live as long as the typer.
    CScanTyper(UINT_PTR nPaceTimer, const CTargetWindow& target, CScanLog& log, CWebFeed& web, CReceivedData& received)
        : m_nPaceTimer(nPaceTimer), m_target(target), m_log(log), m_web(web), m_received(received) {}
    // The window owns the clipboard while a value is pasted: its
    // WM_RENDERFORMAT goes to RenderPaste.
    void SetWindow(HWND hWnd)
    {
        m_hWnd = hWnd;
        m_paste.SetOwner(hWnd);
    }
    void RenderPaste(UINT nFormat) { m_paste.Render(nFormat); }

    // Takes the rules from their texts and forgets the last value typed.
    // Returns why the rules that do not hold are off; empty when all hold.
    CString TakeRules(const RuleSettings& settings);
    // Types a decoded scan by the rules into the window in front, unless a
    // window of the program is in front. Returns what the Last Scan shows:
    // what the scan typed, or the scan as it came when it typed nothing.
    std::wstring Type(const std::wstring& scan);
    // One character a tick of the pace timer (all that waits without a key
    // delay), once this window holds the desktop's keys and the target is in
    // front; the timer ticks meanwhile too, to see whether they are.
    void TypeNextKey();
    // Drops the keys still to be typed, their values logged as not typed for
    // the reason (the port closed, the program ended).
    void Stop(const CString& strWhy);
    // Whether the desktop's keys are held for values still to be typed.
    bool IsTyping() const { return !m_pending.empty(); }
    // The latest scan with characters, for showing what rules would type.
    const std::wstring& LastReceived() const { return m_lastReceived; }
    // Why scans for the target are not typed: once, until one is typed
    // again or the reason changes; empty otherwise.
    CString TakeNotice();

private:
    // A value still to be typed, or to be logged in its turn.
    struct Pending {
        RuledValue value;
        std::wstring rest;   // its keys not typed yet
    };

    enum PasteStep { PASTE_ON, PASTE_WAITING, PASTE_FAILED };

    bool OwnWindowInFront() const;
    // The next piece of the value pasted, or its key pressed, or the wait for
    // the piece pasted last to be taken; the reason where it failed.
    PasteStep PasteOn(Pending& pending, CString& strWhy);
    std::vector<RuledValue> Values(const std::wstring& scan, RepeatMemory& memory) const;
    // Types the pending values in order, all of them or one character;
    // false where they were refused.
    bool TypeOn(bool bAll);
    // Whether the keys may go out now: the target is in front, or none is
    // named. Brings it there first where asked, and refuses the values where
    // it is not there in time.
    bool ReachTarget();
    // The pace timer: at the key delay while the keys go out, else as often
    // as it can tick, to look again for the keys or the target in front.
    void SetPace(bool bTyping);
    // The values still pending are logged as not typed, for the reason
    // given (a value partly typed says how far it got), and go; Refuse adds
    // the error sound and the notice, which is given where a target is
    // named, or with bTell (a paste that could not go).
    void GiveUp(const CString& strWhy);
    void Refuse(const CString& strWhy, bool bTell = false);
    // Why the keys stopped going out.
    CString WhyStopped() const;
    void Log(const RuledValue& value, LPCSTR pszTyped);
    // The pace timer and the pending values go, and the desktop's keys.
    void EndTyping();
    // The sound after a scan's keys, and the last value kept once they went out.
    void Finish(bool bTyped);

    HWND m_hWnd = NULL;
    UINT_PTR m_nPaceTimer;
    const CTargetWindow& m_target;
    CScanLog& m_log;
    CWebFeed& m_web;
    CReceivedData& m_received;
    CScanRules m_rules;
    bool m_bLogOnly = false;
    bool m_bPaste = false;         // TypeBy Paste
    CClipboardPaste m_paste;
    ULONGLONG m_nPastedAt = 0;     // when the piece that was not taken yet was pasted; 0: none
    RepeatMemory m_memory;         // the last value whose keys went out
    RepeatMemory m_pendingMemory;  // what m_memory becomes once the pending keys went out
    std::deque<Pending> m_pending; // the values still to be typed: paced, or waiting for the keys
    CKeysLock m_keysLock;          // held from a scan's first key to its last
    HWND m_hTarget = NULL;         // the target window the pending keys go to; NULL: none is named, or not found yet
    bool m_bReached = false;       // the target was in front once the keys were held
    DWORD m_dwAsked = 0;           // when the target was asked to come to front
    DWORD m_dwWaitFrom = 0;        // when the pending values began to wait for the keys
    std::wstring m_lastReceived;
    CString m_strNotice;           // what TakeNotice gives next
    CString m_strNoticed;          // the reason given last since a scan was typed
};
