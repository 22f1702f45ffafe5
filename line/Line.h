// A line a device sends on: a COM port, or a socket on the network. The
// gathering of scans, the poll and the reading thread read a line without
// knowing which kind it is.
#pragma once
#include <windows.h>

class CLine {
public:
    virtual ~CLine() = default;
    // Takes what has arrived, at most nCount bytes, waiting up to dwWaitMs
    // for the first; a line that delivers bytes as they come may wait on
    // until they pause for dwPauseMs. 0 when nothing came.
    virtual DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs) = 0;
    // Sends what the line takes without holding the caller for long; false
    // with the system's error when the line refused.
    virtual bool WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError) = 0;
    virtual BOOL IsOpen() = 0;
    // TRUE while held but its device has gone: a pulled adapter, a dropped
    // connection.
    virtual BOOL IsLost() = 0;
    virtual void Close() = 0;
    // Opens again what was last opened, showing nothing: for a device that
    // may come back. A line may wait longer between tries than the caller.
    virtual BOOL Reopen() = 0;
    // Everything read has been handed back: a line with several senders may
    // turn to the next one, whose bytes then never mix with the last one's.
    virtual void ScanEnded() {}
};

// Milliseconds on a clock finer than the tick count, whose steps are 16 ms
// on Windows: the quiet that ends a scan may be 5 ms.
inline double LineClockMs()
{
    static const double kTicksPerMs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart / kTicksPerMs;
}
