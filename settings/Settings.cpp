#include "Settings.h"
#include "../fw/MessageBox.h"
#include <vector>

RegistryCalls g_registry = { ::RegCreateKeyExA, ::RegOpenKeyExA };

const char kSettingsKeyPath[] = "Software\\Vimo Technologies\\VimoBrindleQV";

// The stored values, in the order of the six setting strings.
struct SettingValue { LPCSTR pszName; LPCSTR pszDefault; };
static const SettingValue kValues[6] = {
    { "COMMPORT", "COM 1" },
    { "BAUDRATE", "9600" },
    { "DATABITS", "8" },
    { "PARITY", "None" },
    { "StopBit", "1" },
    { "FlowControl", "None" },
};

// Creates the key or opens it with full access; on failure the last error says why.
static HKEY OpenSettingsKey()
{
    HKEY hKey = NULL;
    DWORD dwDisposition;
    LONG lResult = g_registry.pfnCreateKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, NULL, &hKey, &dwDisposition);
    if (lResult != ERROR_SUCCESS)
        lResult = g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &hKey);
    if (lResult != ERROR_SUCCESS) {
        // The registry returns its error rather than setting the thread's.
        ::SetLastError((DWORD)lResult);
        return NULL;
    }
    return hKey;
}

// A value's bytes as text up to their first NUL, whatever its length and type;
// empty when the value cannot be read.
static CString QueryText(HKEY hKey, LPCSTR pszName)
{
    std::vector<char> area;
    DWORD dwSize = 0;
    LONG lResult;
    do {   // the value can grow between learning its size and reading it
        area.assign(dwSize + 1, '\0');   // one NUL more than the value can fill
        lResult = ::RegQueryValueExA(hKey, pszName, NULL, NULL, (LPBYTE)area.data(), &dwSize);
    } while (lResult == ERROR_MORE_DATA);
    if (lResult != ERROR_SUCCESS)
        return CString();
    return CString(area.data());
}

void LoadPortSettings(CString& strPort, CString& strBaudRate, CString& strDataBits,
                      CString& strParity, CString& strStopBits, CString& strFlowControl)
{
    CString* const settings[6] = { &strPort, &strBaudRate, &strDataBits, &strParity, &strStopBits, &strFlowControl };
    try {
        HKEY hKey = OpenSettingsKey();
        // Reading needs no write access: settings an administrator stored still load.
        if (hKey == NULL && g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return;
        CString texts[6];
        for (int i = 0; i < 6; i++)
            texts[i] = QueryText(hKey, kValues[i].pszName);
        ::RegCloseKey(hKey);
        for (int i = 0; i < 6; i++)
            *settings[i] = texts[i].IsEmpty() ? CString(kValues[i].pszDefault) : texts[i];
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}

void SavePortSettings(const CString& strPort, const CString& strBaudRate, const CString& strDataBits,
                      const CString& strParity, const CString& strStopBits, const CString& strFlowControl)
{
    const CString* const settings[6] = { &strPort, &strBaudRate, &strDataBits, &strParity, &strStopBits, &strFlowControl };
    try {
        HKEY hKey = OpenSettingsKey();
        if (hKey == NULL) {
            ShowSystemErrorText(::GetLastError());
            return;
        }
        // Each text is stored whole, with its terminating NUL counted.
        for (int i = 0; i < 6; i++) {
            const CString& str = *settings[i];
            ::RegSetValueExA(hKey, kValues[i].pszName, 0, REG_SZ, (const BYTE*)(LPCSTR)str, str.GetLength() + 1);
        }
        ::RegCloseKey(hKey);
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}
