// Stand-ins for the calls whose effect Wine does not let a test see or cause:
// message boxes, the tray shell, the beep, a registry that refuses writing, a
// desktop that takes no keys and a serial driver whose device is gone or slow.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <cstdint>
#include <string>
#include <vector>
#include "../../events/EventLog.h"

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

// The event log's entries, which Wine's log does not keep.
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    struct Entry { WORD wType; DWORD dwId; std::string text; };
    std::vector<Entry> entries;

private:
    decltype(g_pfnReportEvent) m_pfnReal;
};

// Refuses the creation of any registry key and every opening that asks for
// more than reading: no key the settings could be written to, not even the
// user's own.
class RegistryWithoutWriteAccess {
public:
    RegistryWithoutWriteAccess();
    ~RegistryWithoutWriteAccess();
};

// A desktop as Windows can have it and Wine cannot: no foreground window, one
// of a process that outranks the program, or an input stream that takes only
// so many more SendInput calls. Records how many events each call was given.
class DesktopStandIn {
public:
    DesktopStandIn();
    ~DesktopStandIn();
    bool bNoForeground = false;
    bool bOutranked = false;
    size_t nCallsTaken = SIZE_MAX;   // the calls after these insert nothing
    std::vector<UINT> calls;
};

// Stand-ins for the port's driver calls, for the scope of one of these.
class PortReadsStandIn {
protected:
    PortReadsStandIn();
    ~PortReadsStandIn();
};

// Port reads that fail with the error given, as a driver's do once its device
// is gone; counts the error reports asked for after them.
class FailingReads : PortReadsStandIn {
public:
    explicit FailingReads(DWORD dwError);
    DWORD error;
    int nClears = 0;
};

// A line that refuses the timeouts it is given; counts the reads made anyway.
class RefusedTimeouts : PortReadsStandIn {
public:
    RefusedTimeouts();
    int nReads = 0;
};

// Port reads of at most two bytes, each 10 ms after the last: a line on which
// a scan is still arriving while it is read.
struct SlowReads : PortReadsStandIn { SlowReads(); };
