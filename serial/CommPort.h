// The serial port: a handle owner with open, configure, read and write, and the
// buffered variant through which the program opens the line and polls it.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "../fw/String.h"
#include "../line/Line.h"

// What a line does beyond its character format; all off unless a device
// needs it, since some devices reset when DTR changes.
enum Handshake { HANDSHAKE_NONE, HANDSHAKE_RTSCTS, HANDSHAKE_XONXOFF };
struct LineControl {
    bool bRaiseDTR = false;   // DTR on while the port is open
    bool bRaiseRTS = false;   // RTS on while the port is open (without the RTS/CTS handshake)
    Handshake handshake = HANDSHAKE_NONE;
    bool bWrites = false;     // the program sends the device commands: opened for writing too
    bool operator==(const LineControl& o) const
    {
        return bRaiseDTR == o.bRaiseDTR && bRaiseRTS == o.bRaiseRTS && handshake == o.handshake && bWrites == o.bWrites;
    }
};
// The handshake a text names ("", "RTS/CTS" or "XON/XOFF", any case); false
// for any other text.
bool HandshakeFromText(const CString& strText, Handshake& handshake);

class CCommPort : public CLine {
public:
    CCommPort() = default;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    virtual DWORD Write(const void* pBuffer, DWORD dwCount);
    virtual DWORD Read(void* pBuffer, DWORD dwCount);
    BOOL IsOpen() override;
    void Close() override;
    virtual BOOL Open(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                      BYTE byStopBits, DWORD dwDesiredAccess);
    ~CCommPort() override;

    // A read ends once the bytes that came pause for dwPauseMs, or at
    // dwWaitMs; it takes all the driver holds.
    DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs) override;
    // Gives up after 10 ms, so that it holds nobody: what is left is then
    // ERROR_TIMEOUT's.
    bool WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError) override;
    // The line last opened, with the same settings and access.
    BOOL Reopen() override;

    // TRUE while a handle is held but its device has gone (a USB adapter
    // pulled out, a pty whose far end closed): the last read failed as a
    // removed device's does, or the driver no longer reports the line's
    // state. Under Wine reads then go on succeeding with nothing.
    BOOL IsLost() override;
    // The system's error code for the last open that failed: why the line
    // was refused (ERROR_ACCESS_DENIED also where this program holds it).
    DWORD OpenError() const { return m_dwOpenError; }
    // The modem lines, handshake and access of every open that follows.
    void SetLineControl(const LineControl& control) { m_control = control; }
    const LineControl& Control() const { return m_control; }

protected:
    // The line last opened, with the same settings and the access given.
    BOOL ReopenWith(DWORD dwAccess);
    // Sets the line's read timeouts. A line that refuses them counts as gone:
    // its reads would wait as long as the timeouts it kept say.
    BOOL SetTimeouts(DWORD dwIntervalMs, DWORD dwTotalMs);
    // Open without the message: the text of what went wrong, NULL when open.
    LPCSTR OpenLine(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                    BYTE byStopBits, DWORD dwDesiredAccess);

    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    // Held while the port is open, because Wine does not refuse a second
    // handle to a serial device opened without sharing, as Windows does.
    HANDLE m_hClaim = NULL;
    LineControl m_control;

private:
    static const DWORD kReadBytes = 254;
    BOOL m_bDeviceGone = FALSE;
    DWORD m_dwOpenError = ERROR_SUCCESS;
    COMMTIMEOUTS m_timeouts = {};   // the read timeouts the line holds
    struct LineSettings { CString strPort; DWORD dwBaudRate; BYTE byByteSize, byParity, byStopBits; DWORD dwAccess; };
    LineSettings m_line = {};
};

// The driver calls of a read. Tests stand in for what Wine's serial lines
// never do: a read that fails because its device went away, and a line that
// refuses its timeouts.
struct PortReads {
    BOOL (WINAPI* pfnReadFile)(HANDLE hFile, LPVOID pBuffer, DWORD dwCount, LPDWORD pdwRead,
                               LPOVERLAPPED pOverlapped);
    BOOL (WINAPI* pfnClearCommError)(HANDLE hFile, LPDWORD pdwErrors, LPCOMSTAT pStat);
    BOOL (WINAPI* pfnSetCommTimeouts)(HANDLE hFile, LPCOMMTIMEOUTS pTimeouts);
};
extern PortReads g_portReads;

// The call that sets the line's state; tests see through it what a virtual
// line cannot show, DTR and RTS.
extern BOOL (WINAPI* g_pfnSetCommState)(HANDLE hFile, LPDCB pDcb);

// What one call of ReadAvailable found on the line.
enum ReadResult {
    READ_IDLE,       // nothing arrived
    READ_ARRIVING,   // a scan is arriving: call again soon
    READ_SCAN,       // a scan is handed back
    READ_LOST,       // the device has gone, and nothing it sent is left
};

// Where each read's bytes are also handed as they came, NUL included, on the
// thread that read them: for showing what the device sent.
class CReadSink {
public:
    virtual void BytesRead(const char* pBytes, size_t nCount) = 0;

protected:
    ~CReadSink() = default;
};

class CBufferedCommPort : public CCommPort {
public:
    // The sink lives as long as the port.
    void SetReadSink(CReadSink* pSink) { m_pReadSink = pSink; }
    // Reads a network line from now on, in place of a COM port, until the
    // next OpenPort; the line is open already.
    void OpenNetLine(std::unique_ptr<CLine> pLine);
    bool IsNetLine() const { return m_pNetLine != nullptr; }
    // The quiet that ends a scan, 5 to 200 ms: reads of up to 10 ms find the
    // line quiet that long. 20 unless set.
    void SetScanQuiet(DWORD dwQuietMs);
    DWORD ScanQuiet() const { return m_dwQuietMs; }
    // Opens the port for reading, and for writing where the line control
    // says the program writes.
    BOOL OpenPort(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity, BYTE byStopBits);
    // The same, showing nothing: what went wrong (kPortCannotBeOpened or
    // kLineSettingsNotSupported), NULL when open. The line is kept for Reopen
    // either way, for a device that is not there yet.
    LPCSTR OpenPortSilently(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity, BYTE byStopBits);
    // Opens the line last opened again, with the same settings, showing
    // nothing: for a device that may come back.
    BOOL Reopen() override;
    BOOL IsOpen() override;
    BOOL IsLost() override;
    // Gathers what the line delivers into the receive buffer and hands back
    // whole scans, decoded in the code page. A scan ends once the line has
    // been quiet for the scan quiet (20 ms: two reads of 10 ms), or at 4096 bytes; a line that delivers
    // without a pause for 300 ms is a stream, handed back at its last line
    // end (CR, LF or ETX) once 254 bytes wait, the unfinished line kept. One
    // call makes at most three reads of 10 ms; a read takes all the driver
    // holds. With dwWaitMs, a call that finds the line idle waits up to that
    // long for its first byte instead of 10 ms. The first bytes of a
    // character cut off at a scan's end wait for the next scan (that one
    // only) to come back whole.
    ReadResult ReadAvailable(std::wstring& scan, UINT nCodePage = CP_ACP, DWORD dwWaitMs = 0);
    // A scan is still arriving: bytes are gathered that no call has handed
    // back yet, or the last call cut what it handed back (a stream, a full
    // buffer). The first bytes of a character that waits do not count: they
    // wait for the next poll.
    BOOL IsReceiving() const { return m_strRxBuffer.GetLength() > m_nWaited || m_bCut; }
    // Queues bytes for the device. They go out at the start of the next
    // ReadAvailable calls, between reads, each write giving up after 10 ms so
    // that it holds nobody; what has not gone 500 ms after it was queued is
    // given up, and TakeSendError says why.
    void Send(const std::string& bytes);
    bool IsSending() const { return !m_strToSend.empty(); }
    // Why bytes were given up since the last call: the system's error, or
    // ERROR_TIMEOUT for a line that took nothing (a handshake holding it);
    // 0 when nothing was.
    DWORD TakeSendError();
    // Drops what was gathered: it belongs to the line just closed.
    void Close() override;

private:
    static const int kStreamBytes = 254;
    static const int kScanBytes = 4096;
    // One read of what the line holds, at most what the scan has room for;
    // how many bytes the line delivered.
    DWORD ReadMore(DWORD dwWaitMs);
    // The line read: the network's, or this COM port.
    CLine& Line() { return m_pNetLine ? *m_pNetLine : static_cast<CCommPort&>(*this); }
    bool IsFull() const { return m_strRxBuffer.GetLength() >= kScanBytes; }
    bool IsStream() const;
    // Hands back the first nLength bytes of the buffer, less the first bytes
    // of a character cut off there, which wait.
    void HandBack(int nLength, UINT nCodePage, std::wstring& scan);
    void SendQueued();

    CReadSink* m_pReadSink = NULL;
    CString m_strRxBuffer;
    int m_nWaited = 0;   // the first bytes of the buffer, which waited for the piece before
    int m_nQuietReads = 0;   // the reads in a row that found the line quiet while gathering
    DWORD m_dwArriving = 0;   // when the bytes gathered began to arrive
    DWORD m_dwQuietMs = 20;
    DWORD m_dwQuietReadMs = 10;   // how long a read of a scan under way waits
    int m_nQuietToEnd = 2;   // the quiet reads in a row that end a scan
    bool m_bCut = false;   // the last call handed back a piece of what was still arriving
    std::string m_strToSend;
    ULONGLONG m_nSendBy = 0;   // when what is queued is given up
    DWORD m_dwSendError = 0;
    std::unique_ptr<CLine> m_pNetLine;
};

// ScanQuietMs: a whole number of milliseconds from 5 to 200, empty for 20;
// false where the text is none, and dwQuietMs is then 20.
bool ParseScanQuiet(const CString& strText, DWORD& dwQuietMs);
extern const char kScanQuietFault[];

// The characters a received text stands for in the code page, decoded as a
// whole: a character of two to four bytes (a double-byte code page, UTF-8)
// comes out as one. Bytes that stand for no character, and C1 controls, are
// dropped.
std::wstring DecodeText(const CString& strText, UINT nCodePage);

extern const char kPortCannotBeOpened[];
extern const char kLineSettingsNotSupported[];

// The name CreateFileA is given for a port name: names without a backslash go
// through the device namespace, since a bare "COMn:" reaches only COM1 to COM9.
CString DevicePath(LPCSTR pszPort);
