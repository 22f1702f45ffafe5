// What a profile's name may be, how its window is titled, and how it starts:
// from the window for another device, and with Windows from the user's own
// Run entry.
#pragma once
#include <windows.h>
#include <vector>
#include "../fw/String.h"

// A name is 1 to 32 letters (A to Z), digits, spaces, '-' and '_', neither
// beginning nor ending with a space: it becomes a registry key's name, a part
// of a named object's and an argument of a Run entry.
bool IsProfileNameAllowed(const CString& strName);
// What a box says of a name that is not allowed: the name and the rule.
CString ProfileNameRefusal(const CString& strName);
// What a box says of a profile that may not be started: its name is not
// allowed, or a policy allows only others. Empty where it may be.
CString ProfileRefusal(const CString& strName);
// The names of a list separated by ';', as the installer's property gives
// them; a name alone is a list of one.
std::vector<CString> SplitProfileList(const CString& strList);

// "NAME - Brindlequaverly" for the selected profile, "Brindlequaverly" without.
CString ProfileWindowTitle();

// Starts this program for the profile, as a process of its own; false when
// CreateProcess refuses, the last error saying why.
bool StartProfileWindow(const CString& strName, bool bOpenPort);

// The user's own Run entry (HKEY_CURRENT_USER, no administrator needed) that
// starts the selected profile's window at log-on, its port open; or the
// machine's, which the installer made for every user (Brindlequaverly, or
// Brindlequaverly Profiles with the profile in its list).
bool IsStartedWithWindows();
bool IsStartedForEveryUser();
// Adds or removes the user's entry; the registry's error, ERROR_SUCCESS when done.
LONG SetStartedWithWindows(bool bStart);
extern const char kRunKeyPath[];
// The entry's value name: "Brindlequaverly", or "Brindlequaverly NAME".
CString RunEntryName();
