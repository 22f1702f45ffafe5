// The scan rules over text: what each scan of a row types under the row's
// rules, and why a text that does not hold is refused.
#include <gtest/gtest.h>
#include <iostream>
#include "../rules/DevicePresets.h"
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

// Lines as devices send them (the manuals of the presets), with the time
// each arrives, under a preset or under rules of their own.
struct DeviceCase {
    const char* what;
    const char* preset;   // or nullptr: the rules
    RuleSettings rules;   // prefix, suffix, pattern, no match, skip repeats, key delay, at once, output, replace...
    std::vector<std::pair<ULONGLONG, std::wstring>> arrivals;
    std::wstring typed;
    const char* reason;
};

const DeviceCase kDeviceCases[] = {
    { "MT-SICS: stable, not zero; a weight held is typed once, again when put on again later",
      "Scale: Mettler Toledo MT-SICS", {},
      { { 0, L"S D     100.02 g\r\nS S     100.00 g\r\n" }, { 1500, L"S S     100.00 g\r\n" },
        { 3000, L"S S     100.00 g\r\nS S       0.00 g\r\n" }, { 6000, L"S S     100.00 g\r\nS S    -12.5 kg\r\n" } },
      L"100.00\r100.00\r-12.5\r", "" },
    { "SBI: no unit while unstable; the 22-character format", "Scale: Sartorius SBI", {},
      { { 0, L"+    123.46     \r\n+    123.45 g  \r\nN     -      7.5 kg \r\n" } }, L"123.45\r-7.5\r", "" },
    { "A&D: ST only; an indicator's GS", "Scale: A&D (ST,+00123.45  g)", {},
      { { 0, L"US,+00123.47  g\r\nST,+00123.45  g\r\nOL,+9999999E+9\r\nST,+00000.00  g\r\nST,GS,-0001.23kg\r\n" } },
      L"123.45\r-1.23\r", "" },
    { "Toledo: two implied decimals, in motion left out", "Scale: Toledo continuous output, two decimals", {},
      { { 0, L"\x02" L"48 001234000000\r\x02" L"40 001234000000\r\x02" L"40 000005000000\r" } }, L"12.34\r0.05\r", "" },
    { "GS1 DataMatrix: its GS as Tab", "Barcode: GS1, GS as Tab", {},
      { { 0, L"]d20109501101530003\x1D" L"17140704\x1D" L"10AB-123\r\n" } }, L"0109501101530003\t17140704\t10AB-123\r",
      "" },
    { "a GS1 code of 4096 characters", "Barcode: GS1, GS as Tab", {},
      { { 0, L"]C110" + std::wstring(2045, L'A') + L"\x1D" L"21" + std::wstring(2043, L'B') } },
      L"10" + std::wstring(2045, L'A') + L"\t21" + std::wstring(2043, L'B') + L"\r", "" },
    { "EM4100 frames without line ends, in decimal; a card shown again later", "RFID: 125 kHz card number in decimal",
      {}, { { 0, L"\x02" L"3C0012D6877F\x03\x02" L"3C0012D6877F\x03" }, { 2000, L"\x02" L"3C0012D6877F\x03" },
            { 9000, L"\x02" L"3C0012D6877F\x03" } }, L"0001234567\r0001234567\r", "" },
    { "a Wiegand 26-bit card", "RFID: Wiegand 26-bit converter", {}, { { 0, L"1A2B3C\r\n" } }, L"02611068\r", "" },
    { "NMEA: a fix typed, none left out", "GPS: NMEA position", {},
      { { 0, L"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
             L"$GPGGA,123520,,,,,0,00,,,M,,M,,*66\r\n" } }, L"4807.038 N\t01131.000 E\r", "" },
    { "a group that took no part types nothing; $$", nullptr, { "", "", "(\\d+)(x)?", "", "", "", "", "$$$1[$2]{tab}" },
      { { 0, L"12" } }, L"$12[]\t", "" },
    { "{DEC} of 16 digits; of text not hexadecimal, or longer, as it came", nullptr,
      { "", "", "^(\\S+)$", "", "", "", "", "{DEC:$1:4}," }, { { 0, L"FF\rFFFFFFFFFFFFFFFF\rXYZ\r11111111111111111" } },
      L"0255,18446744073709551615,XYZ,11111111111111111,", "" },
    { "without a pattern the whole scan is replaced, with the match's groups; never the prefix", nullptr,
      { ".", "", "", "", "", "", "", "", "(\\d+)\\.(\\d+)", "$1,$2" }, { { 0, L"W 1.23 kg\r" } }, L".W 1,23 kg\r", "" },
    { "a replace cut at 4096 characters", nullptr, { "", "", "", "", "", "", "", "", "a", "aa" },
      { { 0, std::wstring(3000, L'a') } }, std::wstring(4096, L'a'), "" },
    { "a group the pattern does not have: the output is off", nullptr, { "", "", "^(\\d+)", "", "", "", "", "$2" },
      { { 0, L"7" } }, L"7", "Output: there is no group $2: the pattern has 1." },
    { "a replace with a group its pattern lacks: the replace is off", nullptr,
      { "", "", "", "", "", "", "", "", "\\.", "$1" }, { { 0, L"1.2" } }, L"1.2",
      "Replace with: there is no group $1" },
    { "A&D: the comparator's header", "Scale: A&D (ST,+00123.45  g)", {},
      { { 0, L"ST,OK,+00012.50  g\r\nST,HI,-00001.00  g\r\n" } }, L"12.50\r-1.00\r", "" },
    { "SBI: a code of six characters, the sign straight after it", "Scale: Sartorius SBI", {},
      { { 0, L"Diff.1-     7.50 g  \r\n" } }, L"-7.50\r", "" },
    { "Toledo: a checksum before the next STX; a weight expanded tenfold left out",
      "Scale: Toledo continuous output, two decimals", {},
      { { 0, L"\x02" L"40 001234000000\r[\x02" L"40 004321000000\r\x02" L"400001111000000\r" } }, L"12.34\r43.21\r",
      "" },
    { "GS1: EAN's and DotCode's identifiers", "Barcode: GS1, GS as Tab", {},
      { { 0, L"]E04006381333931\r]J10109501101530003\r" } }, L"4006381333931\r0109501101530003\r", "" },
    { "NMEA: GLONASS's fix; an estimated one left out", "GPS: NMEA position", {},
      { { 0, L"$GLGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
             L"$GNGGA,123520,4808.000,N,01131.000,E,6,08,0.9,545.4,M,46.9,M,,*47\r\n" } },
      L"4807.038 N\t01131.000 E\r", "" },
    { "MT-SICS asked: SI's dynamic weight left out", "Scale: Mettler Toledo MT-SICS, asked (SI)", {},
      { { 0, L"S D     100.02 g\r\nS S     100.00 g\r\n" } }, L"100.00\r", "" },
    { "Sartorius asked", "Scale: Sartorius SBI, asked (Esc P)", {}, { { 0, L"+    250.10 g  \r\n" } }, L"250.10\r", "" },
    { "A&D asked", "Scale: A&D, asked (Q)", {}, { { 0, L"ST,+00012.34  g\r\n" } }, L"12.34\r", "" },
    { "NCI asked: the weight's line, not its status", "Scale: NCI protocol, asked (W)", {},
      { { 0, L"\n0001.23lb\r\n00\r\x03\n-000.50kg\r\n00\r\x03" } }, L"1.23\r-0.50\r", "" },
    { "Toledo 8213 asked: in motion a status instead", "Scale: Toledo 8213/8217, asked (W)", {},
      { { 0, L"\x02" L"012.50\r\x02?B\r" } }, L"12.50\r", "" },
    { "$ ends a frame before its ETX", nullptr, { "", "{ENTER}", "^\\x02(\\d+)$" }, { { 0, L"\x02" L"123\x03\x02" L"45\x03" } },
      L"123\r45\r", "" },
    { "a repeat window of 0 seconds: off, and skipping repeats with it", nullptr,
      { "", "", "", "", "1", "", "", "", "", "", "0" }, { { 0, L"7" }, { 99000, L"7" } }, L"77",
      "Repeats within: it must be a whole number of seconds from 1 to 86400; repeats are not skipped." },
};

} // namespace

TEST(ScanRules, DevicesLinesTypeWhatTheirPresetOrRulesMakeOfThem)
{
    for (const DeviceCase& c : kDeviceCases) {
        SCOPED_TRACE(c.what);
        RuleSettings texts = c.rules;
        for (const DevicePreset& preset : kDevicePresets) {
            if (c.preset && std::string(preset.pszName) == c.preset)
                FillFromPreset(preset, texts);
        }
        ASSERT_TRUE(!c.preset || texts.m_strPattern != "");
        CScanRules rules;
        std::string reason = (LPCSTR)rules.Compile(texts);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.empty(), *c.reason == '\0') << reason;
        std::wstring typed;
        RepeatMemory memory;
        for (const auto& arrival : c.arrivals)
            typed += rules.Apply(arrival.second, memory, arrival.first);
        EXPECT_EQ(typed, c.typed);
    }
}

TEST(ScanRules, DateAndTimeAreTheLocalOnesAndRepeatsAreComparedWithoutThem)
{
    CScanRules rules;
    ASSERT_EQ(std::string(rules.Compile({ "", "", "", "", "1", "", "", "{DATE} {TIME}" })), "");
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t date[16];
    swprintf(date, 16, L"%04u-%02u-%02u ", t.wYear, t.wMonth, t.wDay);
    RepeatMemory memory;
    std::wstring typed = rules.Apply(L"7", memory, 0);
    EXPECT_EQ(typed.substr(0, 11), date);
    EXPECT_EQ(typed.size(), 19u);
    EXPECT_EQ(rules.Apply(L"7", memory, 1), L"");
}

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

TEST(ScanRules, CommandsAreTheirCharactersAndTheEscapesOfPatterns)
{
    std::string bytes;
    CString strReason;
    EXPECT_TRUE(ParseCommand("\\eP\\r\\n S\\tI\\x02\\xfF\\\\x", bytes, strReason));
    EXPECT_EQ(bytes, "\x1BP\r\n S\tI\x02\xFF\\x");
    for (const char* refused : { "SI\\", "\\q", "\\x4", "\\xG1", "\\R" }) {
        EXPECT_FALSE(ParseCommand(refused, bytes, strReason)) << refused;
        EXPECT_NE(std::string(strReason).find("\\"), std::string::npos) << refused;
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
