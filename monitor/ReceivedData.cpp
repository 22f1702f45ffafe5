#include "ReceivedData.h"

namespace {

// The control characters a device's frames use, by their usual names.
const struct { char ch; LPCWSTR pszName; } kControlNames[] = {
    { '\0', L"NUL" }, { '\x02', L"STX" }, { '\x03', L"ETX" }, { '\r', L"CR" },
    { '\n', L"LF" },  { '\x1B', L"ESC" }, { '\x1D', L"GS" },
};

std::wstring ByteCode(unsigned char by)
{
    wchar_t code[8];
    swprintf(code, 8, L"<x%02X>", by);
    return code;
}

bool IsControl(wchar_t wch)
{
    return wch < 32 || (wch >= 127 && wch < 160);
}

// How many bytes from p make one character in the code page, decoded into
// wch; 0 where none does.
int DecodeOne(const char* p, int nLeft, UINT nCodePage, wchar_t (&wch)[2])
{
    for (int n = 1; n <= 4 && n <= nLeft; n++) {
        if (::MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, p, n, wch, 2) > 0)
            return n;
    }
    return 0;
}

void TimeText(const SYSTEMTIME& t, std::wstring& line)
{
    wchar_t text[16];
    swprintf(text, 16, L"%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    line += text;
}

} // namespace

std::wstring BytesText(const std::string& bytes, UINT nCodePage)
{
    std::wstring text;
    int n = (int)bytes.size();
    for (int i = 0; i < n;) {
        unsigned char by = (unsigned char)bytes[i];
        LPCWSTR pszName = NULL;
        for (const auto& name : kControlNames)
            pszName = name.ch == (char)by ? name.pszName : pszName;
        if (pszName != NULL) {
            (text += L'<') += pszName;
            text += L'>';
            i++;
            continue;
        }
        wchar_t wch[2] = {};
        int nUsed = by >= 32 ? DecodeOne(bytes.data() + i, n - i, nCodePage, wch) : 0;
        if (nUsed == 0 || IsControl(wch[0])) {
            text += ByteCode(by);
            i++;
            continue;
        }
        text.append(wch, IS_HIGH_SURROGATE(wch[0]) ? 2 : 1);
        i += nUsed;
    }
    return text;
}

std::wstring BytesHex(const std::string& bytes)
{
    std::wstring text;
    for (unsigned char by : bytes) {
        wchar_t code[4];
        swprintf(code, 4, L"%02X", by);
        if (!text.empty())
            text += L' ';
        text += code;
    }
    return text;
}

std::wstring EntryText(const ReceivedEntry& entry, bool bHex)
{
    static const LPCWSTR kKinds[] = { /* READ */ L"read", /* SENT */ L"sent", /* SCAN */ L"scan", /* PORT */ L"port" };
    std::wstring line;
    TimeText(entry.time, line);
    line += L'\t';
    if (entry.kind == ReceivedEntry::READ && entry.nGapMs >= 0)
        (line += L'+') += std::to_wstring(entry.nGapMs) + L" ms";
    (line += L'\t') += kKinds[entry.kind];
    line += L'\t';
    if (entry.kind == ReceivedEntry::READ || entry.kind == ReceivedEntry::SENT)
        return line + (bHex ? BytesHex(entry.bytes) : BytesText(entry.bytes));
    line += entry.text;
    if (!entry.result.empty())
        (line += L" -> ") += entry.result;
    return line;
}

void CReceivedData::BytesRead(const char* pBytes, size_t nCount)
{
    Add({ ReceivedEntry::READ, {}, -1, std::string(pBytes, nCount), {}, {} });
}

void CReceivedData::AddSent(const std::string& bytes)
{
    Add({ ReceivedEntry::SENT, {}, -1, bytes, {}, {} });
}

void CReceivedData::AddScan(const std::wstring& value, const CString& strResult)
{
    Add({ ReceivedEntry::SCAN, {}, -1, {}, value, strResult.Wide() });
}

void CReceivedData::AddPortEvent(const CString& strPort, LPCSTR pszEvent)
{
    CString strText = strPort;
    (strText += " ") += pszEvent;
    Add({ ReceivedEntry::PORT, {}, -1, {}, strText.Wide(), {} });
}

void CReceivedData::Add(ReceivedEntry&& entry)
{
    ::GetLocalTime(&entry.time);
    ULONGLONG nNow = ::GetTickCount64();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (entry.kind == ReceivedEntry::READ) {
        if (m_nLastReadMs != 0)
            entry.nGapMs = (LONGLONG)(nNow - m_nLastReadMs);
        m_nLastReadMs = nNow;
    }
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > kMaxEntries)
        m_entries.pop_front();
    m_nNext++;
}

std::vector<ReceivedEntry> CReceivedData::Since(ULONGLONG& nFrom) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ULONGLONG nFirst = m_nNext - m_entries.size();
    size_t i = nFrom > nFirst ? (size_t)(nFrom - nFirst) : 0;
    nFrom = m_nNext;
    return std::vector<ReceivedEntry>(m_entries.begin() + (i < m_entries.size() ? i : m_entries.size()), m_entries.end());
}

void CReceivedData::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}
