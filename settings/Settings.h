// The six line settings and the six scan rules, kept as text values:
// machine-wide where an administrator (or an elevated program) stores them,
// per user otherwise.
#pragma once
#include <windows.h>
#include "PortSettings.h"
#include "RuleSettings.h"

// The key, under HKEY_LOCAL_MACHINE in the registry view of a 32-bit program
// (HKLM\SOFTWARE\WOW6432Node on 64-bit Windows) and under HKEY_CURRENT_USER.
extern const char kSettingsKeyPath[];

// Sets each string to the first stored text it finds, value by value: the
// user's own, the copy registry virtualization kept for the user, the
// machine-wide one; else to its default.
void LoadPortSettings(PortSettings& settings);
// Stores the six strings machine-wide and removes the user's copies of them,
// which would hide them; where the machine-wide key is refused, into the user's own
// key; only when that is refused too, shows the system's text for the refusal.
void SavePortSettings(const PortSettings& settings);
// The same for the scan rules, except that a stored empty text is taken as
// it is: a rule a user switched off stays off whatever the machine-wide key
// holds. Missing values are empty.
void LoadRuleSettings(RuleSettings& settings);
void SaveRuleSettings(const RuleSettings& settings);

// The registry calls that open the keys. Wine lets a test lock an existing
// key but not refuse the creation of a missing one, so tests put refusing
// stand-ins here.
struct RegistryCalls {
    LONG (WINAPI* pfnCreateKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
    LONG (WINAPI* pfnOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
};
extern RegistryCalls g_registry;
