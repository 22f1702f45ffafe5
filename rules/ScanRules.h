// Scan rules: what a scan types, shaped by a prefix and a suffix of text and
// key names, a pattern that picks the value out of each line, repeats skipped
// and a pace for the keys. Plain functions over text: the window feeds them
// decoded scans and hands what they give to the keys.
#pragma once
#include <memory>
#include <string>
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

struct CompiledPattern;   // Boost.Regex's, kept out of what includes this

class CScanRules {
public:
    // Takes the rules from their texts. A text that does not hold leaves its
    // rule off and adds a line saying why to what is returned, which is empty
    // when every text holds.
    CString Compile(const RuleSettings& settings);
    // Whether any rule is on: without one a scan is typed as it came.
    bool IsSet() const;
    UINT KeyDelay() const { return m_nKeyDelay; }
    // The characters a decoded scan types (see ParseKeys for the keys among
    // them). lastValue is the last value typed, which skipping repeats
    // compares with; it becomes the last value this scan types.
    std::wstring Apply(const std::wstring& scan, std::wstring& lastValue) const;

private:
    std::wstring m_prefix;
    std::wstring m_suffix;
    std::shared_ptr<const CompiledPattern> m_pPattern;   // none: the scan is one value
    bool m_bTypeUnmatched = false;
    bool m_bSkipRepeats = false;
    UINT m_nKeyDelay = 0;
};
