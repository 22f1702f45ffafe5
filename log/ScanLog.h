// The log of every value a scan gave, typed or not: one CSV line each,
// appended to a file that Excel opens (UTF-8 with a byte order mark, fields
// quoted as RFC 4180 says, separated as the user's Excel splits them), one
// file a day where the path holds {DATE}. Lines wait in memory, in order,
// until a Flush writes them, and while the file does not take them (held
// open by another program, a full disk, a share gone).
#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include "../fw/String.h"

// Why the path can never be a log file: not a full path, a name Windows
// refuses, a folder that cannot be made (which is made here). Empty where it
// can be; a share that is gone for now counts as one that can.
CString LogFileFault(const CString& strPath);

// A field of a line: quoted where it holds a comma, a semicolon, a tab, a
// quote, a line end or the separator, and never a formula: one that starts as
// a formula does and is not a plain number gets a leading apostrophe, so that
// a spreadsheet shows it as text.
std::string CsvField(const std::wstring& text, char chSeparator = ',');

// The separator the setting names: "," or ";", or where it is empty the
// list separator of the user's region settings, which Excel splits by (","
// where that is none a CSV file can have). False for any other setting,
// which gets the list separator too.
bool LogSeparator(const CString& strSetting, char& chSeparator);

class CScanLog {
public:
    // Lines that wait at most; past them the oldest are given up.
    static constexpr size_t kMaxWaiting = 10000;

    CScanLog() = default;
    ~CScanLog();
    CScanLog(const CScanLog&) = delete;
    CScanLog& operator=(const CScanLog&) = delete;

    // Takes the path, empty for no log. Returns why it can never be a log
    // file; the log is then off. Lines still waiting go on to their files.
    CString Take(const CString& strPath);
    bool IsOn() const { return !m_path.empty(); }
    // The Device and Port columns of the lines from now on, and the separator.
    void SetSource(const CString& strDevice, const CString& strPort, char chSeparator = ',');
    // One line: the value (its keys by name) and what became of it, stamped
    // now; it waits for the next Flush.
    void Add(const std::wstring& value, const CString& strResult);
    // Writes the waiting lines; the count given up first, where lines were.
    void Flush();
    // A last Flush as the program ends; what the file still does not take is
    // written beside it (scans-2026-12-09.unsaved-1405.csv). Says where the
    // lines went, or that they were lost; empty where all were written.
    CString Close();
    bool IsWaiting() const { return !m_waiting.empty(); }
    // Why lines wait, once each time the file stops taking them; else empty.
    CString TakeNotice();

private:
    struct Line {
        std::wstring path;   // the file of the line's own day
        std::string bytes;   // what of it is still to be written
    };
    // The file the day's lines go to, the folder made where it is missing, its
    // header written where it is new; INVALID_HANDLE_VALUE with the error set.
    HANDLE OpenFile(const std::wstring& path);
    // A line of the columns, stamped now.
    std::string Format(const std::wstring& value, const std::wstring& result, std::wstring& path) const;
    // Writes the waiting lines of the path's day into the file, as far as it
    // takes them; the error where it stopped taking them.
    DWORD WriteWaiting(HANDLE hFile, const std::wstring& path);
    void Wait(const CString& strWhy);

    std::wstring m_path;   // with {DATE} where the user wrote it
    std::wstring m_device;
    std::wstring m_port;
    char m_chSeparator = ',';
    std::deque<Line> m_waiting;
    size_t m_nGivenUp = 0;
    bool m_bFailing = false;   // the file refused the latest write
    CString m_strNotice;
};
