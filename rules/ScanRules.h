// Scan rules: what a scan types, shaped by a prefix and a suffix of text and
// key names, a pattern that picks the value out of each line, a template of
// its groups, a replace within it, repeats skipped (for a while or for ever)
// and a pace for the keys. Plain functions over text: the window feeds them
// decoded scans and hands what they give to the keys.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "../fw/String.h"
#include "../settings/RuleSettings.h"

// Text with key names in braces ({ENTER}, {TAB}, {ESC}, {BACKSPACE}, in any
// case; {{ and }} for a brace) as the characters that type those keys: CR,
// tab, escape and backspace. False, with the reason, at a name that does not
// exist or a single closing brace.
bool ParseKeys(const std::wstring& text, std::wstring& keys, CString& strReason);
// The other way round, for showing what would be typed: the four keys by
// their names, braces doubled; other control characters type nothing and
// are left out.
std::wstring ShowKeys(const std::wstring& keys);
// A received text with its control characters visible: <CR>, <LF>, <TAB>,
// <ESC>, <BS>, any other as its code (<1F>).
std::wstring ShowReceived(const std::wstring& text);

// A command for the device as the bytes it sends: its characters as they are,
// and the escapes \r, \n, \t, \e (Esc), \xHH and \\. False, with the reason,
// at an escape that does not exist.
bool ParseCommand(const CString& strText, std::string& bytes, CString& strReason);
// The local date and time as {DATE} and {TIME} type them: 2026-12-09, 14:05:09.
std::wstring DateText(const SYSTEMTIME& time);
std::wstring TimeText(const SYSTEMTIME& time);

// Adds a line to the reasons why settings do not hold: what does not, and why.
void AddReason(CString& strReasons, LPCSTR pszWhat, LPCSTR pszWhy);

// One part of a template: text (key names already their characters), a
// group, the local date or time, or a group read as hexadecimal and typed in
// decimal, padded with zeros to nWidth digits.
struct TemplatePart {
    enum Kind { TEXT, GROUP, DATE, TIME, DECIMAL } kind;
    std::wstring text;
    unsigned nGroup = 0;
    unsigned nWidth = 0;
};
using Template = std::vector<TemplatePart>;

struct CompiledPattern;   // Boost.Regex's, kept out of what includes this

// What skipping repeats remembers: the last value typed and when it last
// arrived, skipped arrivals too, so that a card held to a reader types once
// however long it is held.
struct RepeatMemory {
    std::wstring value;     // as compared: without its {DATE} and {TIME}
    ULONGLONG arrival = 0;  // GetTickCount64() of its last arrival
    bool bSet = false;
};

// One value a scan gave: the keys it types (prefix, value and suffix; a line
// the pattern missed as it came), and whether it types them.
struct RuledValue {
    enum Fate { TYPED, SKIPPED, DROPPED } fate;   // SKIPPED: a repeat; DROPPED: a line no pattern matched
    std::wstring keys;
    std::wstring value;   // without the prefix and the suffix: what the log shows
};

class CScanRules {
public:
    // Takes the rules from their texts. A text that does not hold leaves its
    // rule off and adds a line saying why to what is returned, which is empty
    // when every text holds.
    CString Compile(const RuleSettings& settings);
    // Whether any rule that changes what is typed is on: without one a scan
    // is typed as it came.
    bool IsSet() const;
    UINT KeyDelay() const { return m_nKeyDelay; }
    // The characters a decoded scan types (see ParseKeys for the keys among
    // them); memory is updated as the scan's values are taken. The caller
    // passes a copy and keeps it only once the keys went out.
    std::wstring Apply(const std::wstring& scan, RepeatMemory& memory, ULONGLONG nowMs) const;
    // The same, value by value, with those that type nothing: for the log.
    std::vector<RuledValue> Values(const std::wstring& scan, RepeatMemory& memory, ULONGLONG nowMs) const;

private:
    // A line's value: the output template over the groups, then the replace;
    // with bStamps false, {DATE} and {TIME} are left out.
    std::wstring Value(const std::vector<std::wstring>& groups, bool bStamps) const;

    std::wstring m_prefix;
    std::wstring m_suffix;
    std::shared_ptr<const CompiledPattern> m_pPattern;   // none: the scan is one value, $0
    Template m_output;                                   // what a value types
    std::shared_ptr<const CompiledPattern> m_pReplace;   // none: no replace
    Template m_replaceWith;                              // what each match of the replace becomes
    bool m_bStamps = false;                              // a template holds {DATE} or {TIME}
    bool m_bTypeUnmatched = false;
    bool m_bSkipRepeats = false;
    ULONGLONG m_nRepeatMs = 0;                           // 0: repeats are skipped however late
    UINT m_nKeyDelay = 0;
};
