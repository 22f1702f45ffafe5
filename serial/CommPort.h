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

protected:
    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    // Held while the port is open, because Wine does not refuse a second
    // handle to a serial device opened without sharing, as Windows does.
    HANDLE m_hClaim = NULL;
};

class CBufferedCommPort : public CCommPort {
public:
    // Opens the port for reading only.
    BOOL OpenPort(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity, BYTE byStopBits);
    // One read of at most 254 bytes; hands back what came, as text, and its length.
    int ReadAvailable(CString& strText);

private:
    CString m_strRxBuffer;
};

// The name CreateFileA is given for a port name: names without a backslash go
// through the device namespace, since a bare "COMn:" reaches only COM1 to COM9.
CString DevicePath(LPCSTR pszPort);
