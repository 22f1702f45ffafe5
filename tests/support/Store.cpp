#include "Store.h"

namespace Store {

void Clear() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath); }

void Put(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(hKey, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(hKey);
}

void PutText(const char* name, const std::string& text) { Put(name, REG_SZ, text.c_str(), (DWORD)text.size() + 1); }

std::map<std::string, Value> Read()
{
    std::map<std::string, Value> values;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; i++) {
        char name[64];
        BYTE data[256];
        DWORD cchName = sizeof name, cbData = sizeof data, type;
        if (RegEnumValueA(hKey, i, name, &cchName, NULL, &type, data, &cbData) != ERROR_SUCCESS)
            break;
        values[name] = { type, std::string((char*)data, cbData) };
    }
    RegCloseKey(hKey);
    return values;
}
}
