// The scan rules over text: what each scan of a row types under the row's
// rules, and why a text that does not hold is refused.
#include <gtest/gtest.h>
#include <iostream>
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

// Lines of the longest scan: one that backtracks without end, one a scale's
// value ends.
const std::wstring kEndless = std::wstring(4096, L'a') + L"\r\n";
const std::wstring kLongWeight = L"ST,GS,+" + std::wstring(4083, L'0') + L"1.23kg";
const std::string kDeep = std::string(1000, '(') + std::string(1000, ')');

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
      { std::wstring(254, L'a') + L"\r\n" + kEndless + L"c" }, L"c", "" },
    { "a quadratic search over 1000 characters", { "", "", "((a|b)*c)" }, { std::wstring(998, L'a') + L"xc" },
      L"c", "" },
    { "the scale's pattern over 4096 characters", { "", "", "^ST,GS,[+-]0*(\\d+\\.\\d+)kg$" }, { kLongWeight },
      L"1.23", "" },
    { "Perl: inline flags, lookbehind, named groups", { "", "", "(?i)(?<=id:)(?<n>\\d+)" }, { L"ID:4711" }, L"4711",
      "" },
    { "ECMAScript's \\u escapes", { "", "", "(\\d+\\u00B5g|\\\\u00B5)" }, { L"12\u00B5g\r\\u00B5" },
      L"12\u00B5g\\u00B5", "" },
    { "groups nested beyond the library's depth", { "", "", kDeep.c_str() }, { L"1" }, L"1", "Pattern: it is not" },
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
        std::wstring typed;
        RepeatMemory memory;
        for (const std::wstring& scan : c.scans)
            typed += rules.Apply(scan, memory, 0);
        EXPECT_EQ(typed, c.typed);
    }
}

TEST(ScanRules, WhatIsReceivedAndWhatIsTypedAreShownReadably)
{
    EXPECT_EQ(ShowReceived(L"ST\x02\t\r\n"), L"ST<02><TAB><CR><LF>");
    EXPECT_EQ(ShowKeys(L"1.23\r{\n\x1B"), L"1.23{ENTER}{{{ESC}");
}

// Figures, not checks: how long a line that backtracks without end holds the window.
TEST(ScanRules, HowLongASearchTakesToGiveUp)
{
    CScanRules rules;
    ASSERT_EQ(std::string(rules.Compile({ "", "", "(a|aa)*c" })), "");
    for (size_t nLength : { 254, 4096 }) {
        RepeatMemory memory;
        ULONGLONG nStart = GetTickCount64();
        EXPECT_EQ(rules.Apply(std::wstring(nLength, L'a'), memory, 0), L"");
        std::cout << nLength << " characters: gave up after " << GetTickCount64() - nStart << " ms\n";
    }
}
