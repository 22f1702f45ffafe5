// The six line settings, kept as text values under one machine-wide key.
#pragma once
#include <windows.h>
#include "../fw/String.h"

// The key under HKEY_LOCAL_MACHINE.
extern const char kSettingsKeyPath[];

// Sets each string to its stored value, or to its default where none is
// stored; leaves all six as they are when the key cannot be opened at all.
void LoadPortSettings(CString& strPort, CString& strBaudRate, CString& strDataBits,
                      CString& strParity, CString& strStopBits, CString& strFlowControl);
// Stores the six strings; when the key is refused, shows the system's text for
// the refusal and stores nothing.
void SavePortSettings(const CString& strPort, const CString& strBaudRate, const CString& strDataBits,
                      const CString& strParity, const CString& strStopBits, const CString& strFlowControl);

// The registry calls that open the key. Wine's registry never refuses access,
// so tests put refusing stand-ins here.
struct RegistryCalls {
    LONG (WINAPI* pfnCreateKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
    LONG (WINAPI* pfnOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
};
extern RegistryCalls g_registry;
