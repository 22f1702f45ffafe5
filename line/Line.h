// A line a device sends on: a COM port, or a socket on the network. The
// gathering of scans, the poll and the reading thread read a line without
// knowing which kind it is.
#pragma once
#include <windows.h>

class CLine {
public:
    virtual ~CLine() = default;
    // Takes what has arrived, at most nCount bytes. With bFirstByte the read
    // waits up to dwWaitMs for a first byte; else it waits up to dwWaitMs
    // for more of a scan under way. 0 when nothing came.
    virtual DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, bool bFirstByte) = 0;
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
