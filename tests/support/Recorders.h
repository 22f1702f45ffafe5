// Stand-ins for the calls whose effect Wine does not let a test see or cause:
// message boxes, the tray shell, the beep, and a registry that refuses writing.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>

// While one records, another may record for a while within it.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<std::string> texts;

private:
    MessageBoxRecorder* m_pOuter;
    int (*m_pfnOuter)(HWND, LPCSTR, LPCSTR, UINT);
};

class TrayRecorder {
public:
    explicit TrayRecorder(DWORD dwVersion = 0x0A00000A);   // what GetVersion answers
    ~TrayRecorder();
    struct Call { DWORD dwMessage; NOTIFYICONDATAA nid; };
    std::vector<Call> calls;
    DWORD version;
    bool absent = false;   // no notification area (yet): every call fails
};

class BeepRecorder {
public:
    BeepRecorder();
    ~BeepRecorder();
    std::vector<UINT> beeps;
};

// Refuses the creation of any registry key and every opening that asks for
// more than reading: no key the settings could be written to, not even the
// user's own.
class RegistryWithoutWriteAccess {
public:
    RegistryWithoutWriteAccess();
    ~RegistryWithoutWriteAccess();
};
