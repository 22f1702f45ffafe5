#include "LineReader.h"
#include <mmsystem.h>

// How long a read waits for a first byte. No read is ever cancelled: Windows
// throws away the bytes a cancelled read holds. So a stop, or a command for
// the device, is served between reads, at most this long after it came.
static const DWORD kWaitMs = 50;

CLineReader::CLineReader()
    : m_hStop(::CreateEventA(NULL, TRUE, FALSE, NULL)), m_hWake(::CreateEventA(NULL, FALSE, FALSE, NULL))
{
}

CLineReader::~CLineReader()
{
    Stop();
    for (HANDLE hEvent : { m_hStop, m_hWake }) {
        if (hEvent != NULL)
            ::CloseHandle(hEvent);
    }
}

void CLineReader::Start(CBufferedCommPort& port, HWND hWnd, UINT nMsg)
{
    Stop();
    m_scans.clear();
    m_pPort = &port;
    m_hWnd = hWnd;
    m_nMsg = nMsg;
    m_dwSendError = 0;
    // Without the events the thread could not be stopped or woken: the poll
    // reads instead.
    if (m_hStop != NULL && m_hWake != NULL && ::ResetEvent(m_hStop))
        m_hThread = ::CreateThread(NULL, 0, Run, this, 0, NULL);
    // Windows times waits in steps of its timer, 15.6 ms unless a program
    // asks for finer: a scan quiet shorter than that would wait a step.
    if (m_hThread != NULL && port.ScanQuiet() < 16)
        m_bFineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
}

std::deque<std::wstring> CLineReader::Stop()
{
    if (m_hThread != NULL) {
        ::SetEvent(m_hStop);
        ::WaitForSingleObject(m_hThread, INFINITE);   // the end of its read
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    if (m_bFineTimer)
        ::timeEndPeriod(1);
    m_bFineTimer = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    // What the thread had not sent yet goes with the port's next read, by
    // the poll or by the next thread.
    if (m_pPort != NULL)
        m_pPort->Send(m_toSend);
    m_toSend.clear();
    m_bLost = false;
    return std::move(m_scans);
}

void CLineReader::Send(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_toSend += bytes;
    }
    // On Windows a write waits for the read under way on the same handle:
    // the thread writes once its read has ended.
    ::SetEvent(m_hWake);
}

DWORD CLineReader::TakeSendError()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD dwError = m_dwSendError;
    m_dwSendError = 0;
    return dwError;
}

bool CLineReader::TakeScan(std::wstring& scan)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_scans.empty())
        return false;
    scan = std::move(m_scans.front());
    m_scans.pop_front();
    return true;
}

bool CLineReader::IsLost()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bLost && m_scans.empty();
}

DWORD WINAPI CLineReader::Run(LPVOID pThis)
{
    CLineReader& reader = *(CLineReader*)pThis;
    CBufferedCommPort& port = *reader.m_pPort;
    while (!reader.IsStopping()) {
        {
            std::lock_guard<std::mutex> lock(reader.m_mutex);
            port.Send(reader.m_toSend);
            reader.m_toSend.clear();
        }
        std::wstring scan;
        ULONGLONG nStart = ::GetTickCount64();
        ReadResult result = port.ReadAvailable(scan, CP_ACP, kWaitMs);
        DWORD dwSendError = port.TakeSendError();
        if (result == READ_IDLE && dwSendError == 0) {
            // A read that found nothing before its wait was over is a line
            // going away (a pty whose far end closed reads nothing at once),
            // a stop, or bytes to send: the thread waits out the rest, as
            // the poll would, unless there is something to send.
            ULONGLONG nWaited = ::GetTickCount64() - nStart;
            HANDLE events[2] = { reader.m_hStop, reader.m_hWake };
            if (nWaited < kWaitMs && !port.IsSending())
                ::WaitForMultipleObjects(2, events, FALSE, (DWORD)(kWaitMs - nWaited));
            continue;
        }
        if (result == READ_ARRIVING && dwSendError == 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(reader.m_mutex);
            if (result == READ_SCAN)
                reader.m_scans.push_back(std::move(scan));
            else if (result == READ_LOST)
                reader.m_bLost = true;
            if (dwSendError != 0)
                reader.m_dwSendError = dwSendError;
        }
        ::PostMessageA(reader.m_hWnd, reader.m_nMsg, 0, 0);
        if (result == READ_LOST)
            break;
    }
    return 0;
}
