#include "LineReader.h"

// How long a read waits for a first byte. Windows ends the wait at once when
// the reader stops (CancelSynchronousIo); Wine cannot cancel a read, so there
// closing the port waits for the read's end, at most this long.
static const DWORD kWaitMs = 500;

void CLineReader::Start(CBufferedCommPort& port, HWND hWnd, UINT nMsg)
{
    Stop();
    m_pPort = &port;
    m_hWnd = hWnd;
    m_nMsg = nMsg;
    m_bStop = FALSE;
    m_bLost = false;
    m_hThread = ::CreateThread(NULL, 0, Run, this, 0, NULL);
}

void CLineReader::Stop()
{
    if (m_hThread != NULL) {
        ::InterlockedExchange(&m_bStop, TRUE);
        ::CancelSynchronousIo(m_hThread);
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scans.clear();
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
    while (!reader.m_bStop) {
        std::wstring scan;
        ReadResult result = reader.m_pPort->ReadAvailable(scan, CP_ACP, kWaitMs);
        if (result != READ_SCAN && result != READ_LOST)
            continue;
        {
            std::lock_guard<std::mutex> lock(reader.m_mutex);
            if (result == READ_SCAN)
                reader.m_scans.push_back(std::move(scan));
            else
                reader.m_bLost = true;
        }
        ::PostMessageA(reader.m_hWnd, reader.m_nMsg, 0, 0);
        if (result == READ_LOST)
            break;
    }
    return 0;
}
