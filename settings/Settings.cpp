#include "Settings.h"
#include "../fw/MessageBox.h"
#include <vector>

RegistryCalls g_registry = { ::RegCreateKeyExA, ::RegOpenKeyExA };

const char kSettingsKeyPath[] = "Software\\Vimo Technologies\\VimoBrindleQV";

// The program was a 32-bit program, so its machine-wide settings have always
// been in that registry view; both builds keep them there, in one place.
static const REGSAM kMachineView = KEY_WOW64_32KEY;

// Each setting's stored value and its default.
template <class T> struct SettingValue { LPCSTR pszName; LPCSTR pszDefault; CString T::*pstr; };
static const SettingValue<PortSettings> kPortValues[] = {
    { "COMMPORT", "COM 1", &PortSettings::m_strPort },
    { "BAUDRATE", "9600", &PortSettings::m_strBaudRate },
    { "DATABITS", "8", &PortSettings::m_strDataBits },
    { "PARITY", "None", &PortSettings::m_strParity },
    { "StopBit", "1", &PortSettings::m_strStopBits },
    { "FlowControl", "None", &PortSettings::m_strFlowControl },
};
static const SettingValue<RuleSettings> kRuleValues[] = {
    { "ScanPrefix", "", &RuleSettings::m_strPrefix },
    { "ScanSuffix", "", &RuleSettings::m_strSuffix },
    { "ScanPattern", "", &RuleSettings::m_strPattern },
    { "ScanNoMatch", "", &RuleSettings::m_strNoMatch },
    { "ScanSkipRepeats", "", &RuleSettings::m_strSkipRepeats },
    { "KeyDelay", "", &RuleSettings::m_strKeyDelay },
    { "ScanAtOnce", "", &RuleSettings::m_strAtOnce },
    { "ScanOutput", "", &RuleSettings::m_strOutput },
    { "ScanReplace", "", &RuleSettings::m_strReplace },
    { "ScanReplaceWith", "", &RuleSettings::m_strReplaceWith },
    { "ScanRepeatSeconds", "", &RuleSettings::m_strRepeatSeconds },
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
// false when the value cannot be read.
static bool QueryText(HKEY hKey, LPCSTR pszName, CString& strText)
{
    std::vector<char> area;
    DWORD dwSize = 0;
    LONG lResult;
    do {   // the value can grow between learning its size and reading it
        area.assign(dwSize + 1, '\0');   // one NUL more than the value can fill
        lResult = ::RegQueryValueExA(hKey, pszName, NULL, NULL, (LPBYTE)area.data(), &dwSize);
    } while (lResult == ERROR_MORE_DATA);
    if (lResult != ERROR_SUCCESS)
        return false;
    strText = area.data();
    return true;
}

// bEmptyIsChoice: a stored empty text is taken (a rule switched off), rather
// than counting as no value.
template <class T, size_t N>
static void LoadValues(T& settings, const SettingValue<T> (&values)[N], bool bEmptyIsChoice)
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
        for (const SettingValue<T>& value : values) {
            CString strText;
            bool bFound = false;
            for (int k = 0; k < nKeys && !bFound; k++)
                bFound = QueryText(keys[k], value.pszName, strText) && (bEmptyIsChoice || !strText.IsEmpty());
            settings.*value.pstr = bFound ? strText : CString(value.pszDefault);
        }
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
    for (int k = 0; k < nKeys; k++)
        ::RegCloseKey(keys[k]);
}

void LoadPortSettings(PortSettings& settings)
{
    LoadValues(settings, kPortValues, false);
}

void LoadRuleSettings(RuleSettings& settings)
{
    LoadValues(settings, kRuleValues, true);
}

// Stores the texts under the root, the key created where it is missing;
// false when refused, the last error saying why. Asks only to set values:
// without elevation Windows refuses more under HKEY_LOCAL_MACHINE even where
// an administrator granted users that.
template <class T, size_t N>
static bool WriteValues(HKEY hRoot, REGSAM samView, const T& settings, const SettingValue<T> (&values)[N])
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
    for (const SettingValue<T>& value : values) {
        const CString& str = settings.*value.pstr;
        ::RegSetValueExA(hKey, value.pszName, 0, REG_SZ, (const BYTE*)(LPCSTR)str, str.GetLength() + 1);
    }
    ::RegCloseKey(hKey);
    return true;
}

// Removes the values from the user's key at the path, where it has them.
template <class T, size_t N>
static void DeleteValues(LPCSTR pszPath, const SettingValue<T> (&values)[N])
{
    HKEY hKey;
    if (g_registry.pfnOpenKey(HKEY_CURRENT_USER, pszPath, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    for (const SettingValue<T>& value : values)
        ::RegDeleteValueA(hKey, value.pszName);
    ::RegCloseKey(hKey);
}

template <class T, size_t N>
static void SaveValues(const T& settings, const SettingValue<T> (&values)[N])
{
    try {
        if (WriteValues(HKEY_LOCAL_MACHINE, kMachineView, settings, values)) {
            // The user's copies are read first: they would hide what was just
            // stored. Only these values go: the others were not stored here.
            DeleteValues(kSettingsKeyPath, values);
            DeleteValues(VirtualStorePath(), values);
        } else if (!WriteValues(HKEY_CURRENT_USER, 0, settings, values)) {
            ShowSystemErrorText(::GetLastError());
        }
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}

void SavePortSettings(const PortSettings& settings)
{
    SaveValues(settings, kPortValues);
}

void SaveRuleSettings(const RuleSettings& settings)
{
    SaveValues(settings, kRuleValues);
}
