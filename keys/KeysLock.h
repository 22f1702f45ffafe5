// The keys of the desktop, held by one window of this program at a time, so
// that the keys of two scans never mix: every window of the program on the
// desktop, in any process of the session, takes it before a scan's first key
// and gives it back after its last.
#pragma once
#include <windows.h>

class CKeysLock {
public:
    CKeysLock() = default;
    // Gives the keys back (a process that ends holding them gives them back too).
    ~CKeysLock();
    CKeysLock(const CKeysLock&) = delete;
    CKeysLock& operator=(const CKeysLock&) = delete;

    // Takes the keys without waiting; true when this thread holds them,
    // false while another window's scan is going out.
    bool TryTake();
    void Release();

private:
    HANDLE m_hMutex = NULL;
    bool m_bHeld = false;
};
