// What the command line asks of a start.
#pragma once
#include <windows.h>
#include "../fw/String.h"

struct StartOptions {
    // "/open" (or "-open", in any case): open the port with the saved settings.
    bool bOpenPort = false;
    // "/profile NAME" (or "-profile"): the profile, or profiles separated by
    // ';', whose windows start; empty without the switch.
    CString strProfile;
    // The first argument not understood, empty when there is none.
    CString strUnknown;
};

// The arguments after the program's name, split as Windows' runtime splits them.
StartOptions ReadCommandLine(LPCWSTR pszCommandLine);
