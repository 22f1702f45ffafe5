#include "CommandLine.h"
#include <shellapi.h>

// "/name" or "-name", in any case.
static bool IsSwitch(LPCWSTR pszArg, LPCWSTR pszName)
{
    return (pszArg[0] == L'/' || pszArg[0] == L'-') && ::lstrcmpiW(pszArg + 1, pszName) == 0;
}

// An argument in the ANSI code page; a character it lacks becomes '?'.
static CString Narrow(LPCWSTR pszArg)
{
    char szArg[MAX_PATH];
    int n = ::WideCharToMultiByte(CP_ACP, 0, pszArg, -1, szArg, sizeof szArg, NULL, NULL);
    return n > 0 ? szArg : "?";
}

StartOptions ReadCommandLine(LPCWSTR pszCommandLine)
{
    StartOptions options;
    int nArgs = 0;
    LPWSTR* ppszArgs = ::CommandLineToArgvW(pszCommandLine, &nArgs);
    if (ppszArgs == NULL)
        return options;
    for (int i = 1; i < nArgs && options.strUnknown.IsEmpty(); i++) {
        LPCWSTR pszArg = ppszArgs[i];
        if (IsSwitch(pszArg, L"open")) {
            options.bOpenPort = true;
        } else if (IsSwitch(pszArg, L"profile") && i + 1 < nArgs) {
            options.strProfile = Narrow(ppszArgs[++i]);
        } else {
            options.strUnknown = Narrow(pszArg);
        }
    }
    ::LocalFree(ppszArgs);
    return options;
}
