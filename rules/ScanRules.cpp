#include "ScanRules.h"
#include <windows.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
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

// Names in braces are read in any case.
std::wstring Upper(std::wstring name)
{
    for (wchar_t& c : name)
        c = (wchar_t)std::towupper(c);
    return name;
}

bool IsDigit(wchar_t wch)
{
    return wch >= L'0' && wch <= L'9';
}

bool LookUpKey(const std::wstring& name, wchar_t& wch)
{
    for (const KeyName& key : kKeyNames) {
        if (Upper(name) == key.pszName) {
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

// ECMAScript's \uXXXX is Perl's \x{XXXX}: to Boost.Regex, \u is any upper-case letter.
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

// The reason a name in braces is none: the names the text may hold.
CString NoSuchName(const std::wstring& name, bool bFields)
{
    CString strReason = "there is no key named {";
    strReason += CString(name);
    strReason += "}: the keys are {ENTER}, {TAB}, {ESC} and {BACKSPACE}";
    strReason += bFields ? ", the fields {DATE}, {TIME}, {DEC:$1} and {DEC:$1:10}" : "";
    strReason += ", and {{ and }} stand for a brace.";
    return strReason;
}

// A field in braces of a template: {DATE}, {TIME}, {DEC:$n} or {DEC:$n:W}.
bool ParseField(const std::wstring& name, TemplatePart& part, CString& strReason)
{
    std::wstring upper = Upper(name);
    if (upper == L"DATE" || upper == L"TIME") {
        part.kind = upper == L"DATE" ? TemplatePart::DATE : TemplatePart::TIME;
        return true;
    }
    if (upper.compare(0, 4, L"DEC:") != 0) {
        strReason = NoSuchName(name, true);
        return false;
    }
    ULONGLONG nWidth = 0;
    if (upper.size() < 6 || upper[4] != L'$' || !IsDigit(upper[5]) ||
        (upper.size() > 6 && (upper[6] != L':' || !ParseWholeNumber(CString(upper.substr(7)), 20, nWidth)))) {
        strReason = "{DEC:$n} takes a group, $0 to $9, and may take a width of up to 20 digits: {DEC:$1:10}.";
        return false;
    }
    part.kind = TemplatePart::DECIMAL;
    part.nGroup = upper[5] - L'0';
    part.nWidth = (unsigned)nWidth;
    return true;
}

// Text with key names; with bFields, also groups ($0 to $9, $$ for a dollar
// sign) and fields. False, with the reason, at anything else in braces or a
// single } or $.
bool ParseTemplate(const std::wstring& text, bool bFields, Template& parts, CString& strReason)
{
    parts.clear();
    auto addText = [&](wchar_t wch) {
        if (parts.empty() || parts.back().kind != TemplatePart::TEXT)
            parts.push_back({ TemplatePart::TEXT, L"", 0, 0 });
        parts.back().text += wch;
    };
    for (size_t i = 0; i < text.size(); i++) {
        wchar_t wch = text[i];
        bool bDoubled = i + 1 < text.size() && text[i + 1] == wch;
        if ((wch == L'{' || wch == L'}' || (bFields && wch == L'$')) && bDoubled) {
            addText(wch);
            i++;
        } else if (wch == L'{') {
            size_t end = text.find(L'}', i);
            std::wstring name = text.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
            TemplatePart field = { TemplatePart::TEXT, L"", 0, 0 };
            if (end != std::wstring::npos && LookUpKey(name, wch)) {
                addText(wch);
            } else if (end != std::wstring::npos && bFields) {
                if (!ParseField(name, field, strReason))
                    return false;
                parts.push_back(field);
            } else {
                strReason = NoSuchName(name, bFields);
                return false;
            }
            i = end;
        } else if (wch == L'}') {
            strReason = "a single } stands for nothing: }} stands for a brace.";
            return false;
        } else if (bFields && wch == L'$') {
            if (i + 1 == text.size() || !IsDigit(text[i + 1])) {
                strReason = "a $ stands for a group, $0 to $9: $$ stands for a dollar sign.";
                return false;
            }
            parts.push_back({ TemplatePart::GROUP, L"", (unsigned)(text[++i] - L'0'), 0 });
        } else {
            addText(wch);
        }
    }
    return true;
}

unsigned HighestGroup(const Template& parts)
{
    unsigned nHighest = 0;
    for (const TemplatePart& part : parts) {
        if (part.kind == TemplatePart::GROUP || part.kind == TemplatePart::DECIMAL)
            nHighest = std::max(nHighest, part.nGroup);
    }
    return nHighest;
}

bool HasStamps(const Template& parts)
{
    return std::any_of(parts.begin(), parts.end(), [](const TemplatePart& part) {
        return part.kind == TemplatePart::DATE || part.kind == TemplatePart::TIME;
    });
}

// Hexadecimal digits, up to 16, in decimal, padded with zeros to nWidth
// digits; any other text as it came.
std::wstring Decimal(const std::wstring& hex, unsigned nWidth)
{
    if (hex.empty() || hex.size() > 16 || hex.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
        return hex;
    std::wstring decimal = std::to_wstring(std::stoull(hex, nullptr, 16));
    return std::wstring(nWidth > decimal.size() ? nWidth - decimal.size() : 0, L'0') + decimal;
}

std::wstring Expand(const Template& parts, const std::vector<std::wstring>& groups, bool bStamps)
{
    std::wstring typed;
    SYSTEMTIME now = {};
    if (bStamps)
        ::GetLocalTime(&now);
    for (const TemplatePart& part : parts) {
        switch (part.kind) {
        case TemplatePart::TEXT: typed += part.text; break;
        case TemplatePart::GROUP: typed += groups[part.nGroup]; break;
        case TemplatePart::DECIMAL: typed += Decimal(groups[part.nGroup], part.nWidth); break;
        case TemplatePart::DATE: typed += bStamps ? DateText(now) : L""; break;
        case TemplatePart::TIME: typed += bStamps ? TimeText(now) : L""; break;
        }
    }
    return typed;
}

// The groups of a match as texts; one that took no part is empty.
std::vector<std::wstring> Groups(const boost::match_results<LineIterator>& match)
{
    std::vector<std::wstring> groups;
    for (size_t i = 0; i < match.size(); i++)
        groups.push_back(match[i].str());
    return groups;
}

const size_t kMaxValue = 4096;   // characters a replace may make of one value

bool IsLineEnd(wchar_t wch)
{
    return wch == L'\r' || wch == L'\n' || wch == 0x03;   // CR, LF, and ETX, which ends a frame
}

} // namespace

void AddReason(CString& strReasons, LPCSTR pszWhat, LPCSTR pszWhy)
{
    strReasons += strReasons.IsEmpty() ? "" : "\n";
    strReasons += pszWhat;
    strReasons += pszWhy;
}

std::wstring DateText(const SYSTEMTIME& time)
{
    wchar_t sz[16];
    swprintf(sz, 16, L"%04u-%02u-%02u", time.wYear, time.wMonth, time.wDay);
    return sz;
}

std::wstring TimeText(const SYSTEMTIME& time)
{
    wchar_t sz[16];
    swprintf(sz, 16, L"%02u:%02u:%02u", time.wHour, time.wMinute, time.wSecond);
    return sz;
}

bool ParseKeys(const std::wstring& text, std::wstring& keys, CString& strReason)
{
    Template parts;
    keys.clear();   // a text that does not hold types nothing
    if (!ParseTemplate(text, false, parts, strReason))
        return false;
    for (const TemplatePart& part : parts)
        keys += part.text;
    return true;
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

bool ParseCommand(const CString& strText, std::string& bytes, CString& strReason)
{
    static const struct { char chName; char chByte; } kEscapes[] = {
        { 'r', '\r' }, { 'n', '\n' }, { 't', '\t' }, { 'e', '\x1B' }, { '\\', '\\' },
    };
    bytes.clear();
    int n = strText.GetLength();
    for (int i = 0; i < n; i++) {
        if (strText[i] != '\\') {
            bytes += strText[i];
            continue;
        }
        char chName = i + 1 < n ? strText[++i] : '\0';
        bool bFound = false;
        for (const auto& escape : kEscapes) {
            if (chName == escape.chName) {
                bytes += escape.chByte;
                bFound = true;
            }
        }
        if (bFound)
            continue;
        if (chName == 'x' && i + 2 < n && isxdigit((unsigned char)strText[i + 1]) &&
            isxdigit((unsigned char)strText[i + 2])) {
            bytes += (char)strtoul(std::string((LPCSTR)strText + i + 1, 2).c_str(), NULL, 16);
            i += 2;
            continue;
        }
        if (chName == 'x')
            strReason = "\\x needs two hexadecimal digits, as in \\x1B.";
        else
            strReason.Format("\"\\%s\" is no escape: they are \\r, \\n, \\t, \\e (Esc), \\xHH and \\\\.",
                             chName ? std::string(1, chName).c_str() : "");
        return false;
    }
    return true;
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

// The groups of the pattern's first match in a line: false where it does not
// match, and where the search gives up (too many steps, or out of memory).
static bool Search(const CompiledPattern& pattern, const std::wstring& line, std::vector<std::wstring>& groups)
{
    try {
        boost::match_results<LineIterator> match;
        if (!boost::regex_search(LineIterator(line.data()), LineIterator(line.data() + line.size()), match,
                                 pattern.regex))
            return false;
        groups = Groups(match);
        return true;
    } catch (...) {
        return false;
    }
}

// Perl syntax, with ^ and $ at the ends of the line only, as ECMAScript has them.
static std::shared_ptr<const CompiledPattern> CompilePattern(const CString& strPattern, CString& strReason)
{
    try {
        return std::make_shared<const CompiledPattern>(CompiledPattern{
            boost::wregex(PerlEscapes(strPattern.Wide()), boost::regex::perl | boost::regex::no_mod_m) });
    } catch (const std::exception& e) {
        strReason = CString("it is not a valid regular expression: ") += e.what();
        return nullptr;
    }
}

// A template that names only groups the pattern has ($0 without one).
static bool CompileTemplate(const CString& strText, const CompiledPattern* pPattern, Template& parts,
                            CString& strReason)
{
    if (!ParseTemplate(strText.Wide(), true, parts, strReason))
        return false;
    unsigned nGroups = pPattern ? (unsigned)pPattern->regex.mark_count() : 0;
    unsigned nHighest = HighestGroup(parts);
    if (nHighest > nGroups && pPattern)
        strReason.Format("there is no group $%u: the pattern has %u.", nHighest, nGroups);
    else if (nHighest > nGroups)
        strReason.Format("there is no group $%u: without a pattern, $0 is the whole scan.", nHighest);
    return nHighest <= nGroups;
}

CString CScanRules::Compile(const RuleSettings& settings)
{
    *this = CScanRules();
    CString strReasons, strReason;
    auto add = [&](LPCSTR pszWhat, LPCSTR pszWhy) { AddReason(strReasons, pszWhat, pszWhy); };

    if (!ParseKeys(settings.m_strPrefix.Wide(), m_prefix, strReason))
        add("Prefix: ", strReason);
    if (!ParseKeys(settings.m_strSuffix.Wide(), m_suffix, strReason))
        add("Suffix: ", strReason);
    if (!settings.m_strPattern.IsEmpty() && !(m_pPattern = CompilePattern(settings.m_strPattern, strReason)))
        add("Pattern: ", strReason);
    // Without a template, the first group, or all the pattern matched.
    m_output = { { TemplatePart::GROUP, L"", m_pPattern && m_pPattern->regex.mark_count() > 0 ? 1u : 0u, 0 } };
    Template output;
    if (!settings.m_strOutput.IsEmpty()) {
        if (CompileTemplate(settings.m_strOutput, m_pPattern.get(), output, strReason))
            m_output = output;
        else
            add("Output: ", strReason);
    }
    if (!settings.m_strReplace.IsEmpty()) {
        if (!(m_pReplace = CompilePattern(settings.m_strReplace, strReason)))
            add("Replace: ", strReason);
        else if (!CompileTemplate(settings.m_strReplaceWith, m_pReplace.get(), m_replaceWith, strReason)) {
            add("Replace with: ", strReason);
            m_pReplace = nullptr;
        }
    }
    m_bStamps = HasStamps(m_output) || (m_pReplace && HasStamps(m_replaceWith));
    m_bTypeUnmatched = settings.m_strNoMatch == "Type";
    m_bSkipRepeats = settings.m_strSkipRepeats == "1";
    ULONGLONG nNumber = 0;
    if (!settings.m_strRepeatSeconds.IsEmpty() &&
        (!ParseWholeNumber(settings.m_strRepeatSeconds, 86400, nNumber) || nNumber == 0)) {
        // Off, as every rule that does not hold: skipping for ever would lose scans.
        add("Repeats within: ", "it must be a whole number of seconds from 1 to 86400; repeats are not skipped.");
        m_bSkipRepeats = false;
    } else
        m_nRepeatMs = nNumber * 1000;
    nNumber = 0;
    if (!settings.m_strKeyDelay.IsEmpty() && !ParseWholeNumber(settings.m_strKeyDelay, 100, nNumber))
        add("Key delay: ", "it must be a whole number of milliseconds from 0 to 100.");
    else
        m_nKeyDelay = (UINT)nNumber;
    return strReasons;
}

bool CScanRules::IsSet() const
{
    return !m_prefix.empty() || !m_suffix.empty() || m_pPattern || m_output.size() != 1 ||
           m_output[0].kind != TemplatePart::GROUP || m_pReplace || m_bSkipRepeats || m_nKeyDelay != 0;
}

std::wstring CScanRules::Value(const std::vector<std::wstring>& groups, bool bStamps) const
{
    std::wstring value = Expand(m_output, groups, bStamps);
    if (!m_pReplace)
        return value;
    std::wstring replaced;
    try {
        LineIterator first(value.data()), last(value.data() + value.size()), taken = first;
        for (boost::regex_iterator<LineIterator> it(first, last, m_pReplace->regex), end; it != end; ++it) {
            replaced += std::wstring(taken, (*it)[0].first) + Expand(m_replaceWith, Groups(*it), bStamps);
            taken = (*it)[0].second;
            if (replaced.size() >= kMaxValue)
                break;
        }
        replaced += std::wstring(taken, last);
    } catch (...) {   // a replace that gives up leaves the value as it was
        return value;
    }
    return replaced.substr(0, kMaxValue);
}

std::wstring CScanRules::Apply(const std::wstring& scan, RepeatMemory& memory, ULONGLONG nowMs) const
{
    std::wstring keys;
    for (const RuledValue& value : Values(scan, memory, nowMs)) {
        if (value.fate == RuledValue::TYPED)
            keys += value.keys;
    }
    return keys;
}

std::vector<RuledValue> CScanRules::Values(const std::wstring& scan, RepeatMemory& memory, ULONGLONG nowMs) const
{
    std::vector<RuledValue> values;
    auto take = [&](const std::vector<std::wstring>& groups) {
        std::wstring value = Value(groups, true), compared = m_bStamps ? Value(groups, false) : value;
        bool bRepeat = m_bSkipRepeats && memory.bSet && compared == memory.value &&
                       (m_nRepeatMs == 0 || nowMs - memory.arrival < m_nRepeatMs);
        values.push_back({ bRepeat ? RuledValue::SKIPPED : RuledValue::TYPED, m_prefix + value + m_suffix, value });
        memory = { compared, nowMs, true };
    };
    if (!m_pPattern) {
        if (!scan.empty())
            take({ scan });
        return values;
    }
    // Lines end at CR, LF or CR LF, which they leave out, and after an ETX,
    // which a frame's pattern may name; empty ones carry nothing.
    for (size_t start = 0; start < scan.size();) {
        size_t end = start;
        while (end < scan.size() && !IsLineEnd(scan[end]))
            end++;
        size_t next = end + (end < scan.size());
        if (scan.compare(end, 2, L"\r\n") == 0)
            next++;
        std::wstring line = scan.substr(start, end - start);
        std::vector<std::wstring> groups;
        // A frame's pattern may name its ETX, or end in $ before it.
        bool bFrame = end < scan.size() && scan[end] == 0x03;
        if ((!line.empty() && Search(*m_pPattern, line, groups)) ||
            (bFrame && Search(*m_pPattern, line + L'\x03', groups)))
            take(groups);
        else if ((!line.empty() || bFrame) && m_bTypeUnmatched)   // as received, with its line end
            values.push_back({ RuledValue::TYPED, scan.substr(start, next - start), scan.substr(start, next - start) });
        else if (!line.empty() || bFrame)
            values.push_back({ RuledValue::DROPPED, L"", line });
        start = next;
    }
    return values;
}
