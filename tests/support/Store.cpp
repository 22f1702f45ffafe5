#include "Store.h"
#include <sddl.h>

namespace Store {

namespace {
struct Key { HKEY hRoot; std::string path; REGSAM samView; };

Key PlaceKey(Place place)
{
    switch (place) {
    case USER:
        return { HKEY_CURRENT_USER, kSettingsKeyPath, 0 };
    case VIRTUALIZED:
        return { HKEY_CURRENT_USER,
                 "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Vimo Technologies\\VimoBrindleQV", 0 };
    case POLICY:
        return { HKEY_LOCAL_MACHINE, kPolicyKeyPath, KEY_WOW64_64KEY };
    default:
        return { HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_WOW64_32KEY };
    }
}

Key KeyOf(Place place, const char* profile = "")
{
    Key key = PlaceKey(place);
    if (*profile)
        key.path = key.path + "\\Profiles\\" + profile;
    return key;
}

HKEY Create(Place place, REGSAM sam, const char* profile = "")
{
    Key key = KeyOf(place, profile);
    HKEY hKey = NULL;
    RegCreateKeyExA(key.hRoot, key.path.c_str(), 0, NULL, 0, sam | key.samView, NULL, &hKey, NULL);
    return hKey;
}
} // namespace

void Clear()
{
    for (Place place : { MACHINE, USER, VIRTUALIZED, POLICY }) {
        Key key = KeyOf(place);
        HKEY hKey;
        if (RegOpenKeyExA(key.hRoot, key.path.c_str(), 0, KEY_ALL_ACCESS | key.samView, &hKey) == ERROR_SUCCESS) {
            RegDeleteTreeA(hKey, NULL);
            RegCloseKey(hKey);
        }
        RegDeleteKeyExA(key.hRoot, key.path.c_str(), key.samView, 0);
    }
}

void Put(const char* name, DWORD type, const void* data, DWORD size, Place place, const char* profile)
{
    HKEY hKey = Create(place, KEY_SET_VALUE, profile);
    if (hKey == NULL)
        return;
    RegSetValueExA(hKey, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(hKey);
}

void PutText(const char* name, const std::string& text, Place place, const char* profile)
{
    Put(name, REG_SZ, text.c_str(), (DWORD)text.size() + 1, place, profile);
}

std::map<std::string, Value> Read(Place place, const char* profile)
{
    std::map<std::string, Value> values;
    Key key = KeyOf(place, profile);
    HKEY hKey;
    if (RegOpenKeyExA(key.hRoot, key.path.c_str(), 0, KEY_READ | key.samView, &hKey) != ERROR_SUCCESS)
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

// Wine checks a key's own list of rights when it is opened or created, as
// Windows does; the owner keeps the right to change the list.
LockedKey::LockedKey(Place place, bool bValuesMayBeSet) : m_place(place)
{
    HKEY hKey = Create(place, READ_CONTROL | WRITE_DAC);
    DWORD cb = 0;
    RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, NULL, &cb);
    m_oldDacl.resize(cb);
    RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, m_oldDacl.data(), &cb);
    PSECURITY_DESCRIPTOR pLocked = NULL;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(
        bValuesMayBeSet ? "D:P(A;CI;KR;;;WD)(A;CI;0x2;;;WD)" : "D:P(A;CI;KR;;;WD)", SDDL_REVISION_1, &pLocked, NULL);
    RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pLocked);
    LocalFree(pLocked);
    RegCloseKey(hKey);
}

LockedKey::~LockedKey()
{
    HKEY hKey = Create(m_place, WRITE_DAC);
    RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, m_oldDacl.data());
    RegCloseKey(hKey);
}
}
