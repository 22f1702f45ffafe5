// The six line settings and the scan rules, kept as text values:
// machine-wide where an administrator (or an elevated program) stores them,
// per user otherwise.
#pragma once
#include <windows.h>
#include <vector>
#include "PortSettings.h"
#include "RuleSettings.h"

// The key, under HKEY_LOCAL_MACHINE in the registry view of a 32-bit program
// (HKLM\SOFTWARE\WOW6432Node on 64-bit Windows) and under HKEY_CURRENT_USER.
extern const char kSettingsKeyPath[];
// Values of the same names that an administrator enforces (Group Policy),
// under HKEY_LOCAL_MACHINE in the system's own registry view: they win over
// every other place and are never saved. Those of the key itself hold in
// every profile; a profile's own key (Profiles\NAME below it) fixes more.
extern const char kPolicyKeyPath[];
// The policy value that names the profiles that may be started, separated
// by ';'; without it, any may.
extern const char kProfilesPolicy[];

// A profile keeps a device's settings apart from those of the others: with
// one selected, every place below is its key Profiles\NAME under that place,
// read and written by the same rules. The empty name (the start) selects the
// settings of the program without a profile. One process, one profile.
void SelectProfile(LPCSTR pszName);
const CString& ProfileName();

// Sets each string to the first stored text it finds, value by value: the
// policy's, the user's own, the copy registry virtualization kept for the
// user, the machine-wide one; else to its default.
void LoadPortSettings(PortSettings& settings);
// Stores the strings no policy fixes machine-wide and then removes the user's
// copies of them, which would hide them; where the machine-wide key or one of
// its values is refused, or a copy cannot be removed, into the user's own key
// (read first); only when that is refused too, shows the system's text for
// the refusal.
void SavePortSettings(const PortSettings& settings);
// The same for the scan rules, except that a stored empty text is taken as
// it is: a rule a user switched off stays off whatever the machine-wide key
// holds. Missing values are empty.
void LoadRuleSettings(RuleSettings& settings);
void SaveRuleSettings(const RuleSettings& settings);
// Sets each rule a policy fixes to the policy's value: what an administrator
// enforces holds whatever a dialog or a preset made of it.
void TakePolicyRules(RuleSettings& settings);
void TakePolicyPortSettings(PortSettings& settings);
// The profiles the policy allows; empty where it names none.
std::vector<CString> ProfilesAllowedByPolicy();
// The strings whose values the policy key holds now.
std::vector<CString PortSettings::*> PortSettingsFixedByPolicy();
std::vector<CString RuleSettings::*> RuleSettingsFixedByPolicy();

// The registry calls that open the keys and store values. Wine lets a test
// lock an existing key but neither refuse the creation of a missing one nor
// a single value, so tests put refusing stand-ins here.
struct RegistryCalls {
    LONG (WINAPI* pfnCreateKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
    LONG (WINAPI* pfnOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    LONG (WINAPI* pfnSetValue)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
};
extern RegistryCalls g_registry;
