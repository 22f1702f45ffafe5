// The real program under the Japanese or the Chinese ANSI code page: a scan
// in that code page arrives as its characters. Wine takes a process's code
// page from LC_ALL where that locale is not installed, and hands it on to the
// programs the process starts (not from the environment it gives them), so
// ctest runs this once under each.
#include <gtest/gtest.h>
#include <algorithm>
#include <cwchar>
#include <iterator>
#include "../monitor/ReceivedData.h"
#include "../res/resource.h"
#include "support/KeySink.h"
#include "support/Program.h"
#include "support/Store.h"
#include "support/VirtualLine.h"

TEST(CodePage, AScanInTheAnsiCodePageArrivesAsItsCharactersAlsoWhenAReadCutsOne)
{
    const struct { UINT nCodePage; const char* pszBytes; const wchar_t* pszText; } scans[] = {
        { 932, "\x93\xFA\x96\x7B-A1\r", L"\u65E5\u672C-A1\r" },
        { 936, "\xD6\xD0\xCE\xC4-B2\r", L"\u4E2D\u6587-B2\r" },
    };
    auto scan = std::find_if(std::begin(scans), std::end(scans), [](auto& s) { return s.nCodePage == GetACP(); });
    ASSERT_NE(scan, std::end(scans)) << "code page " << GetACP() << ": run with LC_ALL=ja_JP.UTF-8 or zh_CN.UTF-8";
    Store::Clear();
    Program p;
    KeySink sink;
    p.Click(IDC_BTN_OPENCLOSE);
    ASSERT_EQ(p.Text(IDC_BTN_OPENCLOSE), "&Close Port");
    sink.Activate();
    size_t nChars = wcslen(scan->pszText);

    VirtualLine::Send("COM1", scan->pszBytes);
    sink.WaitForChars(nChars, 10000);
    sink.Pump(700);
    EXPECT_EQ(sink.text, scan->pszText);

    // A poll may come between the lead byte and its trail.
    sink.text.clear();
    std::string bytes = scan->pszBytes;
    VirtualLine::Send("COM1", bytes.substr(0, 1));
    sink.Pump(200);
    VirtualLine::Send("COM1", bytes.substr(1));
    sink.WaitForChars(nChars, 10000);
    sink.Pump(700);
    EXPECT_EQ(sink.text, scan->pszText);
    Store::Clear();
}

// The Received Data window's text of the bytes: a frame's controls by name,
// the others and what the code page cannot decode by code, each character
// whole; and 2,000 entries at most, whatever arrives.
TEST(CodePage, ReceivedBytesShowTheirControlsByNameAndWhatCannotBeDecodedByCode)
{
    EXPECT_EQ(BytesText(std::string("\x02" "A\0\x1D\x1B\x09\x7F\r\n\x03", 10), 1252),
              L"<STX>A<NUL><GS><ESC><x09><x7F><CR><LF><ETX>");
    EXPECT_EQ(BytesText("\xB1" "0\x81", 1252), L"\u00B1" L"0<x81>");   // 7E1's parity bit read as 8N1
    EXPECT_EQ(BytesText("\x93\xFA" "A\x93", 932), L"\u65E5" L"A<x93>");
    EXPECT_EQ(BytesText("\xE2\x82\xAC\xFF", CP_UTF8), L"\u20AC<xFF>");
    EXPECT_EQ(BytesHex("\x02" "1\r"), L"02 31 0D");

    CReceivedData received;
    std::string flood(100000, '\0');
    for (size_t i = 0; i < 3000; i++)
        received.BytesRead(flood.data(), i % 2 ? flood.size() : 1);
    received.AddScan(L"1{ENTER}", "typed");
    ULONGLONG nFrom = 2999;
    std::vector<ReceivedEntry> entries = received.Since(nFrom);
    EXPECT_EQ(nFrom, 3001u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(EntryText(entries[1], false).substr(12), L"\t\tscan\t1{ENTER} -> typed");
    nFrom = 0;
    EXPECT_EQ(received.Since(nFrom).size(), CReceivedData::kMaxEntries);
}
