#include "Profiles.h"
#include "Settings.h"

const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static const int kMaxProfileName = 32;


bool IsProfileNameAllowed(const CString& strName)
{
    int n = strName.GetLength();
    if (n == 0 || n > kMaxProfileName || strName[0] == ' ' || strName[n - 1] == ' ')
        return false;
    for (int i = 0; i < n; i++) {
        char ch = strName[i];
        bool bAllowed = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                        ch == ' ' || ch == '-' || ch == '_';
        if (!bAllowed)
            return false;
    }
    return true;
}

CString ProfileNameRefusal(const CString& strName)
{
    CString strText;
    strText.Format("This profile name is not allowed: \"%s\"\n\nA name is 1 to 32 letters (A to Z), digits, "
                   "spaces, - and _, neither beginning nor ending with a space.", (LPCSTR)strName);
    return strText;
}

CString ProfileRefusal(const CString& strName)
{
    if (!IsProfileNameAllowed(strName))
        return ProfileNameRefusal(strName);
    std::vector<CString> allowed = ProfilesAllowedByPolicy();
    CString strUpper(strName), strList;
    strUpper.MakeUpper();
    for (CString strAllowed : allowed) {
        if (!strList.IsEmpty())
            strList += ", ";
        strList += strAllowed;
        strAllowed.MakeUpper();
        if (strAllowed == strUpper)
            return "";
    }
    if (allowed.empty())
        return "";
    CString strText;
    strText.Format("The profile \"%s\" may not be started here: a policy allows only these profiles: %s.",
                   (LPCSTR)strName, (LPCSTR)strList);
    return strText;
}

std::vector<CString> SplitProfileList(const CString& strList)
{
    std::vector<CString> names;
    CString strName;
    for (int i = 0; i <= strList.GetLength(); i++) {
        if (i == strList.GetLength() || strList[i] == ';') {
            names.push_back(strName);
            strName.Empty();
        } else {
            strName += strList[i];
        }
    }
    return names;
}

CString ProfileWindowTitle()
{
    CString strTitle = ProfileName();
    if (!strTitle.IsEmpty())
        strTitle += " - ";
    strTitle += "Brindlequaverly";
    return strTitle;
}

// The command that starts this executable for the profile.
static CString ProfileCommand(const CString& strName, bool bOpenPort)
{
    char szPath[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    CString strCommand("\"");
    strCommand += CString(szPath, (int)n);
    strCommand += "\"";
    if (!strName.IsEmpty()) {
        strCommand += " /profile \"";
        strCommand += strName;
        strCommand += "\"";
    }
    if (bOpenPort)
        strCommand += " /open";
    return strCommand;
}

bool StartProfileWindow(const CString& strName, bool bOpenPort)
{
    CString strCommand = ProfileCommand(strName, bOpenPort);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(NULL, strCommand.GetBuffer(strCommand.GetLength()), NULL, NULL, FALSE, 0, NULL, NULL,
                          &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

CString RunEntryName()
{
    CString strName("Brindlequaverly");
    if (!ProfileName().IsEmpty()) {
        strName += " ";
        strName += ProfileName();
    }
    return strName;
}

// The Run entry's command; empty where there is none.
static CString RunCommand(HKEY hRoot, REGSAM samView, LPCSTR pszName)
{
    HKEY hKey;
    if (::RegOpenKeyExA(hRoot, kRunKeyPath, 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
        return "";
    char szCommand[MAX_PATH * 2] = "";
    DWORD cb = sizeof szCommand;
    LONG lResult = ::RegGetValueA(hKey, NULL, pszName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, NULL,
                                  szCommand, &cb);
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? CString(szCommand) : CString();
}

bool IsStartedWithWindows()
{
    return !RunCommand(HKEY_CURRENT_USER, 0, RunEntryName()).IsEmpty() || IsStartedForEveryUser();
}

// Either build's installer writes its own registry view.
bool IsStartedForEveryUser()
{
    for (REGSAM samView : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
        if (ProfileName().IsEmpty()) {
            if (!RunCommand(HKEY_LOCAL_MACHINE, samView, "Brindlequaverly").IsEmpty())
                return true;
            continue;
        }
        // ... /profile "Scanner;Scale" /open
        std::string command = (LPCSTR)RunCommand(HKEY_LOCAL_MACHINE, samView, "Brindlequaverly Profiles");
        size_t at = command.find("/profile \"");
        size_t end = at == std::string::npos ? at : command.find('"', at + 10);
        if (end == std::string::npos)
            continue;
        CString strName = ProfileName();
        strName.MakeUpper();
        for (CString strListed : SplitProfileList(CString(command.substr(at + 10, end - at - 10)))) {
            strListed.MakeUpper();
            if (strListed == strName)
                return true;
        }
    }
    return false;
}

LONG SetStartedWithWindows(bool bStart)
{
    HKEY hKey;
    LONG lResult = ::RegCreateKeyExA(HKEY_CURRENT_USER, kRunKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                     NULL, &hKey, NULL);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    if (bStart) {
        CString strCommand = ProfileCommand(ProfileName(), true);
        lResult = ::RegSetValueExA(hKey, RunEntryName(), 0, REG_SZ, (const BYTE*)(LPCSTR)strCommand,
                                   strCommand.GetLength() + 1);
    } else {
        lResult = ::RegDeleteValueA(hKey, RunEntryName());
        if (lResult == ERROR_FILE_NOT_FOUND)
            lResult = ERROR_SUCCESS;
    }
    ::RegCloseKey(hKey);
    return lResult;
}
