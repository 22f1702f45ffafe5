// The last things that passed between the program and its device: each read
// that brought bytes, each command sent, what became of each scan, and the
// port's events. Kept whether or not anybody looks, so that the window that
// shows them has the story from before it was opened; the bytes of a read
// come from the reading thread, the rest from the window's.
#pragma once
#include <windows.h>
#include <deque>
#include <mutex>
#include <string>
#include <vector>
#include "../fw/String.h"
#include "../serial/CommPort.h"

struct ReceivedEntry {
    enum Kind { READ, SENT, SCAN, PORT } kind;
    SYSTEMTIME time;      // local, when it happened
    LONGLONG nGapMs;      // READ: since the bytes before; -1 for the first
    std::string bytes;    // READ and SENT: as they went over the line
    std::wstring text;    // SCAN: the value, keys by name; PORT: the event
    std::wstring result;  // SCAN: what became of it, as the log words it
};

// The bytes as text: printable characters as the code page decodes them,
// the usual control characters by name (<STX>, <CR>), and any other byte,
// or one the code page cannot decode, as <xHH>.
std::wstring BytesText(const std::string& bytes, UINT nCodePage = CP_ACP);
// The bytes in hexadecimal: "02 31 0D".
std::wstring BytesHex(const std::string& bytes);
// One line of the list: time, gap, kind and what it holds.
std::wstring EntryText(const ReceivedEntry& entry, bool bHex);

class CReceivedData : public CReadSink {
public:
    static constexpr size_t kMaxEntries = 2000;

    void BytesRead(const char* pBytes, size_t nCount) override;
    void AddSent(const std::string& bytes);
    void AddScan(const std::wstring& value, const CString& strResult);
    void AddPortEvent(const CString& strPort, LPCSTR pszEvent);
    // The entries from number nFrom on (entries are numbered from 0 as they
    // come, forever); nFrom becomes the number of the next. Entries given up
    // to keep the bound are skipped.
    std::vector<ReceivedEntry> Since(ULONGLONG& nFrom) const;
    // The number the next entry will have.
    ULONGLONG Next() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nNext;
    }
    void Clear();

private:
    void Add(ReceivedEntry&& entry);

    mutable std::mutex m_mutex;   // the reading thread adds too
    std::deque<ReceivedEntry> m_entries;
    ULONGLONG m_nNext = 0;        // the number of the next entry
    ULONGLONG m_nLastReadMs = 0;  // when bytes came last; 0: none yet
};
