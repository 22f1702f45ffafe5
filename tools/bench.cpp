// Measures the program end to end, as the tests drive it: the real executable
// reading a virtual serial line and typing into a window of this process.
// Prints scan-to-keystroke latency, the pauses inside scans sent at a line's
// rate, the sustained rate of back-to-back bursts, and the processor time of
// an open, idle port (not measured when its seconds are 0). Run by
// tools/bench.sh.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "../res/resource.h"
#include "../tests/support/KeySink.h"
#include "../tests/support/Program.h"
#include "../tests/support/Store.h"
#include "../tests/support/VirtualLine.h"

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / freq.QuadPart;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    size_t i = (size_t)(p / 100.0 * (v.size() - 1) + 0.5);
    return v[i];
}

int Latency(KeySink& sink, int nScans)
{
    const std::string scan = "4006381333931\r";   // EAN-13 and CR: 14 keys
    std::vector<double> ms;
    srand(1);
    for (int i = 0; i < nScans; i++) {
        // arrive at every phase of the 300 ms poll
        Sleep(50 + rand() % 300);
        sink.text.clear();
        VirtualLine::Send("COM1", scan);
        double sent = Now();
        bool complete = sink.WaitForChars(scan.size(), 5000);
        double typed = Now();
        if (!complete) {
            printf("scan %d: only %u of %u keys arrived\n", i + 1, (unsigned)sink.text.size(),
                   (unsigned)scan.size());
            return 1;
        }
        ms.push_back(typed - sent);
    }
    printf("latency, last byte written to last key received, %d scans of %u bytes:\n",
           nScans, (unsigned)scan.size());
    printf("  min %.0f ms, median %.0f ms, 95th percentile %.0f ms, max %.0f ms\n",
           *std::min_element(ms.begin(), ms.end()), Percentile(ms, 50), Percentile(ms, 95),
           *std::max_element(ms.begin(), ms.end()));
    return 0;
}

// Scans of 12 to 40 bytes sent as on a line at 9600 baud, about 1 ms a byte,
// at random phases of the poll: the longest pause between two keys of one
// scan as the receiver sees it, and the scans with a pause that a page which
// tells a scanner from a person by the time between keys would take for typing.
int Pauses(KeySink& sink, int nScans)
{
    const LONG kSplitMs = 50;   // the strictest of those pages
    LONG longest = 0;
    int nSplit = 0;
    srand(2);
    for (int i = 0; i < nScans; i++) {
        Sleep(50 + rand() % 300);
        std::string scan = VirtualLine::Burst(11 + rand() % 30) + "\r";
        sink.text.clear();
        sink.events.clear();
        VirtualLine::Send("COM1", scan, 1.0);
        if (!sink.WaitForChars(scan.size(), 5000)) {
            printf("paced scan %d: only %u of %u keys arrived\n", i + 1, (unsigned)sink.text.size(),
                   (unsigned)scan.size());
            return 1;
        }
        LONG pause = 0, previous = -1;
        for (const KeySink::Event& e : sink.events) {
            if (e.msg != WM_CHAR) continue;
            if (previous >= 0) pause = std::max(pause, e.time - previous);
            previous = e.time;
        }
        longest = std::max(longest, pause);
        nSplit += pause > kSplitMs;
    }
    printf("%d scans of 12 to 40 bytes at 1 ms a byte (9600 baud), at random phases of the poll:\n"
           "  longest pause inside a scan %ld ms; split scans (a pause over %ld ms): %d\n",
           nScans, longest, kSplitMs, nSplit);
    return 0;
}

int Rate(KeySink& sink, int nBursts, int nBytes)
{
    std::string burst = VirtualLine::Burst(nBytes);
    Sleep(700);
    sink.text.clear();
    double start = Now();
    for (int i = 0; i < nBursts; i++)
        VirtualLine::Send("COM1", burst);
    size_t total = (size_t)nBursts * nBytes;
    bool complete = sink.WaitForChars(total, 60000);
    double done = Now();
    if (!complete || sink.text.size() != total) {
        printf("bursts: %u of %u characters arrived\n", (unsigned)sink.text.size(), (unsigned)total);
        return 1;
    }
    printf("sustained rate, %d back-to-back bursts of %d bytes: %.0f characters/s (%.1f s)\n",
           nBursts, nBytes, total * 1000.0 / (done - start), (done - start) / 1000.0);
    return 0;
}

// The bare window that is the floor of the idle cost, on a line of its own.
const char kFloorName[] = "wedge_floor.exe";

bool StartFloor(PROCESS_INFORMATION& pi)
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string cmd = path;
    cmd = "\"" + cmd.erase(cmd.find_last_of('\\') + 1) + kFloorName + "\" COM2";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi) != FALSE;
}

int IdleCpu(Program& p, KeySink& sink, int nSeconds)
{
    PROCESS_INFORMATION floor = {};
    if (!StartFloor(floor)) {
        printf("cannot start %s\n", kFloorName);
        return 1;
    }
    sink.Pump(2000);   // the floor's start is no idle time
    double before = p.CpuMs(), floorBefore = UnixCpuMs(kFloorName);
    sink.Pump(nSeconds * 1000);
    double used = p.CpuMs() - before, floorUsed = UnixCpuMs(kFloorName) - floorBefore;
    PostThreadMessageA(floor.dwThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(floor.hProcess, 5000);
    CloseHandle(floor.hThread);
    CloseHandle(floor.hProcess);
    if (before < 0 || floorBefore < 0) {
        printf("idle processor time: no Unix process found for the program or the floor\n");
        return 1;
    }
    double perMinute = used * 60.0 / nSeconds, floorPerMinute = floorUsed * 60.0 / nSeconds;
    printf("processor time with the port open and idle, over %d s: %.0f ms per minute (%.2f%% of one processor)\n",
           nSeconds, perMinute, used / (nSeconds * 10.0));
    printf("  a bare window reading a port every 300 ms and changing its tray icon every second: %.0f ms per minute",
           floorPerMinute);
    if (floorUsed > 0)
        printf(", the program %.1f times that", used / floorUsed);
    printf("\n  (the time the scheduler ran each one's threads)\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int nScans = argc > 1 ? atoi(argv[1]) : 120;
    int nIdleSeconds = argc > 2 ? atoi(argv[2]) : 60;
    setvbuf(stdout, NULL, _IONBF, 0);
    try {
        Store::Clear();
        Program p;
        KeySink sink;
        p.Click(IDC_BTN_OPENCLOSE);
        if (p.Text(IDC_BTN_OPENCLOSE) != "&Close Port") {
            printf("the port did not open\n");
            return 1;
        }
        sink.Activate();
        printf("bounds the design sets: a poll every 300 ms, at most 254 bytes a poll,\n"
               "  so up to 300 ms of waiting and at most %.0f characters/s\n", 254 / 0.3);
        int rc = Latency(sink, nScans);
        if (rc == 0) rc = Pauses(sink, nScans);
        if (rc == 0) rc = Rate(sink, 10, 508);
        if (rc == 0 && nIdleSeconds > 0) rc = IdleCpu(p, sink, nIdleSeconds);
        Store::Clear();
        return rc;
    } catch (const std::exception& e) {
        printf("benchmark failed: %s\n", e.what());
        return 1;
    }
}
