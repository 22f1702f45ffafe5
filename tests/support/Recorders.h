// Stand-ins for the calls whose effect Wine does not let a test see or cause:
// message boxes, the tray shell, the beep, and a registry that refuses writing.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<std::string> texts;
};

class TrayRecorder {
public:
    explicit TrayRecorder(DWORD dwVersion = 0x0A00000A);   // what GetVersion answers
    ~TrayRecorder();
    struct Call { DWORD dwMessage; NOTIFYICONDATAA nid; };
    std::vector<Call> calls;
    DWORD version;
};

class BeepRecorder {
public:
    BeepRecorder();
    ~BeepRecorder();
    std::vector<UINT> beeps;
};

// Refuses every opening of a registry key that asks for more than reading,
// as the registry does for a user without rights to the machine-wide part.
class RegistryWithoutWriteAccess {
public:
    RegistryWithoutWriteAccess();
    ~RegistryWithoutWriteAccess();
};
