#include "Settings.h"
#include "../fw/MessageBox.h"
#include <vector>

RegistryCalls g_registry = { ::RegCreateKeyExA, ::RegOpenKeyExA };

const char kSettingsKeyPath[] = "Software\\Vimo Technologies\\VimoBrindleQV";

// The program was a 32-bit program, so its machine-wide settings have always
// been in that registry view; both builds keep them there, in one place.
static const REGSAM kMachineView = KEY_WOW64_32KEY;

// Each setting's stored value and its default.
struct SettingValue { LPCSTR pszName; LPCSTR pszDefault; CString PortSettings::*pstr; };
static const SettingValue kValues[] = {
    { "COMMPORT", "COM 1", &PortSettings::m_strPort },
    { "BAUDRATE", "9600", &PortSettings::m_strBaudRate },
    { "DATABITS", "8", &PortSettings::m_strDataBits },
    { "PARITY", "None", &PortSettings::m_strParity },
    { "StopBit", "1", &PortSettings::m_strStopBits },
    { "FlowControl", "None", &PortSettings::m_strFlowControl },
};

// Where registry virtualization put the machine-wide settings of the 32-bit
// program for a user without the rights to write them: below WOW6432Node on
// 64-bit Windows, where a 32-bit program's view of the machine lies.
static LPCSTR VirtualStorePath()
{
    BOOL bWindows64 = TRUE;
#ifndef _WIN64
    if (!::IsWow64Process(::GetCurrentProcess(), &bWindows64))
        bWindows64 = FALSE;
#endif
    return bWindows64 ? "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Vimo Technologies\\VimoBrindleQV"
                      : "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Vimo Technologies\\VimoBrindleQV";
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

void LoadPortSettings(PortSettings& settings)
{
    HKEY keys[3];
    int nKeys = 0;
    try {
        // Reading needs no more than reading: what an administrator stored
        // loads for every user.
        const struct { HKEY hRoot; LPCSTR pszPath; REGSAM samView; } places[3] = {
            { HKEY_CURRENT_USER, kSettingsKeyPath, 0 },
            { HKEY_CURRENT_USER, VirtualStorePath(), 0 },
            { HKEY_LOCAL_MACHINE, kSettingsKeyPath, kMachineView },
        };
        for (const auto& place : places) {
            if (g_registry.pfnOpenKey(place.hRoot, place.pszPath, 0, KEY_QUERY_VALUE | place.samView,
                                      &keys[nKeys]) == ERROR_SUCCESS)
                nKeys++;
        }
        for (const SettingValue& value : kValues) {
            CString strText;
            for (int k = 0; k < nKeys && strText.IsEmpty(); k++)
                strText = QueryText(keys[k], value.pszName);
            settings.*value.pstr = strText.IsEmpty() ? CString(value.pszDefault) : strText;
        }
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
    for (int k = 0; k < nKeys; k++)
        ::RegCloseKey(keys[k]);
}

// Stores the six texts under the root, the key created where it is missing;
// false when refused, the last error saying why. Asks only to set values:
// without elevation Windows refuses more under HKEY_LOCAL_MACHINE even where
// an administrator granted users that.
static bool WriteSettings(HKEY hRoot, REGSAM samView, const PortSettings& settings)
{
    HKEY hKey = NULL;
    const REGSAM sam = KEY_SET_VALUE | samView;
    LONG lResult = g_registry.pfnCreateKey(hRoot, kSettingsKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE, sam, NULL,
                                           &hKey, NULL);
    if (lResult != ERROR_SUCCESS)
        lResult = g_registry.pfnOpenKey(hRoot, kSettingsKeyPath, 0, sam, &hKey);
    if (lResult != ERROR_SUCCESS) {
        // The registry returns its error rather than setting the thread's.
        ::SetLastError((DWORD)lResult);
        return false;
    }
    // Each text is stored whole, with its terminating NUL counted.
    for (const SettingValue& value : kValues) {
        const CString& str = settings.*value.pstr;
        ::RegSetValueExA(hKey, value.pszName, 0, REG_SZ, (const BYTE*)(LPCSTR)str, str.GetLength() + 1);
    }
    ::RegCloseKey(hKey);
    return true;
}

void SavePortSettings(const PortSettings& settings)
{
    try {
        if (WriteSettings(HKEY_LOCAL_MACHINE, kMachineView, settings)) {
            // The user's copies are read first: they would hide what was just stored.
            ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
            ::RegDeleteKeyA(HKEY_CURRENT_USER, VirtualStorePath());
        } else if (!WriteSettings(HKEY_CURRENT_USER, 0, settings)) {
            ShowSystemErrorText(::GetLastError());
        }
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}
