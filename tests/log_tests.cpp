// The log of scans on its own: its fields, its paths, and its lines kept in
// order while another program holds the file.
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include "../log/ScanLog.h"
#include "../rules/ScanRules.h"

namespace {

std::wstring TempFolder(const wchar_t* pszName)
{
    wchar_t szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    return std::wstring(szTemp) + pszName;
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    return all.str();
}

std::string Today()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring date = DateText(now);
    return std::string(date.begin(), date.end());
}

} // namespace

// Commas, quotes and line ends are quoted, never split; what a spreadsheet
// would take for a formula is text, and a signed weight stays a number.
TEST(ScanLogFields, AreQuotedAndNeverAFormula)
{
    EXPECT_EQ(CsvField(L"12,5 kg"), "\"12,5 kg\"");
    EXPECT_EQ(CsvField(L"a \"b\"\r\nc"), "\"a \"\"b\"\"\r\nc\"");
    EXPECT_EQ(CsvField(L"=HYPERLINK(\"http://x\",\"y\")"), "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"");
    EXPECT_EQ(CsvField(L"@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(CsvField(L"\tx"), "\"'\tx\"");
    EXPECT_EQ(CsvField(L"X;=HYPERLINK(1)"), "\"X;=HYPERLINK(1)\"");   // one cell, however a reader splits
    EXPECT_EQ(CsvField(L"a|b", '|'), "\"a|b\"");
    EXPECT_EQ(CsvField(L"-"), "'-");
    EXPECT_EQ(CsvField(L"-1.23"), "-1.23");
    EXPECT_EQ(CsvField(L"+5"), "+5");
    EXPECT_EQ(CsvField(L"Gr\u00FC\u00DFe"), "Gr\xC3\xBC\xC3\x9F" "e");
}

TEST(ScanLogFields, APathThatCanNeverBeAFileIsRefusedWithItsReason)
{
    EXPECT_NE(std::string(LogFileFault("scans.csv")).find("full path"), std::string::npos);
    EXPECT_NE(std::string(LogFileFault("C:\\Scans\\what?.csv")).find("character"), std::string::npos);
    EXPECT_NE(std::string(LogFileFault("C:\\Scans\\con.csv")).find("device"), std::string::npos);
    EXPECT_EQ(std::string(LogFileFault("\\\\server\\share\\scans-{date}.csv")), "");   // a share gone for now
}

// Lines that wait while another program holds the file all come, in order,
// once it lets go; those past the limit are counted in the file instead.
TEST(ScanLogFile, HeldByAnotherProgramKeepsEveryLineInOrderAndCountsThoseGivenUp)
{
    std::wstring folder = TempFolder(L"scanlog-held");
    std::wstring path = folder + L"\\sub\\scale-" + std::wstring(L"{DATE}") + L".csv";
    std::wstring file = folder + L"\\sub\\scale-" + DateText([] { SYSTEMTIME t; GetLocalTime(&t); return t; }()) + L".csv";
    DeleteFileW(file.c_str());
    CScanLog log;
    ASSERT_EQ(std::string(log.Take(CString(path))), "");   // the folders are made
    log.SetSource("", "COM 1");
    log.Add(L"1{ENTER}", "typed");
    log.Flush();

    HANDLE hHeld = CreateFileW(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    for (size_t i = 2; i <= CScanLog::kMaxWaiting + 3; i++)
        log.Add(std::to_wstring(i), "typed");
    log.Flush();
    EXPECT_TRUE(log.IsWaiting());
    EXPECT_NE(std::string(log.TakeNotice()), "");
    EXPECT_EQ(std::string(log.TakeNotice()), "");   // once
    CloseHandle(hHeld);
    log.Flush();
    EXPECT_FALSE(log.IsWaiting());

    std::istringstream lines(ReadAll(file));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "\xEF\xBB\xBF" "Date,Time,Device,Port,Value,Result\r");
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 11), Today() + ",");
    EXPECT_EQ(line.substr(19), ",,COM 1,1{ENTER},typed\r");
    std::getline(lines, line);
    EXPECT_NE(line.find(",,COM 1,,2 lines given up"), std::string::npos) << line;
    size_t nExpected = 4, nLines = 0;   // 2 and 3 were given up
    while (std::getline(lines, line) && line.find(",,COM 1," + std::to_string(nExpected) + ",typed\r") != std::string::npos) {
        nExpected++;
        nLines++;
    }
    EXPECT_EQ(nLines, CScanLog::kMaxWaiting);
    EXPECT_TRUE(lines.eof());

    // Still held as the program ends: the lines go beside the file, and the
    // report says where.
    hHeld = CreateFileW(file.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    log.Add(L"last", "not typed: the program ended");
    std::string report(log.Close());
    CloseHandle(hHeld);
    size_t at = report.find("; they are in ");
    ASSERT_NE(at, std::string::npos) << report;
    std::wstring unsaved = CString(report.substr(at + 14).c_str()).Wide();
    EXPECT_EQ(unsaved.substr(0, unsaved.size() - 8), file.substr(0, file.size() - 4) + L".unsaved-");
    EXPECT_NE(ReadAll(unsaved).find(",,COM 1,last,not typed: the program ended\r\n"), std::string::npos);
}
