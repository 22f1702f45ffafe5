#include "CommandLine.h"
#include <shellapi.h>

StartOptions ReadCommandLine(LPCWSTR pszCommandLine)
{
    StartOptions options;
    int nArgs = 0;
    LPWSTR* ppszArgs = ::CommandLineToArgvW(pszCommandLine, &nArgs);
    if (ppszArgs == NULL)
        return options;
    for (int i = 1; i < nArgs && options.strUnknown.IsEmpty(); i++) {
        LPCWSTR pszArg = ppszArgs[i];
        if ((pszArg[0] == L'/' || pszArg[0] == L'-') && ::lstrcmpiW(pszArg + 1, L"open") == 0) {
            options.bOpenPort = true;
            continue;
        }
        char szArg[MAX_PATH];
        int n = ::WideCharToMultiByte(CP_ACP, 0, pszArg, -1, szArg, sizeof szArg, NULL, NULL);
        options.strUnknown = n > 0 ? szArg : "?";
    }
    ::LocalFree(ppszArgs);
    return options;
}
