#include "ScanTyper.h"
#include "../keys/Keystrokes.h"
#include <algorithm>

BOOL (WINAPI* g_pfnMessageBeep)(UINT uType) = ::MessageBeep;

static const char kOwnWindowInFront[] = "the program's own window is in front";
// How long a window brought to front may take to be there.
static const DWORD kActivationMs = 250;
// How long values wait while another window of the program holds the keys:
// one that hangs holding them, holds nobody else's for longer.
static const DWORD kKeysWaitMs = 10000;
// How long a paste may wait for the receiving program to take it.
static const ULONGLONG kTakeMs = 2000;

// The text of TypeBy: Keys (or empty) types, Paste pastes; false for any other.
static bool TypeByFromText(CString strText, bool& bPaste)
{
    strText.Trim();
    strText.MakeUpper();
    bPaste = strText == "PASTE";
    return bPaste || strText.IsEmpty() || strText == "KEYS";
}

// What a key name types is pressed as a key between pasted pieces.
static bool IsKey(wchar_t wch)
{
    return wch == L'\r' || wch == L'\t' || wch == 0x1B || wch == L'\b';
}

CString CScanTyper::TakeRules(const RuleSettings& settings)
{
    m_memory = RepeatMemory();
    m_pendingMemory = RepeatMemory();
    m_bLogOnly = settings.m_strLogOnly == "1";
    CString strReasons = m_rules.Compile(settings);
    if (!TypeByFromText(settings.m_strTypeBy, m_bPaste))
        AddReason(strReasons, "Type by: ", "it must be Keys or Paste; scans are typed as keys.");
    return strReasons;
}

// Not while any window of the program is in front: the main window, the About
// box, the Scan Rules dialog, a message box or the tray menu, of this profile
// or another, would take the keys.
bool CScanTyper::OwnWindowInFront() const
{
    return IsProgramWindow(g_desktop.pfnGetForegroundWindow());
}

std::vector<RuledValue> CScanTyper::Values(const std::wstring& scan, RepeatMemory& memory) const
{
    if (m_rules.IsSet())
        return m_rules.Values(scan, memory, ::GetTickCount64());
    if (scan.empty())
        return {};
    return { { RuledValue::TYPED, scan, scan } };
}

std::wstring CScanTyper::Type(const std::wstring& scan)
{
    if (!scan.empty())
        m_lastReceived = scan;
    bool bTyping = !m_pending.empty();
    // A scan that comes while keys are still paced is compared with the value
    // they will have typed.
    RepeatMemory memory = bTyping ? m_pendingMemory : m_memory;
    if (OwnWindowInFront()) {
        // The memory stays as it was: the scan is only logged.
        for (const RuledValue& value : Values(scan, memory))
            Log(value, kOwnWindowInFront);
        return scan;
    }
    std::vector<RuledValue> values = Values(scan, memory);
    std::wstring keys;
    for (const RuledValue& value : values)
        keys += value.fate == RuledValue::TYPED ? value.keys : L"";
    if (values.empty() && !scan.empty())
        Log({ RuledValue::DROPPED, L"", L"" }, "");   // a scan of line ends alone
    if (keys.empty() || m_bLogOnly) {
        // All dropped or skipped, or only logged: no keys, and a skipped
        // value's arrival counts, so that a card held to a reader types once.
        // A logged scan beeps as a typed one does.
        (bTyping ? m_pendingMemory : m_memory) = memory;
        for (const RuledValue& value : values) {
            if (bTyping && !m_bLogOnly)
                m_pending.push_back({ value, L"" });   // logged in its turn, after the keys before it
            else
                Log(value, "not typed: only logged");
        }
        if (!keys.empty())
            g_pfnMessageBeep(MB_ICONASTERISK);
        return keys.empty() ? scan : keys;
    }
    m_pendingMemory = memory;
    for (const RuledValue& value : values)
        m_pending.push_back({ value, value.keys });
    if (bTyping)
        return keys;   // the pace timer types them after the others
    // The timer paces the keys at the key delay; it also tries again while
    // another window's scan holds the desktop's keys.
    m_dwWaitFrom = ::GetTickCount();
    SetPace(true);
    return TypeOn(m_rules.KeyDelay() == 0) ? keys : scan;
}

// One character a tick, so that the window stays responsive; the beep comes
// after the last, the error sound where one is refused, and the rest is lost.
void CScanTyper::TypeNextKey()
{
    TypeOn(m_rules.KeyDelay() == 0);
}

void CScanTyper::SetPace(bool bTyping)
{
    UINT nMs = bTyping && m_rules.KeyDelay() != 0 ? m_rules.KeyDelay() : USER_TIMER_MINIMUM;
    ::SetTimer(m_hWnd, m_nPaceTimer, nMs, NULL);
}

// While another window of the program types, nothing goes out: the values
// wait, in order, for a later tick. The keys are taken before the target is
// brought to front, so that no other window's keys go into it.
bool CScanTyper::TypeOn(bool bAll)
{
    // A tick queued before the last key went out finds nothing to type.
    if (m_pending.empty())
        return true;
    if (!m_keysLock.TryTake()) {
        if (::GetTickCount() - m_dwWaitFrom < kKeysWaitMs)
            return true;
        Refuse("another window of the program held the keys for 10 seconds");
        return false;
    }
    if (!ReachTarget())
        return !m_pending.empty();
    bool bTypedOne = false;
    while (!m_pending.empty()) {
        Pending& pending = m_pending.front();
        if (pending.value.fate != RuledValue::TYPED) {
            Log(pending.value, "");
            m_pending.pop_front();
            continue;
        }
        if (bTypedOne)
            return true;   // the next tick types on
        if (m_bPaste) {
            CString strWhy;
            PasteStep step = PasteOn(pending, strWhy);
            if (step == PASTE_FAILED) {
                Refuse(strWhy, true);
                return false;
            }
            if (step == PASTE_WAITING)
                return true;
        } else {
            std::wstring keys = bAll ? pending.rest : pending.rest.substr(0, FirstCharLength(pending.rest));
            size_t nTyped = 0;
            bool bOwnInFront = OwnWindowInFront();
            if (bOwnInFront || !TypeKeys(keys, m_hTarget, &nTyped)) {
                pending.rest.erase(0, bOwnInFront ? 0 : nTyped);
                Refuse(WhyStopped());
                return false;
            }
            pending.rest.erase(0, keys.size());
            bTypedOne = !bAll;
        }
        if (pending.rest.empty()) {
            Log(pending.value, "typed");
            m_pending.pop_front();
        }
    }
    EndTyping();
    Finish(true);
    return true;
}

bool CScanTyper::ReachTarget()
{
    if (!m_target.IsSet() || m_bReached)
        return true;
    HWND hFront = g_desktop.pfnGetForegroundWindow();
    if (m_hTarget == NULL) {
        CString strWhy;
        m_hTarget = m_target.Find(strWhy);
        if (m_hTarget == NULL) {
            Refuse(strWhy);
            return false;
        }
        if (hFront != m_hTarget) {
            // Its thread takes the activation in its own time: the ticks look
            // for it in front meanwhile, and the window's messages go on.
            CTargetWindow::BringToFront(m_hTarget);
            m_dwAsked = ::GetTickCount();
            SetPace(false);
            return false;
        }
    } else if (hFront != m_hTarget) {
        if (::GetTickCount() - m_dwAsked >= kActivationMs)
            Refuse(m_target.NotInFront());
        return false;
    }
    m_bReached = true;
    SetPace(true);
    return true;
}

CScanTyper::PasteStep CScanTyper::PasteOn(Pending& pending, CString& strWhy)
{
    if (m_nPastedAt != 0) {
        if (m_paste.IsTaken()) {
            m_nPastedAt = 0;
            return PASTE_ON;
        }
        if (::GetTickCount64() - m_nPastedAt < kTakeMs)
            return PASTE_WAITING;
        strWhy = "the window in front took no paste";
        return PASTE_FAILED;
    }
    if (pending.rest.empty())
        return PASTE_ON;
    size_t n = 1;
    while (!IsKey(pending.rest[0]) && n < pending.rest.size() && !IsKey(pending.rest[n]))
        n++;
    std::wstring piece = pending.rest.substr(0, n);
    if (OwnWindowInFront()) {
        strWhy = WhyStopped();
        return PASTE_FAILED;
    }
    if (IsKey(piece[0])) {
        if (!TypeKeys(piece, m_hTarget)) {
            strWhy = WhyStopped();
            return PASTE_FAILED;
        }
    } else {
        // Other control characters type nothing as keys either.
        piece.erase(std::remove_if(piece.begin(), piece.end(), [](wchar_t wch) { return wch < 32 || wch == 127; }),
                    piece.end());
        if (!piece.empty()) {
            if (!m_paste.Offer(piece, strWhy))
                return PASTE_FAILED;
            if (!PressPaste(m_hTarget)) {
                strWhy = WhyStopped();
                return PASTE_FAILED;
            }
            m_nPastedAt = ::GetTickCount64();
        }
    }
    pending.rest.erase(0, n);
    return m_nPastedAt != 0 ? PASTE_WAITING : PASTE_ON;
}

CString CScanTyper::WhyStopped() const
{
    HWND hFront = g_desktop.pfnGetForegroundWindow();
    if (OwnWindowInFront())
        return kOwnWindowInFront;
    if (m_hTarget != NULL && hFront != m_hTarget) {
        CString strWhy = "focus left ";
        return strWhy += m_target.Name();
    }
    return hFront == NULL ? "no window is in front" : "the window in front took no keys";
}

void CScanTyper::GiveUp(const CString& strWhy)
{
    CString strResult = "not typed: ";
    strResult += strWhy;
    for (const Pending& pending : m_pending) {
        size_t nAll = pending.value.keys.size(), nDone = nAll - pending.rest.size();
        CString strLine = strResult, strPartly;
        if (pending.value.fate == RuledValue::TYPED && nDone != 0)
            strPartly.Format(" after %u of %u characters", (unsigned)nDone, (unsigned)nAll);
        Log(pending.value, strLine += strPartly);
    }
    EndTyping();
}

void CScanTyper::Refuse(const CString& strWhy, bool bTell)
{
    GiveUp(strWhy);
    Finish(false);
    if ((bTell || m_target.IsSet()) && strWhy != m_strNoticed) {
        m_strNotice = "A scan was not typed: ";
        m_strNotice += strWhy;
        m_strNoticed = strWhy;
    }
}

void CScanTyper::Log(const RuledValue& value, LPCSTR pszTyped)
{
    static const LPCSTR kFates[] = {
        /* TYPED */ NULL, /* SKIPPED */ "skipped: repeat", /* DROPPED */ "dropped: the pattern did not match",
    };
    LPCSTR pszResult = value.fate == RuledValue::TYPED ? pszTyped
                       : value.value.empty()           ? "dropped: nothing but line ends"
                                                       : kFates[value.fate];
    m_log.Add(ShowKeys(value.value), pszResult);
    m_received.AddScan(ShowKeys(value.fate == RuledValue::TYPED ? value.keys : value.value), pszResult);
    // A page gets the text itself: it types nothing, so keys need no names.
    m_web.Add(value.value, pszResult);
}

// Quietly: the user closed the port, or ended the program.
void CScanTyper::Stop(const CString& strWhy)
{
    GiveUp(strWhy);
}

// The user's clipboard goes back once the last piece was taken, or given up.
void CScanTyper::EndTyping()
{
    ::KillTimer(m_hWnd, m_nPaceTimer);
    m_pending.clear();
    m_nPastedAt = 0;
    if (m_paste.IsHolding() && !m_paste.GiveBack())
        m_strNotice = "What the clipboard held could not be put back: another program holds the clipboard";
    m_keysLock.Release();
    m_hTarget = NULL;
    m_bReached = false;
}

// A value whose keys nothing took is not typed: the same scan again must type it.
void CScanTyper::Finish(bool bTyped)
{
    if (bTyped) {
        m_memory = m_pendingMemory;
        m_strNoticed.Empty();
    }
    g_pfnMessageBeep(bTyped ? MB_ICONASTERISK : MB_ICONHAND);
}

CString CScanTyper::TakeNotice()
{
    CString strNotice = m_strNotice;
    m_strNotice.Empty();
    return strNotice;
}
