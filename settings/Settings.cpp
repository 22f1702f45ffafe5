// The six line settings, kept as text values under one machine-wide key.
#include "Settings.h"
#include "../fw/MessageBox.h"
#include "../ui/WedgeDlg.h"
#include <cstring>

RegistryCalls g_registry = { ::RegCreateKeyExA, ::RegOpenKeyExA };

static const char kKeyPath[] = "Software\\Vimo Technologies\\VimoBrindleQV";
static const int kAreaSize = 20;   // a stored text survives a load only with at most 19 characters

struct SettingValue { LPCSTR pszName; CString CWedgeDlg::* pstr; LPCSTR pszDefault; };
static const SettingValue kValues[] = {
    { "COMMPORT", &CWedgeDlg::m_strPort, "COM 1" },
    { "BAUDRATE", &CWedgeDlg::m_strBaudRate, "9600" },
    { "DATABITS", &CWedgeDlg::m_strDataBits, "8" },
    { "PARITY", &CWedgeDlg::m_strParity, "None" },
    { "StopBit", &CWedgeDlg::m_strStopBits, "1" },
    { "FlowControl", &CWedgeDlg::m_strFlowControl, "None" },
};

// Creates the key or opens it with full access; on failure the last error says why.
static HKEY OpenSettingsKey()
{
    HKEY hKey = NULL;
    DWORD dwDisposition;
    LONG lResult = g_registry.pfnCreateKey(HKEY_LOCAL_MACHINE, kKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, NULL, &hKey, &dwDisposition);
    if (lResult != ERROR_SUCCESS)
        lResult = g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_ALL_ACCESS, &hKey);
    if (lResult != ERROR_SUCCESS) {
        // The registry returns its error rather than setting the thread's.
        ::SetLastError((DWORD)lResult);
        return NULL;
    }
    return hKey;
}

void CWedgeDlg::LoadSettings()
{
    try {
        char areas[6][kAreaSize] = {};
        HKEY hKey = OpenSettingsKey();
        // Reading needs no write access: settings an administrator stored still load.
        if (hKey == NULL && g_registry.pfnOpenKey(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return;
        for (int i = 0; i < 6; i++) {
            DWORD dwType, dwSize = kAreaSize;
            if (::RegQueryValueExA(hKey, kValues[i].pszName, NULL, &dwType, (LPBYTE)areas[i], &dwSize) != ERROR_SUCCESS)
                memset(areas[i], 0, kAreaSize);   // a text too long for the area counts as absent
        }
        ::RegCloseKey(hKey);
        for (int i = 0; i < 6; i++) {
            CString& str = this->*kValues[i].pstr;
            str = CString(areas[i], (int)strnlen(areas[i], kAreaSize));
            if (str.IsEmpty() || str.GetLength() == kAreaSize)
                str = kValues[i].pszDefault;
        }
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}

void CWedgeDlg::SaveSettings()
{
    try {
        UpdateData(TRUE);
        HKEY hKey = OpenSettingsKey();
        if (hKey == NULL) {
            ShowSystemErrorText(::GetLastError());
            return;
        }
        // Each text is stored whole, with its terminating NUL counted.
        for (const SettingValue& value : kValues) {
            const CString& str = this->*value.pstr;
            ::RegSetValueExA(hKey, value.pszName, 0, REG_SZ, (const BYTE*)(LPCSTR)str, str.GetLength() + 1);
        }
        ::RegCloseKey(hKey);
    } catch (...) {
        ShowSystemErrorText(::GetLastError());
    }
}
