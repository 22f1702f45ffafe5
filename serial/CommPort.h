// The serial port: a handle owner with open, configure, read and write, and the
// buffered variant through which the program opens the line and polls it.
#pragma once
#include <windows.h>
#include "../fw/String.h"

class CCommPort {
public:
    CCommPort() = default;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    virtual DWORD Write(const void* pBuffer, DWORD dwCount);
    virtual DWORD Read(void* pBuffer, DWORD dwCount);
    virtual BOOL IsOpen();
    virtual void Close();
    virtual BOOL Open(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                      BYTE byStopBits, DWORD dwDesiredAccess);
    virtual ~CCommPort();

    // TRUE while a handle is held but its device has gone (a USB adapter
    // pulled out, a pty whose far end closed): the last read failed as a
    // removed device's does, or the driver no longer reports the line's
    // state. Under Wine reads then go on succeeding with nothing.
    BOOL IsLost();

protected:
    // Open without the message: the text of what went wrong, NULL when open.
    LPCSTR OpenLine(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                    BYTE byStopBits, DWORD dwDesiredAccess);

    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    // Held while the port is open, because Wine does not refuse a second
    // handle to a serial device opened without sharing, as Windows does.
    HANDLE m_hClaim = NULL;

private:
    BOOL m_bDeviceGone = FALSE;
};

// The driver calls of a read; tests stand in for a driver whose device went
// away, which Wine's serial lines never report as an error.
struct PortReads {
    BOOL (WINAPI* pfnReadFile)(HANDLE hFile, LPVOID pBuffer, DWORD dwCount, LPDWORD pdwRead,
                               LPOVERLAPPED pOverlapped);
    BOOL (WINAPI* pfnClearCommError)(HANDLE hFile, LPDWORD pdwErrors, LPCOMSTAT pStat);
};
extern PortReads g_portReads;

class CBufferedCommPort : public CCommPort {
public:
    // Opens the port for reading only.
    BOOL OpenPort(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity, BYTE byStopBits);
    // The same, showing nothing: what went wrong (kPortCannotBeOpened or
    // kLineSettingsNotSupported), NULL when open. The line is kept for Reopen
    // either way, for a device that is not there yet.
    LPCSTR OpenPortSilently(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity, BYTE byStopBits);
    // Opens the line last given to OpenPort again, with the same settings,
    // showing nothing: for a device that may come back.
    BOOL Reopen();
    // Gathers what the line delivers into the receive buffer, at most 254
    // bytes a piece: one read, and while bytes are gathered up to two more.
    // Once two reads in a row (20 ms) find the line quiet, or the piece is
    // full, hands the piece back as text in the code page and returns its
    // length; while the line still delivers, hands back nothing and returns 0.
    // The first bytes of a character that the piece cut off wait for the next
    // piece (that one only) to come back whole.
    int ReadAvailable(CString& strText, UINT nCodePage = CP_ACP);
    // Bytes are gathered that no call has handed back yet: a scan still
    // arriving. The first bytes of a character that waits do not count: they
    // wait for the next poll.
    BOOL IsReceiving() const { return m_strRxBuffer.GetLength() > m_nWaited; }
    // Drops what was gathered: it belongs to the line just closed.
    void Close() override;

private:
    static const int kPieceBytes = 254;
    // One read of what the piece has room for; how many bytes the line delivered.
    DWORD ReadMore();
    bool IsFull() const { return m_strRxBuffer.GetLength() >= kPieceBytes; }

    CString m_strRxBuffer;
    int m_nWaited = 0;   // the first bytes of the buffer, which waited for the piece before
    int m_nQuietReads = 0;   // the reads in a row that found the line quiet while gathering
    struct LineSettings { CString strPort; DWORD dwBaudRate; BYTE byByteSize, byParity, byStopBits; };
    LineSettings m_line = {};
};

extern const char kPortCannotBeOpened[];
extern const char kLineSettingsNotSupported[];

// The name CreateFileA is given for a port name: names without a backslash go
// through the device namespace, since a bare "COMn:" reaches only COM1 to COM9.
CString DevicePath(LPCSTR pszPort);
