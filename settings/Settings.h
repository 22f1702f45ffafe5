// The registry calls that open the settings key. Wine's registry never refuses
// access, so tests put refusing stand-ins here.
#pragma once
#include <windows.h>

struct RegistryCalls {
    LONG (WINAPI* pfnCreateKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
    LONG (WINAPI* pfnOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
};
extern RegistryCalls g_registry;
