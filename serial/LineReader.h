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
    CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;
    ~CLineReader();

    // Reads the open port until Stop or until the line is lost; each scan,
    // and the loss, posts nMsg to hWnd. The port is the thread's until Stop.
    // Where no thread can be made, IsRunning stays false.
    void Start(CBufferedCommPort& port, HWND hWnd, UINT nMsg);
    // Bytes for the device: the thread sends them as soon as the read under
    // way ends, never cutting it short. A send given up posts nMsg.
    void Send(const std::string& bytes);
    // Why bytes for the device were given up since the last call, as the
    // port's TakeSendError says; 0 when none were.
    DWORD TakeSendError();
    // Ends the thread once its read under way has ended, and hands back
    // the scans it read that nobody took yet, in order. Bytes it had not sent
    // yet go back to the port, which sends them at its next read. A stop is never a
    // loss; a loss the thread saw is forgotten, and the port still tells it.
    std::deque<std::wstring> Stop();
    bool IsRunning() const { return m_hThread != NULL; }
    // The next scan the thread read, in order; false when there is none.
    bool TakeScan(std::wstring& scan);
    // The line was lost, after the scans still to be taken; the thread has
    // ended.
    bool IsLost();

private:
    static DWORD WINAPI Run(LPVOID pThis);
    bool IsStopping() const { return ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0; }

    CBufferedCommPort* m_pPort = NULL;
    HWND m_hWnd = NULL;
    UINT m_nMsg = 0;
    HANDLE m_hThread = NULL;
    HANDLE m_hStop = NULL;   // set while the thread is to end
    HANDLE m_hWake = NULL;   // set when there is something to send
    bool m_bFineTimer = false;   // the system timer was asked for 1 ms steps
    std::mutex m_mutex;   // guards what follows, shared with the thread
    std::deque<std::wstring> m_scans;
    bool m_bLost = false;
    std::string m_toSend;
    DWORD m_dwSendError = 0;
};
