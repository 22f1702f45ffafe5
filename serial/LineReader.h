// Reads a port on a thread of its own, so that a scan is handed over as soon
// as the line is quiet, not at the next poll: the thread waits in a read for
// the first byte, gathers the scan as the poll does, and posts the window a
// message for it.
#pragma once
#include <windows.h>
#include <deque>
#include <mutex>
#include <string>
#include "CommPort.h"

class CLineReader {
public:
    CLineReader() = default;
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;
    ~CLineReader() { Stop(); }

    // Reads the open port until Stop or until the line is lost; each scan,
    // and the loss, posts nMsg to hWnd. The port is the thread's until Stop.
    // Where no thread can be made, IsRunning stays false.
    void Start(CBufferedCommPort& port, HWND hWnd, UINT nMsg);
    // Ends the thread; what it read and nobody took is dropped.
    void Stop();
    bool IsRunning() const { return m_hThread != NULL; }
    // The next scan the thread read, in order; false when there is none.
    bool TakeScan(std::wstring& scan);
    // The line was lost, after the scans still to be taken; the thread has
    // ended.
    bool IsLost();

private:
    static DWORD WINAPI Run(LPVOID pThis);

    CBufferedCommPort* m_pPort = NULL;
    HWND m_hWnd = NULL;
    UINT m_nMsg = 0;
    HANDLE m_hThread = NULL;
    volatile LONG m_bStop = FALSE;
    std::mutex m_mutex;   // guards what follows, shared with the thread
    std::deque<std::wstring> m_scans;
    bool m_bLost = false;
};
