#include "CommPort.h"
#include "../fw/MessageBox.h"

static_assert(sizeof(DCB) == 28, "the line-state record is 28 bytes");
#ifndef _WIN64
static_assert(sizeof(HANDLE) == 4, "a 32-bit build holds a 32-bit handle");
#endif

PortReads g_portReads = { ::ReadFile, ::ClearCommError };

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
        // depends on the driver.
        m_bDeviceGone = dwError == ERROR_ACCESS_DENIED || dwError == ERROR_BAD_COMMAND ||
                        dwError == ERROR_DEVICE_REMOVED || dwError == ERROR_GEN_FAILURE ||
                        dwError == ERROR_OPERATION_ABORTED;
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

    CString strPath = DevicePath(pszPort);
    m_hComm = ::CreateFileA(strPath, dwDesiredAccess, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (m_hComm == INVALID_HANDLE_VALUE)
        return kPortCannotBeOpened;
    m_hClaim = ClaimDevice(strPath);

    // A refused step leaves the line in no known state: give the handle back.
    LPCSTR pszFailure = NULL;
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    if (m_hClaim == NULL || !::GetCommState(m_hComm, &dcb)) {
        pszFailure = kPortCannotBeOpened;
    } else {
        dcb.BaudRate = dwBaudRate;
        dcb.ByteSize = byByteSize;
        dcb.Parity = byParity;
        dcb.StopBits = byStopBits;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        // Whatever another program left: no byte replaced or dropped, and no
        // line error that stops the reads until it is acknowledged.
        dcb.fBinary = TRUE;
        dcb.fAbortOnError = FALSE;
        dcb.fNull = FALSE;
        dcb.fErrorChar = FALSE;
        COMMTIMEOUTS timeouts = { 0, 0, 10, 0, 10 };
        // Some drivers (and Wine) take a rate they cannot run and put another
        // in its place: what the line runs at is only known by reading it back.
        // Only the rate: a pty reports 8 data bits and no parity whatever it was given.
        DCB applied = {};
        applied.DCBlength = sizeof(DCB);
        if (!::SetCommState(m_hComm, &dcb) || !::GetCommState(m_hComm, &applied) || applied.BaudRate != dwBaudRate)
            pszFailure = kLineSettingsNotSupported;
        else if (!::SetCommTimeouts(m_hComm, &timeouts))
            pszFailure = kPortCannotBeOpened;
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

BOOL CCommPort::IsLost()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    return m_hComm != INVALID_HANDLE_VALUE && (m_bDeviceGone || !::GetCommState(m_hComm, &dcb));
}

BOOL CBufferedCommPort::OpenPort(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize,
                                 BYTE byParity, BYTE byStopBits)
{
    m_line = { pszPort, dwBaudRate, byByteSize, byParity, byStopBits };
    return CCommPort::Open(pszPort, dwBaudRate, byByteSize, byParity, byStopBits, GENERIC_READ);
}

LPCSTR CBufferedCommPort::OpenPortSilently(LPCSTR pszPort, DWORD dwBaudRate, BYTE byByteSize,
                                           BYTE byParity, BYTE byStopBits)
{
    m_line = { pszPort, dwBaudRate, byByteSize, byParity, byStopBits };
    return OpenLine(pszPort, dwBaudRate, byByteSize, byParity, byStopBits, GENERIC_READ);
}

BOOL CBufferedCommPort::Reopen()
{
    return OpenLine(m_line.strPort, m_line.dwBaudRate, m_line.byByteSize, m_line.byParity,
                    m_line.byStopBits, GENERIC_READ) == NULL;
}

void CBufferedCommPort::Close()
{
    m_strRxBuffer.Empty();
    m_nWaited = 0;
    m_nQuietReads = 0;
    CCommPort::Close();
}

// How many bytes at the end of the text begin a character that is not complete:
// a lead byte of a double-byte code page, or the first bytes of a UTF-8 sequence.
static int IncompleteTail(const CString& strText, UINT nCodePage)
{
    if (nCodePage == CP_ACP)
        nCodePage = ::GetACP();
    CPINFO info;
    if (!::GetCPInfo(nCodePage, &info) || info.MaxCharSize == 1)
        return 0;
    const unsigned char* p = (const unsigned char*)(LPCSTR)strText;
    int n = strText.GetLength();
    if (nCodePage == CP_UTF8) {
        // The last byte that is no continuation byte says how long its sequence is.
        for (int i = n - 1; i >= 0 && i >= n - 3; i--) {
            if ((p[i] & 0xC0) == 0x80)
                continue;
            int nLength = p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : p[i] >= 0xC0 ? 2 : 1;
            return nLength > n - i ? n - i : 0;
        }
        return 0;
    }
    // A trail byte can look like a lead byte: only a walk from the start tells them apart.
    int i = 0;
    while (i < n)
        i += ::IsDBCSLeadByteEx(nCodePage, p[i]) ? 2 : 1;
    return i - n;
}

DWORD CBufferedCommPort::ReadMore()
{
    char area[kPieceBytes];
    DWORD n = Read(area, kPieceBytes - m_strRxBuffer.GetLength());
    // A NUL cannot stand in the text; drop it alone and keep what follows.
    for (DWORD i = 0; i < n; i++) {
        if (area[i] != '\0')
            m_strRxBuffer += area[i];
    }
    return n;
}

int CBufferedCommPort::ReadAvailable(CString& strText, UINT nCodePage)
{
    strText.Empty();
    // A device sends a scan without a pause, but a USB adapter may hold bytes
    // back for 16 ms: the scan has ended once two reads in a row find the line
    // quiet.
    for (int nReads = 0; nReads < 3 && m_nQuietReads < 2 && !IsFull(); nReads++) {
        m_nQuietReads = ReadMore() == 0 ? m_nQuietReads + 1 : 0;
        if (m_strRxBuffer.IsEmpty()) {   // nothing gathered: an idle line
            m_nQuietReads = 0;
            return 0;
        }
    }
    if (m_nQuietReads < 2 && !IsFull())
        return 0;
    m_nQuietReads = 0;
    // Bytes that waited once go now, complete or not: what cannot be decoded
    // is dropped when the text is typed.
    int nTail = IncompleteTail(m_strRxBuffer, nCodePage);
    if (nTail > m_strRxBuffer.GetLength() - m_nWaited)
        nTail = 0;
    int nLength = m_strRxBuffer.GetLength() - nTail;
    strText = m_strRxBuffer.Left(nLength);
    m_strRxBuffer = m_strRxBuffer.Right(nTail);
    m_nWaited = nTail;
    return nLength;
}
