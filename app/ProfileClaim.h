// One window per profile: the first start of a profile claims it for the
// user's session; a later start hands its request to the first window.
#pragma once
#include <windows.h>
#include "../fw/String.h"

class CProfileClaim {
public:
    // Claims the profile (names in any case are one profile, as their
    // registry keys are); the empty name claims nothing.
    explicit CProfileClaim(const CString& strName);
    // Lets the profile go with this process's end.
    ~CProfileClaim();
    CProfileClaim(const CProfileClaim&) = delete;
    CProfileClaim& operator=(const CProfileClaim&) = delete;

    // Another process of the session holds the profile.
    bool IsTaken() const { return m_bTaken; }

private:
    HANDLE m_hClaim;   // NULL without a profile
    bool m_bTaken;
};

// Brings the window titled strTitle of the first start forward, opening its
// port when bOpenPort asks it to; it may still be starting up.
void HandToFirstWindow(const CString& strTitle, bool bOpenPort);
