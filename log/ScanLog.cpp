#include "ScanLog.h"
#include "../fw/MessageBox.h"
#include "../rules/ScanRules.h"
#include <algorithm>
#include <cctype>
#include <cwctype>

namespace {

const char* const kColumns[] = { "Date", "Time", "Device", "Port", "Value", "Result" };

// A file open for one flush, closed however the flush ends.
struct OpenedFile {
    HANDLE hFile;
    ~OpenedFile()
    {
        if (hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(hFile);
    }
};

std::string Utf8(const std::wstring& text)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string utf8((size_t)n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &utf8[0], n, NULL, NULL);
    return utf8;
}

// The path with {DATE} (in any case) as the rules type it.
std::wstring DatedPath(const std::wstring& path, const SYSTEMTIME& now)
{
    std::wstring upper = path, dated = path;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return (wchar_t)std::towupper(c); });
    for (size_t at = upper.rfind(L"{DATE}"); at != std::wstring::npos; at = at ? upper.rfind(L"{DATE}", at - 1) : std::wstring::npos)
        dated.replace(at, 6, DateText(now));
    return dated;
}

// Where the path's folders begin: after X:\ or \\server\share\; npos for a
// path that is not a full one.
size_t RootLength(const std::wstring& path)
{
    if (path.size() > 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\')
        return 3;
    if (path.compare(0, 2, L"\\\\") != 0)
        return std::wstring::npos;
    size_t share = path.find(L'\\', 2);
    size_t end = share == std::wstring::npos || share == 2 ? std::wstring::npos : path.find(L'\\', share + 1);
    return end == std::wstring::npos || end == share + 1 ? std::wstring::npos : end + 1;
}

// Why Windows refuses a folder's or file's name; empty where it takes it.
CString NameFault(const std::wstring& name)
{
    if (name.empty())
        return "it has an empty name between two backslashes.";
    if (name.find_first_of(L"<>:\"|?*/") != std::wstring::npos ||
        std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 32; }))
        return "a name in it holds a character Windows refuses: < > : \" | ? * / or a control character.";
    if (name.back() == L'.' || name.back() == L' ')
        return "a name in it ends in a dot or a space, which Windows drops.";
    std::wstring base = name.substr(0, name.find(L'.'));
    std::transform(base.begin(), base.end(), base.begin(), [](wchar_t c) { return (wchar_t)std::towupper(c); });
    static const wchar_t* const kDevices[] = { L"CON", L"PRN", L"AUX", L"NUL" };
    bool bDevice = std::any_of(std::begin(kDevices), std::end(kDevices), [&](const wchar_t* d) { return base == d; }) ||
                   (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
                    base[3] >= L'1' && base[3] <= L'9');
    return bDevice ? "a name in it is a device's (CON, PRN, AUX, NUL, COM1, LPT1 ...), not a file's." : "";
}

// A share or a drive that is not there now may be back later.
bool IsGoneForNow(DWORD dwError)
{
    static const DWORD kGone[] = { ERROR_NOT_READY, ERROR_BAD_NETPATH, ERROR_NETNAME_DELETED, ERROR_BAD_NET_NAME,
                                   ERROR_UNEXP_NET_ERR, ERROR_DEV_NOT_EXIST, ERROR_NETWORK_UNREACHABLE,
                                   ERROR_NO_NET_OR_BAD_PATH };
    return std::find(std::begin(kGone), std::end(kGone), dwError) != std::end(kGone);
}

// Makes the file's folder and those above it that are missing; false with
// the error of the one refused.
bool MakeFolders(const std::wstring& path)
{
    for (size_t at = path.find(L'\\', RootLength(path)); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        if (!::CreateDirectoryW(path.substr(0, at).c_str(), NULL) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

bool IsPlainNumber(const std::wstring& text)
{
    size_t at = text.find_first_not_of(L"+-") == 1 ? 1 : 0;
    size_t point = text.find(L'.', at);
    auto digits = [&](size_t from, size_t to) {
        return to > from && std::all_of(text.begin() + from, text.begin() + to, [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    return point == std::wstring::npos ? digits(at, text.size()) : digits(at, point) && digits(point + 1, text.size());
}

} // namespace

CString LogFileFault(const CString& strPath)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    std::wstring path = DatedPath(strPath.Wide(), now);
    size_t root = RootLength(path);
    if (root == std::wstring::npos)
        return "it must be a full path, such as C:\\Scans\\scans.csv or \\\\server\\share\\scans.csv.";
    for (size_t start = root, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find(L'\\', start), path.size());
        CString strFault = NameFault(path.substr(start, end - start));
        if (!strFault.IsEmpty())
            return strFault;
    }
    if (!MakeFolders(path) && !IsGoneForNow(::GetLastError())) {
        CString strFault = "its folder cannot be made: ";
        return strFault += SystemErrorText(::GetLastError());
    }
    return "";
}

std::string CsvField(const std::wstring& text, char chSeparator)
{
    std::wstring field = text;
    if (!field.empty() && std::wstring(L"=+-@\t\r").find(field[0]) != std::wstring::npos && !IsPlainNumber(field))
        field.insert(0, 1, L'\'');
    // Whichever of , and ; a reader splits by, the field stays one.
    if (field.find_first_of(L",;\t\"\r\n") == std::wstring::npos && field.find((wchar_t)chSeparator) == std::wstring::npos)
        return Utf8(field);
    std::wstring quoted = L"\"";
    for (wchar_t c : field)
        quoted += c == L'"' ? L"\"\"" : std::wstring(1, c);
    return Utf8(quoted + L"\"");
}

bool LogSeparator(const CString& strSetting, char& chSeparator)
{
    if (strSetting == "," || strSetting == ";") {
        chSeparator = strSetting[0];
        return true;
    }
    char szList[4] = "";
    int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, szList, sizeof szList);
    bool bUsable = n == 2 && std::ispunct((unsigned char)szList[0]) && szList[0] != '"' && szList[0] != '\'';
    chSeparator = bUsable ? szList[0] : ',';
    return strSetting.IsEmpty();
}

CScanLog::~CScanLog()
{
    Close();
}

CString CScanLog::Take(const CString& strPath)
{
    m_path.clear();
    CString strFault = strPath.IsEmpty() ? CString() : LogFileFault(strPath);
    if (strFault.IsEmpty())
        m_path = strPath.Wide();
    return strFault;
}

void CScanLog::SetSource(const CString& strDevice, const CString& strPort, char chSeparator)
{
    m_device = strDevice.Wide();
    m_port = strPort.Wide();
    m_chSeparator = chSeparator;
}

std::string CScanLog::Format(const std::wstring& value, const std::wstring& result, std::wstring& path) const
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    path = DatedPath(m_path, now);
    std::string line;
    for (const std::wstring& field : { DateText(now), TimeText(now), m_device, m_port, value, result })
        (line += line.empty() ? "" : std::string(1, m_chSeparator)) += CsvField(field, m_chSeparator);
    return line + "\r\n";
}

void CScanLog::Add(const std::wstring& value, const CString& strResult)
{
    if (!IsOn())
        return;
    Line line;
    line.bytes = Format(value, strResult.Wide(), line.path);
    m_waiting.push_back(line);
    if (m_waiting.size() > kMaxWaiting) {
        m_waiting.pop_front();
        m_nGivenUp++;
    }
}

HANDLE CScanLog::OpenFile(const std::wstring& path)
{
    // Others may read the file meanwhile, not write it; it is closed after
    // each write, so that a spreadsheet may open it between scans.
    auto open = [&] {
        return ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    };
    HANDLE hFile = open();
    if (hFile == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_PATH_NOT_FOUND && MakeFolders(path))
        hFile = open();
    if (hFile == INVALID_HANDLE_VALUE)
        return hFile;
    std::string header = "\xEF\xBB\xBF";
    for (const char* pszColumn : kColumns)
        (header += header.size() > 3 ? std::string(1, m_chSeparator) : "") += pszColumn;
    header += "\r\n";
    LARGE_INTEGER size = {};
    DWORD dwWritten = 0;
    if (!::GetFileSizeEx(hFile, &size) ||
        (size.QuadPart == 0 && (!::WriteFile(hFile, header.data(), (DWORD)header.size(), &dwWritten, NULL) ||
                                dwWritten != header.size()))) {
        DWORD dwError = ::GetLastError();
        ::CloseHandle(hFile);
        ::SetLastError(dwError != ERROR_SUCCESS ? dwError : ERROR_DISK_FULL);   // a short write: no room
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}

void CScanLog::Flush()
{
    while (!m_waiting.empty()) {
        std::wstring path = m_waiting.front().path;
        OpenedFile file = { OpenFile(path) };
        if (file.hFile == INVALID_HANDLE_VALUE) {
            Wait(SystemErrorText(::GetLastError()));
            return;
        }
        if (m_nGivenUp != 0) {
            // Where the lines given up were: before the oldest still waiting, in its file.
            CString strResult;
            strResult.Format("%u lines given up: the log could not be written for too long", (unsigned)m_nGivenUp);
            std::wstring today;
            m_waiting.push_front({ path, Format(L"", strResult.Wide(), today) });
            m_nGivenUp = 0;
        }
        DWORD dwError = WriteWaiting(file.hFile, path);
        if (dwError != ERROR_SUCCESS) {
            Wait(SystemErrorText(dwError));
            return;
        }
    }
    m_bFailing = false;
}

DWORD CScanLog::WriteWaiting(HANDLE hFile, const std::wstring& path)
{
    DWORD dwError = ERROR_SUCCESS;
    while (!m_waiting.empty() && m_waiting.front().path == path && dwError == ERROR_SUCCESS) {
        std::string& bytes = m_waiting.front().bytes;
        DWORD dwWritten = 0;
        if (!::WriteFile(hFile, bytes.data(), (DWORD)bytes.size(), &dwWritten, NULL))
            dwError = ::GetLastError();
        else if (dwWritten < bytes.size())
            dwError = ERROR_DISK_FULL;
        // What went out stays out: the rest of a line follows it later.
        bytes.erase(0, dwWritten);
        if (bytes.empty())
            m_waiting.pop_front();
    }
    return dwError;
}

CString CScanLog::Close()
{
    Flush();
    CString strReport;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString strTime;
    strTime.Format("%02u%02u", now.wHour, now.wMinute);
    while (!m_waiting.empty()) {
        std::wstring path = m_waiting.front().path;
        size_t nLines = std::count_if(m_waiting.begin(), m_waiting.end(), [&](const Line& l) { return l.path == path; });
        // Beside the file, where it is most likely looked for.
        size_t dot = path.rfind(L'.');
        if (dot == std::wstring::npos || dot < path.rfind(L'\\'))
            dot = path.size();
        std::wstring unsaved = path.substr(0, dot) + L".unsaved-" + strTime.Wide() + path.substr(dot);
        OpenedFile file = { OpenFile(unsaved) };
        DWORD dwError = file.hFile == INVALID_HANDLE_VALUE ? ::GetLastError() : WriteWaiting(file.hFile, path);
        CString strLines;
        strLines.Format("%u log lines could not be written to %s; ", (unsigned)nLines, (LPCSTR)CString(path));
        strReport += strLines;
        if (dwError == ERROR_SUCCESS) {
            strReport += "they are in ";
            strReport += CString(unsaved);
        } else {
            strReport += "they are lost: ";
            strReport += SystemErrorText(dwError);
            m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(), [&](const Line& l) { return l.path == path; }),
                            m_waiting.end());
        }
        strReport += " ";
    }
    strReport.Trim();
    return strReport;
}

void CScanLog::Wait(const CString& strWhy)
{
    if (m_bFailing)
        return;
    m_bFailing = true;
    m_strNotice = "The log cannot be written now; its lines wait. ";
    m_strNotice += strWhy;
}

CString CScanLog::TakeNotice()
{
    CString strNotice = m_strNotice;
    m_strNotice.Empty();
    return strNotice;
}
