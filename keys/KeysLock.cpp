#include "KeysLock.h"
#include <string>

// One object per desktop of the session: the keys of another desktop go
// elsewhere and need not wait.
static std::string LockName()
{
    std::string strName = "Local\\Brindlequaverly.Keys.";
    char szDesktop[256] = "";
    if (::GetUserObjectInformationA(::GetThreadDesktop(::GetCurrentThreadId()), UOI_NAME, szDesktop,
                                    sizeof szDesktop, NULL))
        strName += szDesktop;
    return strName;
}

CKeysLock::~CKeysLock()
{
    Release();
    if (m_hMutex != NULL)
        ::CloseHandle(m_hMutex);
}

bool CKeysLock::TryTake()
{
    if (m_bHeld)
        return true;
    if (m_hMutex == NULL)
        m_hMutex = ::CreateMutexA(NULL, FALSE, LockName().c_str());
    // Without the object the keys go out unguarded, as before there was one.
    if (m_hMutex == NULL)
        return true;
    // An abandoned lock (its holder ended mid-scan) is taken as a free one.
    DWORD dwWait = ::WaitForSingleObject(m_hMutex, 0);
    m_bHeld = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    return m_bHeld;
}

void CKeysLock::Release()
{
    if (m_bHeld)
        ::ReleaseMutex(m_hMutex);
    m_bHeld = false;
}
