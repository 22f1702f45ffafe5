#include "CommPort.h"
#include "../fw/MessageBox.h"

static_assert(sizeof(DCB) == 28, "the line-state record is 28 bytes");
#ifndef _WIN64
static_assert(sizeof(HANDLE) == 4, "a 32-bit build holds a 32-bit handle");
#endif

PortReads g_portReads = { ::ReadFile, ::ClearCommError, ::SetCommTimeouts };
BOOL (WINAPI* g_pfnSetCommState)(HANDLE hFile, LPDCB pDcb) = ::SetCommState;

const char kPortCannotBeOpened[] = "The specified port cannot be opened!";
const char kLineSettingsNotSupported[] = "The line settings are not supported by the specified port!";

CString DevicePath(LPCSTR pszPort)
{
    CString strPath(pszPort);
    for (int i = 0; i < strPath.GetLength(); i++) {
        if (strPath[i] == '\\')
            return strPath;
    }
    if (!strPath.IsEmpty() && strPath[strPath.GetLength() - 1] == ':')
        strPath = strPath.Left(strPath.GetLength() - 1);
    CString strDevice("\\\\.\\");
    strDevice += strPath;
    return strDevice;
}

// A named object per device path marks it as held by some port object of this
// program, in this process or another one.
static HANDLE ClaimDevice(const CString& strPath)
{
    CString strName("Brindlequaverly.Port.");
    for (int i = 0; i < strPath.GetLength(); i++)
        strName += strPath[i] == '\\' ? '/' : strPath[i];
    strName.MakeUpper();
    HANDLE hClaim = ::CreateMutexA(NULL, FALSE, strName);
    if (hClaim != NULL && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(hClaim);
        return NULL;
    }
    return hClaim;
}

CCommPort::~CCommPort()
{
    CCommPort::Close();
}

BOOL CCommPort::IsOpen()
{
    return m_hComm != INVALID_HANDLE_VALUE;
}

void CCommPort::Close()
{
    if (m_hComm == INVALID_HANDLE_VALUE)
        return;
    ::CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
    m_bDeviceGone = FALSE;
    m_timeouts = {};
    if (m_hClaim != NULL) {
        ::CloseHandle(m_hClaim);
        m_hClaim = NULL;
    }
}

DWORD CCommPort::Read(void* pBuffer, DWORD dwCount)
{
    if (m_hComm == INVALID_HANDLE_VALUE)
        return 0;
    DWORD dwRead = 0;
    if (!g_portReads.pfnReadFile(m_hComm, pBuffer, dwCount, &dwRead, NULL)) {
        DWORD dwError = ::GetLastError();
        // A line error (framing, parity, overrun) can hold every later read
        // until it is acknowledged here.
        DWORD dwErrors = 0;
        COMSTAT stat;
        g_portReads.pfnClearCommError(m_hComm, &dwErrors, &stat);
        // What USB serial drivers answer once their device is gone; which one
        // depends on the driver. A read cancelled (ERROR_OPERATION_ABORTED) is
        // the line reader stopping, not a device gone.
        m_bDeviceGone = dwError == ERROR_ACCESS_DENIED || dwError == ERROR_BAD_COMMAND ||
                        dwError == ERROR_DEVICE_REMOVED || dwError == ERROR_GEN_FAILURE;
    }
    return dwRead;
}

DWORD CCommPort::Write(const void* pBuffer, DWORD dwCount)
{
    if (m_hComm == INVALID_HANDLE_VALUE)
        return 0;
    DWORD dwWritten = 0;
    ::WriteFile(m_hComm, pBuffer, dwCount, &dwWritten, NULL);
    return dwWritten;
}

BOOL CCommPort::Open(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                     BYTE byStopBits, DWORD dwDesiredAccess)
{
    LPCSTR pszFailure = OpenLine(pszPort, dwBaudRate, byByteSize, byParity, byStopBits, dwDesiredAccess);
    if (pszFailure != NULL) {
        AfxMessageBox(pszFailure, MB_OK, 0);
        return FALSE;
    }
    return TRUE;
}

LPCSTR CCommPort::OpenLine(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize, BYTE byParity,
                           BYTE byStopBits, DWORD dwDesiredAccess)
{
    Close();
    m_line = { pszPort, dwBaudRate, byByteSize, byParity, byStopBits, dwDesiredAccess };

    CString strPath = DevicePath(pszPort);
    m_hComm = ::CreateFileA(strPath, dwDesiredAccess, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (m_hComm == INVALID_HANDLE_VALUE) {
        m_dwOpenError = ::GetLastError();
        return kPortCannotBeOpened;
    }
    m_hClaim = ClaimDevice(strPath);
    // Windows refuses a second open of a held line so; Wine needs the claim.
    m_dwOpenError = m_hClaim == NULL ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;

    // A refused step leaves the line in no known state: give the handle back.
    LPCSTR pszFailure = NULL;
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    if (m_hClaim == NULL || !::GetCommState(m_hComm, &dcb)) {
        if (m_hClaim != NULL)
            m_dwOpenError = ::GetLastError();
        pszFailure = kPortCannotBeOpened;
    } else {
        dcb.BaudRate = dwBaudRate;
        dcb.ByteSize = byByteSize;
        dcb.Parity = byParity;
        dcb.StopBits = byStopBits;
        bool bRtsCts = m_control.handshake == HANDSHAKE_RTSCTS;
        bool bXonXoff = m_control.handshake == HANDSHAKE_XONXOFF;
        dcb.fOutxCtsFlow = bRtsCts;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = m_control.bRaiseDTR ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = bXonXoff;
        dcb.fInX = bXonXoff;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.fTXContinueOnXoff = TRUE;
        dcb.fRtsControl = bRtsCts ? RTS_CONTROL_HANDSHAKE
                        : m_control.bRaiseRTS ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        // Whatever another program left: no byte replaced or dropped, and no
        // line error that stops the reads until it is acknowledged.
        dcb.fBinary = TRUE;
        dcb.fAbortOnError = FALSE;
        dcb.fNull = FALSE;
        dcb.fErrorChar = FALSE;
        // Some drivers (and Wine) take a rate they cannot run and put another
        // in its place: what the line runs at is only known by reading it back.
        // Only the rate: a pty reports 8 data bits and no parity whatever it was given.
        DCB applied = {};
        applied.DCBlength = sizeof(DCB);
        if (!g_pfnSetCommState(m_hComm, &dcb) || !::GetCommState(m_hComm, &applied)) {
            m_dwOpenError = ::GetLastError();
            pszFailure = kLineSettingsNotSupported;
        } else if (applied.BaudRate != dwBaudRate) {
            m_dwOpenError = ERROR_INVALID_PARAMETER;
            pszFailure = kLineSettingsNotSupported;
        } else if (!SetTimeouts(0, 10)) {
            m_dwOpenError = ::GetLastError();
            pszFailure = kPortCannotBeOpened;
        }
    }
    if (pszFailure != NULL) {
        Close();
        return pszFailure;
    }

    // Nothing waits on these events (the port is polled); the mask is the one
    // this program has always left on the line, for drivers that act on it.
    ::SetCommMask(m_hComm, EV_CTS | EV_DSR | EV_RLSD | EV_RING);
    ::PurgeComm(m_hComm, PURGE_TXCLEAR | PURGE_RXCLEAR);
    return NULL;
}

BOOL CCommPort::SetTimeouts(DWORD dwIntervalMs, DWORD dwTotalMs)
{
    COMMTIMEOUTS timeouts = { dwIntervalMs, 0, dwTotalMs, 0, 10 };
    if (g_portReads.pfnSetCommTimeouts(m_hComm, &timeouts)) {
        m_timeouts = timeouts;
        return TRUE;
    }
    m_bDeviceGone = ::GetLastError() != ERROR_OPERATION_ABORTED;   // a cancel is no loss
    return FALSE;
}

BOOL CCommPort::Reopen()
{
    return ReopenWith(m_line.dwAccess);
}

BOOL CCommPort::ReopenWith(DWORD dwAccess)
{
    LineSettings line = m_line;   // the open starts by forgetting it
    return OpenLine(line.strPort, line.dwBaudRate, line.byByteSize, line.byParity, line.byStopBits, dwAccess) == NULL;
}

DWORD CCommPort::ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs)
{
    DWORD dwInterval = dwPauseMs < dwWaitMs ? dwPauseMs : 0;
    if ((m_timeouts.ReadIntervalTimeout != dwInterval || m_timeouts.ReadTotalTimeoutConstant != dwWaitMs) &&
        !SetTimeouts(dwInterval, dwWaitMs))
        return 0;
    DWORD n = Read(pBuffer, nCount < kReadBytes ? nCount : kReadBytes);
    // A full read leaves more in the driver, at 115200 baud some 115 bytes
    // every 10 ms: all it holds comes at once, so the reads keep up.
    DWORD dwErrors = 0;
    COMSTAT stat = {};
    if (n == kReadBytes && g_portReads.pfnClearCommError(m_hComm, &dwErrors, &stat) && stat.cbInQue > 0)
        n += Read(pBuffer + n, stat.cbInQue < nCount - n ? stat.cbInQue : nCount - n);
    return n;
}

bool CCommPort::WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError)
{
    dwWritten = 0;
    bool bWritten = ::WriteFile(m_hComm, pBytes, nCount, &dwWritten, NULL) != FALSE;
    dwError = bWritten ? ERROR_TIMEOUT : ::GetLastError();
    return bWritten;
}

BOOL CCommPort::IsLost()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    return m_hComm != INVALID_HANDLE_VALUE && (m_bDeviceGone || !::GetCommState(m_hComm, &dcb));
}

bool HandshakeFromText(const CString& strText, Handshake& handshake)
{
    static const struct { LPCSTR pszText; Handshake handshake; } kHandshakes[] = {
        { "", HANDSHAKE_NONE }, { "RTS/CTS", HANDSHAKE_RTSCTS }, { "XON/XOFF", HANDSHAKE_XONXOFF },
    };
    CString strUpper(strText);
    strUpper.MakeUpper();
    for (const auto& entry : kHandshakes) {
        if (strUpper == entry.pszText) {
            handshake = entry.handshake;
            return true;
        }
    }
    return false;
}

// Read-only unless the program sends the device commands: a port opened for
// writing is one more thing a driver can refuse.
static DWORD Access(const LineControl& control)
{
    return control.bWrites ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
}

BOOL CBufferedCommPort::OpenPort(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize,
                                 BYTE byParity, BYTE byStopBits)
{
    m_pNetLine.reset();
    return CCommPort::Open(pszPort, dwBaudRate, byByteSize, byParity, byStopBits, Access(m_control));
}

LPCSTR CBufferedCommPort::OpenPortSilently(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize,
                                           BYTE byParity, BYTE byStopBits)
{
    m_pNetLine.reset();
    return OpenLine(pszPort, dwBaudRate, byByteSize, byParity, byStopBits, Access(m_control));
}

void CBufferedCommPort::OpenNetLine(std::unique_ptr<CLine> pLine)
{
    Close();
    m_pNetLine = std::move(pLine);
}

const char kScanQuietFault[] = "it must be a whole number of milliseconds from 5 to 200; 20 holds.";

bool ParseScanQuiet(const CString& strText, DWORD& dwQuietMs)
{
    ULONGLONG nMs = 20;
    bool bHolds = strText.IsEmpty() || (ParseWholeNumber(strText, 200, nMs) && nMs >= 5);
    dwQuietMs = bHolds ? (DWORD)nMs : 20;
    return bHolds;
}

void CBufferedCommPort::SetScanQuiet(DWORD dwQuietMs)
{
    m_dwQuietMs = dwQuietMs;
    m_dwQuietReadMs = dwQuietMs < 10 ? dwQuietMs : 10;
    m_nQuietToEnd = (int)((dwQuietMs + m_dwQuietReadMs - 1) / m_dwQuietReadMs);
}

BOOL CBufferedCommPort::Reopen()
{
    if (m_pNetLine)
        return m_pNetLine->Reopen();
    // The access the line control asks for now, which may have changed.
    return ReopenWith(Access(m_control));
}

BOOL CBufferedCommPort::IsOpen()
{
    return m_pNetLine ? m_pNetLine->IsOpen() : CCommPort::IsOpen();
}

BOOL CBufferedCommPort::IsLost()
{
    return m_pNetLine ? m_pNetLine->IsLost() : CCommPort::IsLost();
}

void CBufferedCommPort::Send(const std::string& bytes)
{
    if (bytes.empty() || !IsOpen())
        return;
    if (m_strToSend.empty())
        m_nSendBy = ::GetTickCount64() + 500;
    m_strToSend += bytes;
}

DWORD CBufferedCommPort::TakeSendError()
{
    DWORD dwError = m_dwSendError;
    m_dwSendError = 0;
    return dwError;
}

void CBufferedCommPort::SendQueued()
{
    if (m_strToSend.empty())
        return;
    DWORD dwWritten = 0, dwError = 0;
    bool bWritten = Line().WriteSome(m_strToSend.data(), (DWORD)m_strToSend.size(), dwWritten, dwError);
    // A write an abort ended goes on at the next call.
    bool bRefused = !bWritten && dwError != ERROR_OPERATION_ABORTED;
    m_strToSend.erase(0, dwWritten);
    if (!m_strToSend.empty() && (bRefused || ::GetTickCount64() >= m_nSendBy)) {
        m_strToSend.clear();
        m_dwSendError = dwError;
    }
}

void CBufferedCommPort::Close()
{
    m_strToSend.clear();
    m_strRxBuffer.Empty();
    m_nWaited = 0;
    m_nQuietReads = 0;
    m_bCut = false;
    if (m_pNetLine)
        m_pNetLine->Close();
    CCommPort::Close();
}

// How many bytes at the end of the text begin a character that is not complete:
// a lead byte of a double-byte code page, or the first bytes of a UTF-8 sequence.
static int IncompleteTail(const CString& strText, int nLength, UINT nCodePage)
{
    if (nCodePage == CP_ACP)
        nCodePage = ::GetACP();
    CPINFO info;
    if (!::GetCPInfo(nCodePage, &info) || info.MaxCharSize == 1)
        return 0;
    const unsigned char* p = (const unsigned char*)(LPCSTR)strText;
    int n = nLength;
    if (nCodePage == CP_UTF8) {
        // The last byte that is no continuation byte says how long its sequence is.
        for (int i = n - 1; i >= 0 && i >= n - 3; i--) {
            if ((p[i] & 0xC0) == 0x80)
                continue;
            int nSequence = p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : p[i] >= 0xC0 ? 2 : 1;
            return nSequence > n - i ? n - i : 0;
        }
        return 0;
    }
    // A trail byte can look like a lead byte: only a walk from the start tells them apart.
    int i = 0;
    while (i < n)
        i += ::IsDBCSLeadByteEx(nCodePage, p[i]) ? 2 : 1;
    return i - n;
}

DWORD CBufferedCommPort::ReadMore(DWORD dwWaitMs)
{
    char area[kScanBytes];
    DWORD dwRoom = kScanBytes - m_strRxBuffer.GetLength();
    // Waiting for a first byte, a read ends once the bytes that came pause
    // for a quiet read's time; gathering, each read waits that long at most.
    DWORD n = Line().ReadSome(area, dwRoom, dwWaitMs != 0 ? dwWaitMs : m_dwQuietReadMs, m_dwQuietReadMs);
    if (n != 0 && m_pReadSink != NULL)
        m_pReadSink->BytesRead(area, n);
    // A NUL cannot stand in the text; drop it alone and keep what follows.
    for (DWORD i = 0; i < n; i++) {
        if (area[i] != '\0')
            m_strRxBuffer += area[i];
    }
    return n;
}

// A line that has delivered without a pause for longer than a scan takes to
// arrive (a scale in continuous mode): waiting for it to go quiet would hold
// its values back, and a scan that long is cut at a line end anyway.
bool CBufferedCommPort::IsStream() const
{
    return m_strRxBuffer.GetLength() >= kStreamBytes && ::GetTickCount() - m_dwArriving >= 300;
}

static bool IsLineEnd(char ch)
{
    return ch == '\r' || ch == '\n' || ch == '\x03';
}

void CBufferedCommPort::HandBack(int nLength, UINT nCodePage, std::wstring& scan)
{
    // Bytes that waited once go now, complete or not: what cannot be decoded
    // is dropped.
    int nTail = IncompleteTail(m_strRxBuffer, nLength, nCodePage);
    if (nTail > nLength - m_nWaited)
        nTail = 0;
    nLength -= nTail;
    scan = DecodeText(m_strRxBuffer.Left(nLength), nCodePage);
    m_strRxBuffer = m_strRxBuffer.Right(m_strRxBuffer.GetLength() - nLength);
    m_nWaited = nTail;
    m_dwArriving = ::GetTickCount();
    if (m_strRxBuffer.IsEmpty())
        Line().ScanEnded();
}

ReadResult CBufferedCommPort::ReadAvailable(std::wstring& scan, UINT nCodePage, DWORD dwWaitMs)
{
    scan.clear();
    m_bCut = false;
    if (!IsOpen())
        return READ_IDLE;
    SendQueued();
    if (IsSending())
        dwWaitMs = 0;   // the rest goes at the next call, soon
    // A device sends a scan without a pause, but a USB adapter may hold bytes
    // back for 16 ms: the scan has ended once reads in a row have found the
    // line quiet for the scan quiet.
    for (int nReads = 0; nReads < 3 && m_nQuietReads < m_nQuietToEnd && !IsFull(); nReads++) {
        // The first bytes of a character that waits wait for the next scan
        // as long as an idle line waits for a first byte.
        bool bIdle = m_strRxBuffer.GetLength() == m_nWaited;
        DWORD dwWait = bIdle ? dwWaitMs : 0;
        double start = LineClockMs();
        DWORD n = ReadMore(dwWait);
        // A wait for a first byte that ended before its time, short of a
        // full read, ended on the line's pause: the line has been quiet for
        // a quiet read already.
        bool bPaused = dwWait > m_dwQuietReadMs && n != 0 && n < (DWORD)kStreamBytes &&
                       LineClockMs() - start + 1 < dwWait;
        m_nQuietReads = n == 0 ? m_nQuietReads + 1 : bPaused ? 1 : 0;
        if (m_strRxBuffer.IsEmpty()) {   // nothing gathered: an idle line
            m_nQuietReads = 0;
            return IsLost() ? READ_LOST : READ_IDLE;
        }
        if (bIdle)
            m_dwArriving = ::GetTickCount();
    }
    // A scan that ended, or a stream's or a full buffer's lines: an unfinished
    // line waits, unless the buffer is full of it.
    int nLength = m_strRxBuffer.GetLength();
    if (m_nQuietReads < m_nQuietToEnd) {
        if (!IsFull() && !IsStream())
            return READ_ARRIVING;
        int nEnd = nLength;
        while (nEnd > 0 && !IsLineEnd(m_strRxBuffer[nEnd - 1]))
            nEnd--;
        if (nEnd > 0)
            nLength = nEnd;
        else if (!IsFull())
            return READ_ARRIVING;
    }
    m_bCut = m_nQuietReads < m_nQuietToEnd;
    m_nQuietReads = 0;
    HandBack(nLength, nCodePage, scan);
    return scan.empty() ? READ_IDLE : READ_SCAN;   // what waits, or what makes no character
}

std::wstring DecodeText(const CString& strText, UINT nCodePage)
{
    std::wstring text;
    LPCSTR psz = strText;
    int n = strText.GetLength();
    for (int i = 0; i < n;) {
        // The shortest run of bytes that makes one character: one, a lead
        // byte and its trail, or a UTF-8 sequence.
        WCHAR wch[2];
        int nBytes = 1, nChars = 0;
        for (; nBytes <= 4 && i + nBytes <= n; nBytes++) {
            nChars = ::MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, psz + i, nBytes, wch, 2);
            if (nChars == 1 || (nChars == 2 && IS_SURROGATE_PAIR(wch[0], wch[1])))
                break;
            nChars = 0;
        }
        if (nChars == 0) {   // no character starts here: this byte alone is dropped
            i++;
            continue;
        }
        i += nBytes;
        if (wch[0] < 0x80 || wch[0] >= 0xA0)   // C1 controls type nothing
            text.append(wch, nChars);
    }
    return text;
}
