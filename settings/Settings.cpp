#include "Settings.h"
#include "Profiles.h"
#include "../fw/MessageBox.h"
#include <algorithm>
#include <vector>

RegistryCalls g_registry = { ::RegCreateKeyExA, ::RegOpenKeyExA, ::RegSetValueExA };

const char kSettingsKeyPath[] = "Software\\Vimo Technologies\\VimoBrindleQV";
const char kPolicyKeyPath[] = "SOFTWARE\\Policies\\Vimo Technologies\\VimoBrindleQV";
const char kProfilesPolicy[] = "PROFILES";

static CString g_strProfile;

void SelectProfile(LPCSTR pszName)
{
    g_strProfile = pszName;
}

const CString& ProfileName()
{
    return g_strProfile;
}

// The key of the selected profile below one of the settings' places.
static CString InProfile(LPCSTR pszPath)
{
    CString strPath(pszPath);
    if (!g_strProfile.IsEmpty()) {
        strPath += "\\Profiles\\";
        strPath += g_strProfile;
    }
    return strPath;
}

// The program was a 32-bit program, so its machine-wide settings have always
// been in that registry view; both builds keep them there, in one place.
static const REGSAM kMachineView = KEY_WOW64_32KEY;
// Group Policy writes its values in the system's own view.
static const REGSAM kPolicyView = KEY_WOW64_64KEY;

// Each setting's stored value and its default.
template <class T> struct SettingValue { LPCSTR pszName; LPCSTR pszDefault; CString T::*pstr; };
// Rules: a stored empty text is taken (a rule switched off), rather than
// counting as no value.
template <class T> constexpr bool kEmptyIsChoice = false;
template <> constexpr bool kEmptyIsChoice<RuleSettings> = true;
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
    { "ScanQuietMs", "", &RuleSettings::m_strQuietMs },
    { "TypeBy", "", &RuleSettings::m_strTypeBy },
    { "ScanOutput", "", &RuleSettings::m_strOutput },
    { "ScanReplace", "", &RuleSettings::m_strReplace },
    { "ScanReplaceWith", "", &RuleSettings::m_strReplaceWith },
    { "ScanRepeatSeconds", "", &RuleSettings::m_strRepeatSeconds },
    { "OpenCommand", "", &RuleSettings::m_strOpenCommand },
    { "RequestCommand", "", &RuleSettings::m_strRequestCommand },
    { "RequestHotkey", "", &RuleSettings::m_strRequestHotkey },
    { "RequestInterval", "", &RuleSettings::m_strRequestInterval },
    { "RaiseDTR", "", &RuleSettings::m_strRaiseDTR },
    { "RaiseRTS", "", &RuleSettings::m_strRaiseRTS },
    { "Handshake", "", &RuleSettings::m_strHandshake },
    { "AllowedSenders", "", &RuleSettings::m_strAllowedSenders },
    { "TargetWindow", "", &RuleSettings::m_strTarget },
    { "TargetActivate", "", &RuleSettings::m_strActivate },
    { "LogFile", "", &RuleSettings::m_strLogFile },
    { "LogOnly", "", &RuleSettings::m_strLogOnly },
    { "LogSeparator", "", &RuleSettings::m_strLogSeparator },
    { "WebPort", "", &RuleSettings::m_strWebPort },
    { "WebOrigins", "", &RuleSettings::m_strWebOrigins },
};

// Where registry virtualization put the machine-wide settings of the 32-bit
// program for a user without the rights to write them: below WOW6432Node on
// 64-bit Windows, where a 32-bit program's view of the machine lies.
static CString VirtualStorePath()
{
    BOOL bWindows64 = TRUE;
#ifndef _WIN64
    if (!::IsWow64Process(::GetCurrentProcess(), &bWindows64))
        bWindows64 = FALSE;
#endif
    return InProfile(bWindows64
                         ? "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Vimo Technologies\\VimoBrindleQV"
                         : "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Vimo Technologies\\VimoBrindleQV");
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

// The value's text, where the key holds one that counts as a setting.
template <class T>
static bool FindText(HKEY hKey, const SettingValue<T>& value, CString& strText)
{
    return QueryText(hKey, value.pszName, strText) && (kEmptyIsChoice<T> || !strText.IsEmpty());
}

// The policy keys there are, the selected profile's first: a policy of the
// program holds in every profile, and a profile's own fixes more on top of it.
static int OpenPolicyKeys(HKEY (&keys)[2])
{
    std::vector<CString> paths = { InProfile(kPolicyKeyPath) };
    if (!g_strProfile.IsEmpty())
        paths.push_back(kPolicyKeyPath);
    int nKeys = 0;
    for (const CString& strPath : paths) {
        if (g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, strPath, 0, KEY_QUERY_VALUE | kPolicyView, &keys[nKeys]) ==
            ERROR_SUCCESS)
            nKeys++;
    }
    return nKeys;
}

// Each value a policy fixes, with its text.
template <class T, size_t N>
static std::vector<std::pair<const SettingValue<T>*, CString>> PolicyTexts(const SettingValue<T> (&values)[N])
{
    std::vector<std::pair<const SettingValue<T>*, CString>> fixed;
    HKEY keys[2];
    int nKeys = OpenPolicyKeys(keys);
    for (const SettingValue<T>& value : values) {
        CString strText;
        bool bFound = false;
        for (int k = 0; k < nKeys && !bFound; k++)
            bFound = FindText(keys[k], value, strText);
        if (bFound)
            fixed.push_back({ &value, strText });
    }
    for (int k = 0; k < nKeys; k++)
        ::RegCloseKey(keys[k]);
    return fixed;
}

template <class T, size_t N>
static std::vector<const SettingValue<T>*> PolicyValues(const SettingValue<T> (&values)[N])
{
    std::vector<const SettingValue<T>*> fixed;
    for (const auto& policy : PolicyTexts(values))
        fixed.push_back(policy.first);
    return fixed;
}

template <class T, size_t N>
static void TakePolicyValues(T& settings, const SettingValue<T> (&values)[N])
{
    for (const auto& policy : PolicyTexts(values))
        settings.*policy.first->pstr = policy.second;
}

template <class T, size_t N>
static std::vector<CString T::*> FixedStrings(const SettingValue<T> (&values)[N])
{
    std::vector<CString T::*> strings;
    for (const SettingValue<T>* pValue : PolicyValues(values))
        strings.push_back(pValue->pstr);
    return strings;
}

template <class T, size_t N>
static void LoadValues(T& settings, const SettingValue<T> (&values)[N])
{
    HKEY keys[3];
    int nKeys = 0;
    try {
        // Reading needs no more than reading: what an administrator stored
        // loads for every user. A policy wins over everything.
        const struct { HKEY hRoot; CString strPath; REGSAM samView; } places[3] = {
            { HKEY_CURRENT_USER, InProfile(kSettingsKeyPath), 0 },
            { HKEY_CURRENT_USER, VirtualStorePath(), 0 },
            { HKEY_LOCAL_MACHINE, InProfile(kSettingsKeyPath), kMachineView },
        };
        for (const auto& place : places) {
            if (g_registry.pfnOpenKey(place.hRoot, place.strPath, 0, KEY_QUERY_VALUE | place.samView,
                                      &keys[nKeys]) == ERROR_SUCCESS)
                nKeys++;
        }
        for (const SettingValue<T>& value : values) {
            CString strText;
            bool bFound = false;
            for (int k = 0; k < nKeys && !bFound; k++)
                bFound = FindText(keys[k], value, strText);
            settings.*value.pstr = bFound ? strText : CString(value.pszDefault);
        }
        TakePolicyValues(settings, values);
    } catch (const std::exception& e) {
        ShowExceptionText(e);
    }
    for (int k = 0; k < nKeys; k++)
        ::RegCloseKey(keys[k]);
}

void LoadPortSettings(PortSettings& settings)
{
    LoadValues(settings, kPortValues);
}

void LoadRuleSettings(RuleSettings& settings)
{
    LoadValues(settings, kRuleValues);
}

void TakePolicyRules(RuleSettings& settings)
{
    TakePolicyValues(settings, kRuleValues);
}

void TakePolicyPortSettings(PortSettings& settings)
{
    TakePolicyValues(settings, kPortValues);
}

std::vector<CString> ProfilesAllowedByPolicy()
{
    std::vector<CString> names;
    HKEY hKey;
    if (g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, kPolicyKeyPath, 0, KEY_QUERY_VALUE | kPolicyView, &hKey) !=
        ERROR_SUCCESS)
        return names;
    CString strList;
    if (QueryText(hKey, kProfilesPolicy, strList) && !strList.IsEmpty()) {
        for (CString& strName : SplitProfileList(strList)) {
            strName.Trim();
            names.push_back(strName);
        }
    }
    ::RegCloseKey(hKey);
    return names;
}

std::vector<CString PortSettings::*> PortSettingsFixedByPolicy()
{
    return FixedStrings(kPortValues);
}

std::vector<CString RuleSettings::*> RuleSettingsFixedByPolicy()
{
    return FixedStrings(kRuleValues);
}

// Stores the texts under the root, the key created where it is missing;
// false when the key or a value is refused, the last error saying why. Asks
// only to set values: without elevation Windows refuses more under
// HKEY_LOCAL_MACHINE even where an administrator granted users that.
template <class T>
static bool WriteValues(HKEY hRoot, REGSAM samView, const T& settings, const std::vector<const SettingValue<T>*>& values)
{
    HKEY hKey = NULL;
    const REGSAM sam = KEY_SET_VALUE | samView;
    const CString strPath = InProfile(kSettingsKeyPath);
    LONG lResult = g_registry.pfnCreateKey(hRoot, strPath, 0, NULL, REG_OPTION_NON_VOLATILE, sam, NULL,
                                           &hKey, NULL);
    if (lResult != ERROR_SUCCESS)
        lResult = g_registry.pfnOpenKey(hRoot, strPath, 0, sam, &hKey);
    // Each text is stored whole, with its terminating NUL counted.
    for (size_t i = 0; i < values.size() && lResult == ERROR_SUCCESS; i++) {
        const CString& str = settings.*values[i]->pstr;
        lResult = g_registry.pfnSetValue(hKey, values[i]->pszName, 0, REG_SZ, (const BYTE*)(LPCSTR)str,
                                         str.GetLength() + 1);
    }
    if (hKey != NULL)
        ::RegCloseKey(hKey);
    // The registry returns its error rather than setting the thread's.
    ::SetLastError((DWORD)lResult);
    return lResult == ERROR_SUCCESS;
}

// Removes the values from the user's key at the path, where it has them;
// false when the key or a value it has is refused, the last error saying why.
template <class T>
static bool DeleteValues(LPCSTR pszPath, const std::vector<const SettingValue<T>*>& values)
{
    HKEY hKey;
    LONG lResult = g_registry.pfnOpenKey(HKEY_CURRENT_USER, pszPath, 0, KEY_SET_VALUE, &hKey);
    if (lResult == ERROR_FILE_NOT_FOUND)
        return true;   // no copies there
    bool bOpen = lResult == ERROR_SUCCESS;
    for (size_t i = 0; i < values.size() && lResult == ERROR_SUCCESS; i++) {
        lResult = ::RegDeleteValueA(hKey, values[i]->pszName);
        if (lResult == ERROR_FILE_NOT_FOUND)
            lResult = ERROR_SUCCESS;
    }
    if (bOpen)
        ::RegCloseKey(hKey);
    ::SetLastError((DWORD)lResult);
    return lResult == ERROR_SUCCESS;
}

template <class T, size_t N>
static void SaveValues(const T& settings, const SettingValue<T> (&values)[N])
{
    try {
        // What a policy fixes is the administrator's: it is not stored anywhere.
        std::vector<const SettingValue<T>*> fixed = PolicyValues(values), stored;
        for (const SettingValue<T>& value : values) {
            if (std::find(fixed.begin(), fixed.end(), &value) == fixed.end())
                stored.push_back(&value);
        }
        // The user's copies are read first: they would hide what was just
        // stored. Only these values go: the others were not stored here.
        if (WriteValues(HKEY_LOCAL_MACHINE, kMachineView, settings, stored) &&
            DeleteValues(InProfile(kSettingsKeyPath), stored) && DeleteValues(VirtualStorePath(), stored))
            return;
        if (!WriteValues(HKEY_CURRENT_USER, 0, settings, stored))
            ShowSystemErrorText(::GetLastError());
    } catch (const std::exception& e) {
        ShowExceptionText(e);
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
