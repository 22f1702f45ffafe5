#include "ScanRules.h"
#include <windows.h>
#include <cwctype>
#include <functional>
#include <iterator>
#include <mutex>

namespace {

// The keys a name stands for, by the character that types each.
struct KeyName { LPCWSTR pszName; wchar_t wch; };
const KeyName kKeyNames[] = { { L"ENTER", L'\r' }, { L"TAB", L'\t' }, { L"ESC", 0x1B }, { L"BACKSPACE", L'\b' } };

bool LookUpKey(std::wstring name, wchar_t& wch)
{
    for (wchar_t& c : name)
        c = (wchar_t)std::towupper(c);
    for (const KeyName& key : kKeyNames) {
        if (name == key.pszName) {
            wch = key.wch;
            return true;
        }
    }
    return false;
}

// libstdc++ searches an ECMAScript pattern depth first, with nested calls
// for every character it takes (about 2 KB of stack each) and for every state
// of the pattern it passes, and it backtracks without limit: a line of a few
// hundred characters can exhaust a thread's usual 1 or 2 MB, and a pattern
// such as (a|aa)*c takes for ever. So searches run on a thread with a large
// stack, and walk the line through an iterator that gives up (throws) after
// a number of steps, or once half the stack is used: between two steps the
// search makes no more nested calls than the pattern has states, some 30 MB
// at most for the 100000 states the library allows. Patterns are compiled
// on that thread too: the parser nests calls per group.
struct SearchGiveUp {};

// The thread, made at the first call and kept (making one costs some 5 ms
// under Wine): runs one function at a time for the threads that call Run, on
// a stack of 256 MB, reserved, not committed until used.
class LargeStack {
public:
    static void Run(const std::function<void()>& f)
    {
        static LargeStack stack;
        std::lock_guard<std::mutex> lock(stack.m_mutex);
        if (stack.m_hThread == NULL)
            return;   // no room for the thread: f does not run
        stack.m_pf = &f;
        ::SetEvent(stack.m_hStart);
        ::WaitForSingleObject(stack.m_hDone, INFINITE);
    }

private:
    LargeStack()
        : m_hStart(::CreateEventA(NULL, FALSE, FALSE, NULL)), m_hDone(::CreateEventA(NULL, FALSE, FALSE, NULL)),
          m_hThread(::CreateThread(NULL, 256 << 20, Loop, this, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL))
    {
    }
    static DWORD WINAPI Loop(LPVOID pThis)
    {
        LargeStack& stack = *(LargeStack*)pThis;
        for (;;) {
            ::WaitForSingleObject(stack.m_hStart, INFINITE);
            (*stack.m_pf)();
            ::SetEvent(stack.m_hDone);
        }
    }

    std::mutex m_mutex;
    const std::function<void()>* m_pf = NULL;
    HANDLE m_hStart;
    HANDLE m_hDone;
    HANDLE m_hThread;   // ends with the process
};

class SearchBudget {
public:
    SearchBudget()
    {
        MEMORY_BASIC_INFORMATION mbi = {};
        ::VirtualQuery(&mbi, &mbi, sizeof mbi);   // this thread's stack, as reserved
        SIZE_T nStack = (const char*)&mbi - (const char*)mbi.AllocationBase;
        m_pFloor = (const char*)mbi.AllocationBase + nStack / 2;
    }
    void Step()
    {
        if (++m_nSteps > kMaxSteps || (const char*)__builtin_frame_address(0) < m_pFloor)
            throw SearchGiveUp();
    }

private:
    static const size_t kMaxSteps = 1000000;   // 30 to 500 ms
    size_t m_nSteps = 0;
    const char* m_pFloor;
};

class GuardedIterator {
public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = wchar_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const wchar_t*;
    using reference = const wchar_t&;

    GuardedIterator() = default;
    GuardedIterator(const wchar_t* p, SearchBudget* pBudget) : m_p(p), m_pBudget(pBudget) {}
    reference operator*() const { m_pBudget->Step(); return *m_p; }
    GuardedIterator& operator++() { ++m_p; return *this; }
    GuardedIterator operator++(int) { GuardedIterator old = *this; ++m_p; return old; }
    GuardedIterator& operator--() { --m_p; return *this; }
    GuardedIterator operator--(int) { GuardedIterator old = *this; --m_p; return old; }
    bool operator==(const GuardedIterator& o) const { return m_p == o.m_p; }
    bool operator!=(const GuardedIterator& o) const { return m_p != o.m_p; }

private:
    const wchar_t* m_p = nullptr;
    SearchBudget* m_pBudget = nullptr;
};

bool IsLineEnd(wchar_t wch)
{
    return wch == L'\r' || wch == L'\n';
}

} // namespace

bool ParseKeys(const std::wstring& text, std::wstring& keys, CString& strReason)
{
    keys.clear();
    bool bHolds = true;
    for (size_t i = 0; i < text.size(); i++) {
        wchar_t wch = text[i];
        if ((wch == L'{' || wch == L'}') && i + 1 < text.size() && text[i + 1] == wch) {
            keys += wch;
            i++;
        } else if (wch == L'{') {
            size_t end = text.find(L'}', i);
            std::wstring name = text.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
            if (end == std::wstring::npos || !LookUpKey(name, wch)) {
                strReason = "there is no key named {";
                strReason += CString(name);
                strReason += "}: the keys are {ENTER}, {TAB}, {ESC} and {BACKSPACE}, and {{ and }} stand for a brace.";
                bHolds = false;
                break;
            }
            keys += wch;
            i = end;
        } else if (wch == L'}') {
            strReason = "a single } stands for nothing: }} stands for a brace.";
            bHolds = false;
            break;
        } else {
            keys += wch;
        }
    }
    if (!bHolds)
        keys.clear();   // a text that does not hold types nothing
    return bHolds;
}

std::wstring ShowKeys(const std::wstring& keys)
{
    std::wstring shown;
    for (wchar_t wch : keys) {
        if (wch == L'{' || wch == L'}') {
            shown.append(2, wch);
            continue;
        }
        for (const KeyName& key : kKeyNames) {
            if (key.wch == wch)
                shown += L'{' + std::wstring(key.pszName) + L'}';
        }
        if (wch >= 32 && wch != 127)
            shown += wch;
    }
    return shown;
}

std::wstring ShowReceived(const std::wstring& text)
{
    const struct { wchar_t wch; LPCWSTR pszName; } names[] = {
        { L'\r', L"<CR>" }, { L'\n', L"<LF>" }, { L'\t', L"<TAB>" }, { 0x1B, L"<ESC>" }, { L'\b', L"<BS>" },
    };
    std::wstring shown;
    for (wchar_t wch : text) {
        if (wch >= 32 && wch != 127) {
            shown += wch;
            continue;
        }
        wchar_t code[8];
        swprintf(code, 8, L"<%02X>", wch);
        LPCWSTR pszShown = code;
        for (const auto& name : names) {
            if (name.wch == wch)
                pszShown = name.pszName;
        }
        shown += pszShown;
    }
    return shown;
}

bool FindValue(const std::wregex& pattern, const std::wstring& line, std::wstring& value)
{
    bool bFound = false;
    LargeStack::Run([&] {
        try {
            SearchBudget budget;
            GuardedIterator first(line.data(), &budget), last(line.data() + line.size(), &budget);
            std::match_results<GuardedIterator> match;
            bFound = std::regex_search(first, last, match, pattern);
            if (bFound)
                value = match[match.size() > 1 ? 1 : 0].str();
        } catch (...) {   // given up, out of memory, or the library's own complexity error
            bFound = false;
        }
    });
    return bFound;
}

CString CScanRules::Compile(const RuleSettings& settings)
{
    *this = CScanRules();
    CString strReasons, strReason;
    auto add = [&](LPCSTR pszWhat, LPCSTR pszWhy) {
        strReasons += strReasons.IsEmpty() ? "" : "\n";
        strReasons += pszWhat;
        strReasons += pszWhy;
    };

    if (!ParseKeys(settings.m_strPrefix.Wide(), m_prefix, strReason))
        add("Prefix: ", strReason);
    if (!ParseKeys(settings.m_strSuffix.Wide(), m_suffix, strReason))
        add("Suffix: ", strReason);
    if (!settings.m_strPattern.IsEmpty()) {
        CString strError = "there is no room to compile it.";
        LargeStack::Run([&] {
            try {
                m_pPattern = std::make_shared<const std::wregex>(settings.m_strPattern.Wide(), std::regex::ECMAScript);
            } catch (const std::exception& e) {
                strError = CString("it is not a valid regular expression: ") += e.what();
            }
        });
        if (!m_pPattern)
            add("Pattern: ", strError);
    }
    m_bTypeUnmatched = settings.m_strNoMatch == "Type";
    m_bSkipRepeats = settings.m_strSkipRepeats == "1";
    ULONGLONG nDelay = 0;
    if (!settings.m_strKeyDelay.IsEmpty() && !ParseWholeNumber(settings.m_strKeyDelay, 100, nDelay))
        add("Key delay: ", "it must be a whole number of milliseconds from 0 to 100.");
    else
        m_nKeyDelay = (UINT)nDelay;
    return strReasons;
}

bool CScanRules::IsSet() const
{
    return !m_prefix.empty() || !m_suffix.empty() || m_pPattern || m_bSkipRepeats || m_nKeyDelay != 0;
}

std::wstring CScanRules::Apply(const std::wstring& scan, std::wstring& lastValue) const
{
    std::wstring keys;
    auto typeValue = [&](const std::wstring& value) {
        if (m_bSkipRepeats && value == lastValue)
            return;
        keys += m_prefix + value + m_suffix;
        lastValue = value;
    };
    if (!m_pPattern) {
        if (!scan.empty())
            typeValue(scan);
        return keys;
    }
    // Lines end at CR, LF or CR LF, and at the end of the scan; empty ones carry nothing.
    for (size_t start = 0; start < scan.size();) {
        size_t end = start;
        while (end < scan.size() && !IsLineEnd(scan[end]))
            end++;
        size_t next = end + (end < scan.size());
        if (scan.compare(end, 2, L"\r\n") == 0)
            next++;
        std::wstring line = scan.substr(start, end - start), value;
        if (!line.empty() && FindValue(*m_pPattern, line, value))
            typeValue(value);
        else if (!line.empty() && m_bTypeUnmatched)
            keys += scan.substr(start, next - start);   // as received, with its line end
        start = next;
    }
    return keys;
}
