#include "ScanRules.h"
#include <windows.h>
#include <cwctype>
#include <iterator>
// Boost.Regex without the rest of Boost, on the C++ library's own threads and
// exceptions: it builds alike whatever the compiler's thread model.
#define BOOST_REGEX_STANDALONE
// The steps a search may take before it gives up and its line counts as not
// matching: about 50 ms under Wine, on a line of any length. Enough for a
// quadratic search over 1000 characters; a pattern that backtracks without
// end gives up instead of holding the window.
#define BOOST_REGEX_MAX_STATE_COUNT 5000000
#include <boost/regex.hpp>

struct CompiledPattern {
    boost::wregex regex;
};

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

// A line walked one character at a time. Given pointers, which it can measure
// at once, the library lets a search take some line length squared steps, so
// a merely quadratic search such as (a|b)*c over 1000 characters gives up;
// given this, it lets every search take BOOST_REGEX_MAX_STATE_COUNT steps
// (see above), whatever the line's length.
class LineIterator {
public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = wchar_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const wchar_t*;
    using reference = const wchar_t&;

    LineIterator() = default;
    explicit LineIterator(const wchar_t* p) : m_p(p) {}
    reference operator*() const { return *m_p; }
    LineIterator& operator++() { ++m_p; return *this; }
    LineIterator operator++(int) { LineIterator old = *this; ++m_p; return old; }
    LineIterator& operator--() { --m_p; return *this; }
    LineIterator operator--(int) { LineIterator old = *this; --m_p; return old; }
    bool operator==(const LineIterator& o) const { return m_p == o.m_p; }
    bool operator!=(const LineIterator& o) const { return m_p != o.m_p; }

private:
    const wchar_t* m_p = nullptr;
};

// ECMAScript's \uXXXX is Perl's \x{XXXX}; to Perl, \u is an upper-case letter.
std::wstring PerlEscapes(const std::wstring& pattern)
{
    std::wstring perl;
    for (size_t i = 0; i < pattern.size(); i++) {
        if (pattern[i] == L'\\' && i + 6 <= pattern.size() && pattern[i + 1] == L'u' &&
            pattern.find_first_not_of(L"0123456789abcdefABCDEF", i + 2) >= i + 6) {
            perl += L"\\x{" + pattern.substr(i + 2, 4) + L"}";
            i += 5;
        } else {
            perl += pattern[i];
            if (pattern[i] == L'\\' && i + 1 < pattern.size())
                perl += pattern[++i];
        }
    }
    return perl;
}

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

// The value the pattern picks from one line: its first group, or the whole
// match if it has none. False where it does not match, and where the search
// gives up (too many steps, or out of memory).
static bool FindValue(const CompiledPattern& pattern, const std::wstring& line, std::wstring& value)
{
    try {
        boost::match_results<LineIterator> match;
        if (!boost::regex_search(LineIterator(line.data()), LineIterator(line.data() + line.size()), match,
                                 pattern.regex))
            return false;
        value = match[match.size() > 1 ? 1 : 0].str();
        return true;
    } catch (...) {
        return false;
    }
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
        // Perl syntax, with ^ and $ at the ends of the line only, as ECMAScript has them.
        try {
            m_pPattern = std::make_shared<const CompiledPattern>(CompiledPattern{ boost::wregex(
                PerlEscapes(settings.m_strPattern.Wide()), boost::regex::perl | boost::regex::no_mod_m) });
        } catch (const std::exception& e) {
            add("Pattern: ", CString("it is not a valid regular expression: ") += e.what());
        }
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
