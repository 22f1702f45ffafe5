// Polls a condition, for what another thread or process does in its own time.
#pragma once
#include <windows.h>

template <class F> bool WaitUntil(F done, DWORD ms = 3000)
{
    for (DWORD t = 0; t < ms; t += 20) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}
