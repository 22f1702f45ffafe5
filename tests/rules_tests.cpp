// The scan rules over text: what each scan of a row types under the row's
// rules, and why a text that does not hold is refused.
#include <gtest/gtest.h>
#include "../rules/ScanRules.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"   // rows name the texts they set

namespace {

struct Case {
    const char* what;
    RuleSettings texts;               // prefix, suffix, pattern, no match, skip repeats, key delay
    std::vector<std::wstring> scans;  // in order, one skip-repeat memory for all
    std::wstring typed;               // what they type, together
    const char* reason;               // part of what the compile says; "" when every text holds
};

const std::wstring kLong(200000, L'a');   // more than half the search's stack

const Case kCases[] = {
    { "no rules: the scan as it came", {}, { L"4006381333931\r\n" }, L"4006381333931\r\n", "" },
    { "prefix and suffix around a scan", { "{TAB}", "{ENTER}" }, { L"123\r" }, L"\t123\r\r", "" },
    { "a scale's stable weights, repeats skipped",
      { "", "{ENTER}", "^ST,GS,[+-]0*(\\d+\\.\\d+)kg$", "", "1" },
      { L"ST,GS,+0001.23kg\r\nUS,GS,+0001.40kg\r\n", L"ST,GS,+0001.23kg\r\n", L"ST,GS,+0002.50kg" },
      L"1.23\r2.50\r", "" },
    { "framing stripped; each value has the prefix and the suffix", { "<", ">", "\\x02(.*)\\x03" },
      { L"\x02" L"AB12\x03\r\x02" L"CD34\x03\n" }, L"<AB12><CD34>", "" },
    { "no group: the whole match", { "", "", "\\d+" }, { L"ID:4711;\r\n" }, L"4711", "" },
    { "a line that does not match typed as received", { "", "{TAB}", "^ok (\\w+)", "Type" },
      { L"ok A\r\nERR 7\r\n\r\nok B" }, L"A\tERR 7\r\nB\t", "" },
    { "a line that does not match dropped", { "", "", "^ok (\\w+)", "Drop" }, { L"ERR\r\nok B\r\n" }, L"B", "" },
    { "whole scans as repeats", { "", "", "", "", "1" }, { L"A\r", L"A\r", L"B\r", L"A\r" }, L"A\rB\rA\r", "" },
    { "key names in any case and braces", { "{{x}}{esc}{Backspace}" }, { L"1" }, L"{x}\x1B\b1", "" },
    { "an unknown key name: the prefix is off", { "{F1}x", "{TAB}" }, { L"1" }, L"1\t", "{F1}" },
    { "a single closing brace", { "", "a}" }, { L"1" }, L"1", "a single }" },
    { "an invalid pattern: as without one", { "", "", "(\\d+" }, { L"7\r" }, L"7\r", "Pattern: it is not a valid" },
    { "a key delay", { "", "", "", "", "", "100" }, { L"1" }, L"1", "" },
    { "a key delay beyond 100", { "", "", "", "", "", "101" }, { L"1" }, L"1", "Key delay" },
    { "a key delay not a number", { "", "", "", "", "", "-1" }, { L"1" }, L"1", "Key delay" },
    { "searches that give up count as not matching", { "", "", "(?:a|aa)*c" },
      { std::wstring(40, L'a') + L"\r\n" + kLong + L"\r\nc" }, L"c", "" },
};

} // namespace

TEST(ScanRules, EachRowTypesWhatItsRulesMakeOfItsScans)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        CScanRules rules;
        std::string reason = (LPCSTR)rules.Compile(c.texts);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.empty(), *c.reason == '\0') << reason;
        std::wstring typed, lastValue;
        for (const std::wstring& scan : c.scans)
            typed += rules.Apply(scan, lastValue);
        EXPECT_EQ(typed, c.typed);
    }
}

TEST(ScanRules, WhatIsReceivedAndWhatIsTypedAreShownReadably)
{
    EXPECT_EQ(ShowReceived(L"ST\x02\t\r\n"), L"ST<02><TAB><CR><LF>");
    EXPECT_EQ(ShowKeys(L"1.23\r{\n\x1B"), L"1.23{ENTER}{{{ESC}");
}
