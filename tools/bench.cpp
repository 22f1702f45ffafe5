// Measures the program end to end, as the tests drive it: the real executable
// reading a virtual serial line and typing into a window of this process.
// For the poll and for ScanAtOnce it prints scan-to-keystroke latency, the
// pauses inside scans sent at a line's rate (short ones at 9600 baud, long
// ones at 115200), what a scale streaming its weights gets typed, the rate of
// a stream that never pauses and the bytes it loses, the processor time of
// an open, idle port (not measured when its seconds are 0), and two devices
// streaming at once into one window; scan to a web page's message beside
// scan to the last key, with 16 pages connected; with the Received Data
// window closed and open, the latency of a scan, and a 4,096-character scan
// typed as keys and pasted; beside the platform's floor (a bare reader that
// types each scan at its CR), the latency with the scan quiet at 20 and 5 ms;
// a device on TCP, its latency and a stream. A part that goes wrong prints
// what it got; the others still run. Run by tools/bench.sh.
// Winsock 2 before windows.h: the pages are Boost.Beast's WebSockets.
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <windows.h>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>
#include "../res/resource.h"
#include "../tests/support/KeySink.h"
#include "../tests/support/Program.h"
#include "../tests/support/Store.h"
#include "../tests/support/VirtualLine.h"
#include "../web/WebFeed.h"

namespace {

// A byte of 8 data bits with its start and stop bit, at each rate.
const double kMsPerByte9600 = 10.0 / 9.6;
const double kMsPerByte115200 = 10.0 / 115.2;
const LONG kSplitMs = 50;   // the pause that the strictest web shops take for typing

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

void TakeMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A paced write from a thread of its own: this thread takes the keys while
// the bytes go out, so each has the time it came, and those of a stream of
// seconds do not pile up in the queue. The thread notes when the last byte
// went: this one may be busy with keys long after.
struct PacedWrite {
    const char* pszPort;
    const std::string& bytes;
    double msPerByte;
    VirtualLine::Sent sent;
    DWORD dwLastByte;   // tick count, the base of message times
    std::string error;
};

DWORD WINAPI WritePaced(LPVOID pv)
{
    PacedWrite* w = (PacedWrite*)pv;
    try {
        w->sent = VirtualLine::Send(w->pszPort, w->bytes, w->msPerByte);
    } catch (const std::exception& e) {
        w->error = e.what();
    }
    w->dwLastByte = GetTickCount();
    return 0;
}

// Sends each write's bytes on its line at its pace, all at the same time,
// taking the keys meanwhile.
void SendTogether(std::vector<PacedWrite>& writes)
{
    std::vector<HANDLE> threads;
    for (PacedWrite& w : writes) {
        HANDLE hThread = CreateThread(NULL, 0, WritePaced, &w, 0, NULL);
        if (hThread != NULL)
            threads.push_back(hThread);
    }
    DWORD n = (DWORD)threads.size();
    while (n > 0 && WaitForMultipleObjects(n, threads.data(), TRUE, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(n, threads.data(), FALSE, 50, QS_ALLINPUT);
        TakeMessages();
    }
    for (HANDLE hThread : threads)
        CloseHandle(hThread);
    if (threads.size() < writes.size())
        throw std::runtime_error("cannot start a writing thread");
    for (const PacedWrite& w : writes) {
        if (!w.error.empty())
            throw std::runtime_error(w.error);
    }
}

// Sends the bytes on COM1 at the pace, taking the keys meanwhile.
PacedWrite Send(const std::string& bytes, double msPerByte)
{
    std::vector<PacedWrite> writes = { { "COM1", bytes, msPerByte, {}, 0, "" } };
    SendTogether(writes);
    return writes[0];
}

// The pace the line reached, in ms a byte, from the ms between the first and
// the last of nBytes.
double Reached(double ms, size_t nBytes)
{
    return ms / std::max<size_t>(1, nBytes - 1);
}

// Takes keys until the text has n characters, or none came for quietMs, or
// the tick count reaches the deadline.
void Settle(KeySink& sink, size_t n, DWORD quietMs, DWORD deadline)
{
    for (;;) {
        LONG left = (LONG)(deadline - GetTickCount());
        if (sink.text.size() >= n || left <= 0 ||
            !sink.WaitForChars(sink.text.size() + 1, std::min<DWORD>(quietMs, left)))
            return;
    }
}

// How many of what was received are what was sent, in the order sent: each
// item received is looked for after the last one found.
template <class T> size_t InOrder(const T& sent, const T& received)
{
    size_t found = 0;
    auto at = sent.begin();
    for (const auto& item : received) {
        auto match = std::find(at, sent.end(), item);
        if (match != sent.end()) {
            found++;
            at = match + 1;
        }
    }
    return found;
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// The message times of the characters' own key-downs, a Shift's left out:
// when the program put them into the input, as a page sees them.
std::vector<LONG> CharacterKeyTimes(const std::vector<KeySink::Event>& events)
{
    std::vector<LONG> times;
    for (const KeySink::Event& e : events)
        if (e.msg == WM_KEYDOWN && e.wParam != VK_SHIFT)
            times.push_back(e.time);
    return times;
}

// The longest time between the key-downs of two characters.
LONG LongestPause(const std::vector<KeySink::Event>& events)
{
    std::vector<LONG> times = CharacterKeyTimes(events);
    LONG pause = 0;
    for (size_t i = 1; i < times.size(); i++)
        pause = std::max(pause, times[i] - times[i - 1]);
    return pause;
}

// How a scan reaches the program: the virtual line COM1, or a device's socket.
using SendScan = std::function<void(const std::string&)>;
void SendOnCom1(const std::string& scan)
{
    VirtualLine::Send("COM1", scan);
}

// Sends the scan and notes the ms until its last key came, if it came whole.
void TimeScan(KeySink& sink, const std::string& scan, std::vector<double>& ms, const SendScan& send = SendOnCom1)
{
    sink.text.clear();
    send(scan);
    double sent = Now();
    if (sink.WaitForChars(scan.size(), 5000))
        ms.push_back(Now() - sent);
}

// A line of figures, and how many of nScans are missing from them.
void PrintFigures(const char* pszIndent, const std::vector<double>& ms, int nScans, const char* pszMissing)
{
    if (!ms.empty())
        printf("%smin %.0f ms, median %.0f ms, 95th percentile %.0f ms, max %.0f ms\n", pszIndent,
               *std::min_element(ms.begin(), ms.end()), Percentile(ms, 50), Percentile(ms, 95),
               *std::max_element(ms.begin(), ms.end()));
    if (ms.size() < (size_t)nScans)
        printf("%s%s: %d\n", pszIndent, pszMissing, nScans - (int)ms.size());
}

void PrintLatency(const char* pszWhat, const std::vector<double>& ms, int nScans, size_t nBytes)
{
    printf("  %s, last byte written to last key received, %d scans of %u bytes:\n", pszWhat, nScans,
           (unsigned)nBytes);
    PrintFigures("    ", ms, nScans, "scans not typed whole within 5 s");
}

// With pOther, that window is brought to front before each scan, so that the
// program brings the sink, its target, back for each.
std::vector<double> Latency(KeySink& sink, int nScans, KeySink* pOther = nullptr, const SendScan& send = SendOnCom1)
{
    const std::string scan = "4006381333931\r";   // EAN-13 and CR: 14 keys
    std::vector<double> ms;
    srand(1);
    for (int i = 0; i < nScans; i++) {
        // arrive at every phase of the 300 ms poll
        Sleep(50 + rand() % 300);
        if (pOther)
            pOther->Activate();
        TimeScan(sink, scan, ms, send);
    }
    PrintLatency("latency", ms, nScans, scan.size());
    return ms;
}

// A balance that speaks only when asked, every 300 ms: its reply comes as
// soon as a request is there, and is timed as a scan is.
void Replies(KeySink& sink, int nReplies)
{
    const std::string reply = "S S     100.00 g\r";
    std::vector<double> ms;
    VirtualLine::Received("COM1");
    for (int i = 0; i < nReplies; i++) {
        for (double asked = Now(); VirtualLine::Received("COM1").empty() && Now() - asked < 2000;)
            sink.Pump(1);
        TimeScan(sink, reply, ms);
    }
    PrintLatency("a reply to a request", ms, nReplies, reply.size());
}

// Scans of nMin to nMax bytes sent at a line's pace, at random phases of the
// poll: the longest pause between two keys of one scan, and the scans split
// by a pause a page would take for typing.
void SplitScans(KeySink& sink, int nScans, int nMin, int nMax, double msPerByte, int nBaud)
{
    LONG longest = 0;
    int nSplit = 0, nIncomplete = 0;
    double msSending = 0;
    size_t nGaps = 0;
    srand(2);
    for (int i = 0; i < nScans; i++) {
        Sleep(50 + rand() % 300);
        std::string scan = VirtualLine::Burst(nMin - 1 + rand() % (nMax - nMin + 1)) + "\r";
        sink.text.clear();
        sink.events.clear();
        msSending += Send(scan, msPerByte).sent.ms;
        nGaps += scan.size() - 1;
        if (!sink.WaitForChars(scan.size(), 5000)) {
            nIncomplete++;
            continue;
        }
        LONG pause = LongestPause(sink.events);
        longest = std::max(longest, pause);
        nSplit += pause > kSplitMs;
    }
    printf("  %d scans of %d to %d bytes at %.3f ms a byte (%d baud; sent at %.3f), at random phases of the poll:\n"
           "    longest pause inside a scan %ld ms; split scans (a pause over %ld ms): %d\n",
           nScans, nMin, nMax, msPerByte, nBaud, Reached(msSending, nGaps + 1), longest, kSplitMs, nSplit);
    if (nIncomplete > 0)
        printf("    scans not typed whole within 5 s: %d\n", nIncomplete);
}

// A scale in continuous mode: a line for each weight, back to back; the
// rules type each value with Enter.
void Weights(KeySink& sink, int nLines)
{
    std::string stream;
    std::vector<std::wstring> values;
    size_t nChars = 0;
    for (int i = 0; i < nLines; i++) {
        char value[16], line[32];
        snprintf(value, sizeof value, "%.2f", 1.23 + i * 0.97);
        snprintf(line, sizeof line, "ST,GS,+%07.2fkg\r\n", 1.23 + i * 0.97);
        stream += line;
        values.push_back(Wide(value));
        nChars += strlen(value) + 1;
    }
    sink.text.clear();
    VirtualLine::Sent line = Send(stream, kMsPerByte9600).sent;
    Settle(sink, nChars, 1500, GetTickCount() + 5000);
    std::vector<std::wstring> typed;
    for (size_t at = 0, end; (end = sink.text.find(L'\r', at)) != std::wstring::npos; at = end + 1)
        typed.push_back(sink.text.substr(at, end - at));
    size_t nFound = InOrder(values, typed);
    printf("  a scale's stream, %d lines of %u bytes back to back at %.3f ms a byte (9600 baud; sent at %.3f):\n"
           "    lines sent %d, values typed %u, values lost %d, values typed that were not sent %u\n",
           nLines, (unsigned)(stream.size() / nLines), kMsPerByte9600, Reached(line.ms, stream.size()),
           nLines, (unsigned)typed.size(), nLines - (int)nFound, (unsigned)(typed.size() - nFound));
    if (line.nBytes < stream.size())
        printf("    bytes the line could not hold: %u\n", (unsigned)(stream.size() - line.nBytes));
}

// A stream of digits and letters with a CR every 30 bytes that never pauses:
// the characters typed a second, how far typing is behind when the last byte
// is in, and the bytes lost: those the line could not hold, as a full
// driver's buffer loses them, and those not typed as long again after the
// last.
void Rate(KeySink& sink, double msPerByte, int nBaud, int nSeconds)
{
    std::string stream = VirtualLine::Burst((size_t)(nSeconds * 1000 / msPerByte + 0.5));
    for (size_t i = 29; i < stream.size(); i += 30)
        stream[i] = '\r';
    sink.text.clear();
    sink.events.clear();
    PacedWrite w = Send(stream, msPerByte);
    Settle(sink, w.sent.nBytes, 1000, w.dwLastByte + nSeconds * 1000);
    LONG lastByte = (LONG)w.dwLastByte, firstByte = lastByte - (LONG)w.sent.ms;
    std::vector<LONG> keys = CharacterKeyTimes(sink.events);
    size_t nTypedBefore = std::count_if(keys.begin(), keys.end(), [&](LONG t) { return t <= lastByte; });
    LONG lastKey = keys.empty() ? firstByte : keys.back();
    size_t nLost = stream.size() - InOrder(Wide(stream), sink.text);
    size_t nNotHeld = stream.size() - w.sent.nBytes;
    printf("  a stream of %u bytes at %.3f ms a byte (%d baud; sent at %.3f, in %.1f s):\n"
           "    %.0f characters/s typed, %u bytes behind as the last one was sent;\n"
           "    bytes lost %u (the line could not hold %u, not typed %d s later %u)\n",
           (unsigned)stream.size(), msPerByte, nBaud, Reached(w.sent.ms, stream.size()), w.sent.ms / 1000.0,
           sink.text.size() * 1000.0 / std::max<LONG>(1, lastKey - firstByte),
           (unsigned)(w.sent.nBytes - std::min(w.sent.nBytes, nTypedBefore)), (unsigned)nLost,
           (unsigned)nNotHeld, nSeconds, (unsigned)(nLost - nNotHeld));
}

// Two devices with a profile each, on COM1 and COM2, streaming lines of 30
// bytes at 9600 baud at the same time for nSeconds: the characters typed a
// second, and the lines typed that are none that was sent: keys of the two
// mixed, which must never be.
void TwoDevices(bool bAtOnce, int nSeconds)
{
    for (const char* port : { "COM1", "COM2" }) {
        VirtualLine::Drop(port);
        VirtualLine::Restore(port);
    }
    Store::Clear();
    for (const char* profile : { "Scanner", "Scale" })
        Store::PutText("ScanAtOnce", bAtOnce ? "1" : "", Store::USER, profile);
    Store::PutText("COMMPORT", "COM 2", Store::USER, "Scale");
    Program scanner("/profile Scanner /open", "Scanner - Brindlequaverly");
    Program scale("/profile Scale /open", "Scale - Brindlequaverly");
    KeySink sink;
    for (const Program* p : { &scanner, &scale }) {
        for (double start = Now(); p->Text(IDC_LABEL_STATUS) != "Port Status: Open" && Now() - start < 10000;)
            sink.Pump(50);
    }
    sink.Activate();
    size_t nLines = (size_t)(nSeconds * 1000 / kMsPerByte9600 / 30);
    std::string streams[2];
    std::vector<std::wstring> sent;
    for (int d = 0; d < 2; d++) {
        for (size_t i = 0; i < nLines; i++) {
            char line[32];
            snprintf(line, sizeof line, "%c%028u\r", "AB"[d], (unsigned)i);
            streams[d] += line;
            sent.push_back(Wide(std::string(line, 29)));
        }
    }
    std::vector<PacedWrite> writes = { { "COM1", streams[0], kMsPerByte9600, {}, 0, "" },
                                       { "COM2", streams[1], kMsPerByte9600, {}, 0, "" } };
    SendTogether(writes);
    Settle(sink, streams[0].size() + streams[1].size(), 1000,
           std::max(writes[0].dwLastByte, writes[1].dwLastByte) + nSeconds * 1000);
    size_t nTyped = 0, nMixed = 0;
    for (size_t at = 0, end; (end = sink.text.find(L'\r', at)) != std::wstring::npos; at = end + 1, nTyped++)
        nMixed += std::find(sent.begin(), sent.end(), sink.text.substr(at, end - at)) == sent.end();
    std::vector<LONG> keys = CharacterKeyTimes(sink.events);
    LONG ms = keys.size() < 2 ? 1 : std::max<LONG>(1, keys.back() - keys.front());
    printf("  two devices with a profile each, streaming %u lines of 30 bytes each at 9600 baud at once:\n"
           "    %.0f characters/s typed; %u of the %u lines typed, scans mixed %u\n",
           (unsigned)nLines, sink.text.size() * 1000.0 / ms, (unsigned)nTyped, (unsigned)(2 * nLines),
           (unsigned)nMixed);
}

// The bare window that is the floor of the idle cost, on a line of its own.
const char kFloorName[] = "wedge_floor.exe";

bool StartFloor(PROCESS_INFORMATION& pi, const char* pszArguments = "COM2")
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string cmd = path;
    cmd = "\"" + cmd.erase(cmd.find_last_of('\\') + 1) + kFloorName + "\" " + pszArguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi) != FALSE;
}

void EndFloor(PROCESS_INFORMATION& floor)
{
    PostThreadMessageA(floor.dwThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(floor.hProcess, 5000);
    CloseHandle(floor.hThread);
    CloseHandle(floor.hProcess);
}

void IdleCpu(Program& p, KeySink& sink, int nSeconds)
{
    PROCESS_INFORMATION floor = {};
    if (!StartFloor(floor)) {
        printf("  cannot start %s\n", kFloorName);
        return;
    }
    sink.Pump(2000);   // the floor's start is no idle time
    double before = p.CpuMs(), floorBefore = UnixCpuMs(kFloorName);
    sink.Pump(nSeconds * 1000);
    double used = p.CpuMs() - before, floorUsed = UnixCpuMs(kFloorName) - floorBefore;
    EndFloor(floor);
    if (before < 0 || floorBefore < 0) {
        printf("  idle processor time: no Unix process found for the program or the floor\n");
        return;
    }
    double perMinute = used * 60.0 / nSeconds, floorPerMinute = floorUsed * 60.0 / nSeconds;
    printf("  processor time with the port open and idle, over %d s: %.0f ms per minute (%.2f%% of one processor)\n",
           nSeconds, perMinute, used / (nSeconds * 10.0));
    printf("    a bare window reading a port every 300 ms and changing its tray icon every second: %.0f ms per minute",
           floorPerMinute);
    if (floorUsed > 0)
        printf(", the program %.2f times that", used / floorUsed);
    printf("\n    (the time the scheduler ran each one's threads)\n");
}

// A device pulled out: the processor time the program spends from the moment
// its line went until the window shows it lost, and back once it returns.
void LineGoes(Program& p, KeySink& sink)
{
    double before = p.CpuMs(), start = Now();
    VirtualLine::Drop("COM1");
    bool bLost = false;
    while (!(bLost = p.Text(IDC_LABEL_STATUS) == "Port Status: Lost") && Now() - start < 10000)
        sink.Pump(5);
    double ms = Now() - start, used = p.CpuMs() - before;
    VirtualLine::Restore("COM1");
    if (!bLost) {
        printf("  a line that goes: not shown lost within 10 s\n");
        return;
    }
    printf("  a line that goes: shown lost after %.0f ms, the program's processor time meanwhile %.0f ms\n", ms,
           used);
    start = Now();
    while (p.Text(IDC_LABEL_STATUS) != "Port Status: Open" && Now() - start < 10000)
        sink.Pump(50);
}

// What an earlier part left on the line, in its buffers, is gone: a stream
// the program fell behind on would otherwise be typed into the next part.
void EmptyLine()
{
    VirtualLine::Drop("COM1");
    VirtualLine::Restore("COM1");
}

void Open(Program& p)
{
    p.Click(IDC_BTN_OPENCLOSE);
    if (p.Text(IDC_BTN_OPENCLOSE) != "&Close Port")
        throw std::runtime_error("the port did not open");
}

typedef std::vector<std::pair<const char*, const char*>> Rules;

// The mode and the rules stored, and the line emptied, before the program
// starts.
struct StoredRules {
    StoredRules(bool bAtOnce, const Rules& rules)
    {
        EmptyLine();
        Store::Clear();
        if (bAtOnce)
            Store::PutText("ScanAtOnce", "1");
        for (const auto& rule : rules)
            Store::PutText(rule.first, rule.second);
    }
};

// The program started with the mode and the rules, its port open, typing
// into the sink.
struct Session {
    Session(bool bAtOnce, const Rules& rules) : stored(bAtOnce, rules)
    {
        Open(p);
        sink.Activate();
    }
    // A stream that follows starts on an empty line.
    void Reopen()
    {
        p.Click(IDC_BTN_OPENCLOSE);
        EmptyLine();
        Open(p);
        sink.Activate();
    }
    StoredRules stored;
    Program p;
    KeySink sink;
};

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using WebPage = boost::beast::websocket::stream<tcp::socket>;

unsigned short FreePort(asio::io_context& io)
{
    return tcp::acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)).local_endpoint().port();
}

// n pages connected to the feed on the port.
std::vector<std::unique_ptr<WebPage>> ConnectPages(asio::io_context& io, unsigned short nPort, int n)
{
    std::vector<std::unique_ptr<WebPage>> pages;
    for (int i = 0; i < n; i++) {
        pages.push_back(std::make_unique<WebPage>(io));
        pages.back()->next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), nPort));
        pages.back()->handshake("127.0.0.1:" + std::to_string(nPort), "/");
    }
    return pages;
}

// What the window's thread pays for a value with 16 pages connected: the
// feed's Add, in this process; the pages read on a thread of their own.
void WebFeedAdd()
{
    asio::io_context io;
    CWebFeed web;
    unsigned short nPort = FreePort(io);
    web.Take(std::to_string(nPort).c_str(), "");
    auto pages = ConnectPages(io, nPort, 16);
    std::thread reader([&] {
        boost::beast::flat_buffer buffer;
        boost::beast::error_code error;
        while (!error) {
            for (auto& page : pages)
                page->read(buffer, error);
            buffer.consume(buffer.size());
        }
    });
    const int kValues = 500;   // fewer than a page may be behind
    double start = Now();
    for (int i = 0; i < kValues; i++)
        web.Add(L"4006381333931", "typed");
    printf("the web feed's Add with 16 pages connected, on the window's thread: %.1f us a value\n",
           (Now() - start) * 1000 / kValues);
    for (auto& page : pages)
        page->next_layer().close();
    reader.join();
}

// The web feed on, first without pages, then with 16 connected: scan to last
// key in both, scan to the first page's message beside it, and the
// program's processor time a scan.
void WebPages(bool bAtOnce, int nScans)
{
    asio::io_context io;
    unsigned short nPort = FreePort(io);
    std::string port = std::to_string(nPort);
    Session s(bAtOnce, { { "WebPort", port.c_str() } });
    const std::string scan = "4006381333931\r";
    std::vector<double> keysAlone, keys, page;
    srand(3);
    double before = s.p.CpuMs();
    for (int i = 0; i < nScans; i++) {
        Sleep(50 + rand() % 300);
        TimeScan(s.sink, scan, keysAlone);
    }
    double cpuAlone = (s.p.CpuMs() - before) / nScans;
    auto pages = ConnectPages(io, nPort, 16);
    std::mutex mutex;
    std::vector<double> arrivals;
    std::thread reader([&] {
        boost::beast::flat_buffer buffer;
        boost::beast::error_code error;
        while (!error) {
            pages[0]->read(buffer, error);
            if (!error && boost::beast::buffers_to_string(buffer.data()).find("\"value\"") != std::string::npos) {
                std::lock_guard<std::mutex> lock(mutex);
                arrivals.push_back(Now());
            }
            buffer.consume(buffer.size());
        }
    });
    before = s.p.CpuMs();
    for (int i = 0; i < nScans; i++) {
        Sleep(50 + rand() % 300);
        s.sink.text.clear();
        VirtualLine::Send("COM1", scan);
        double sent = Now();
        if (s.sink.WaitForChars(scan.size(), 5000))
            keys.push_back(Now() - sent);
        for (double waited = Now(); Now() - waited < 2000; Sleep(1)) {
            std::lock_guard<std::mutex> lock(mutex);
            if (arrivals.size() > page.size()) {
                page.push_back(arrivals.back() - sent);
                break;
            }
        }
    }
    double cpuPages = (s.p.CpuMs() - before) / nScans;
    for (auto& p : pages)
        p->next_layer().close();
    reader.join();
    printf("  the web feed (WebPort set), %d scans of %u bytes, last byte written to\n", nScans, (unsigned)scan.size());
    printf("    last key received, no page connected:\n");
    PrintFigures("      ", keysAlone, nScans, "scans not typed whole within 5 s");
    printf("    last key received, 16 pages connected:\n");
    PrintFigures("      ", keys, nScans, "scans not typed whole within 5 s");
    printf("    the first page's message, 16 pages connected:\n");
    PrintFigures("      ", page, nScans, "messages that did not come within 2 s");
    printf("    what 16 pages cost a scan: the program's processor time %.2f ms without pages, %.2f ms with 16 "
           "(%+.2f ms)\n", cpuAlone, cpuPages, cpuPages - cpuAlone);
}

// Every part in one mode; only latency when bLatencyOnly.
void Measure(bool bAtOnce, int nScans, int nIdleSeconds, bool bLatencyOnly)
{
    printf("%s:\n", bAtOnce ? "ScanAtOnce on (ScanAtOnce = \"1\")" : "the poll (ScanAtOnce off)");
    try {
        {
            Session s(bAtOnce, {});
            Latency(s.sink, nScans);
            if (bLatencyOnly)
                return;
            SplitScans(s.sink, nScans, 12, 40, kMsPerByte9600, 9600);
            SplitScans(s.sink, 20, 600, 600, kMsPerByte115200, 115200);
            if (nIdleSeconds > 0)
                IdleCpu(s.p, s.sink, nIdleSeconds);
            LineGoes(s.p, s.sink);
            s.Reopen();
            Rate(s.sink, kMsPerByte9600, 9600, 8);
            s.Reopen();
            Rate(s.sink, kMsPerByte115200, 115200, 8);
        }
        {
            Session s(bAtOnce, { { "ScanPattern", "^ST,GS,[+-]0*(\\d+\\.\\d+)kg$" }, { "ScanSuffix", "{ENTER}" } });
            Weights(s.sink, 120);
        }
        {
            Session s(bAtOnce, { { "RequestCommand", "SI\\r\\n" }, { "RequestInterval", "300" } });
            Replies(s.sink, nScans);
        }
        TwoDevices(bAtOnce, 8);
        WebPages(bAtOnce, nScans);
    } catch (const std::exception& e) {
        printf("  this mode's remaining parts not measured: %s\n", e.what());
    }
}

// The platform's floor beside the program: a bare reader that types each
// scan in one SendInput the moment its CR arrives, then ScanAtOnce with the
// scan quiet at 20 ms and at 5 ms, each median against the floor's.
void AgainstFloor(int nScans)
{
    printf("latency against the platform's floor (ScanAtOnce on):\n");
    EmptyLine();
    std::vector<double> floorMs;
    {
        KeySink sink;
        PROCESS_INFORMATION floor = {};
        if (!StartFloor(floor, "latency COM1")) {
            printf("  cannot start %s\n", kFloorName);
            return;
        }
        sink.Activate();
        sink.Pump(1000);
        printf("  the floor:\n");
        floorMs = Latency(sink, nScans);
        EndFloor(floor);
    }
    for (const char* pszQuiet : { "20", "5" }) {
        try {
            Session s(true, { { "ScanQuietMs", pszQuiet } });
            printf("  the program, ScanQuietMs %s:\n", pszQuiet);
            std::vector<double> ms = Latency(s.sink, nScans);
            if (!ms.empty() && !floorMs.empty())
                printf("    median %.1f times the floor's\n", Percentile(ms, 50) / Percentile(floorMs, 50));
        } catch (const std::exception& e) {
            printf("  ScanQuietMs %s: not measured: %s\n", pszQuiet, e.what());
        }
    }
}

// A device on TCP: the program connects to this process as to a device
// server, at tcp://localhost:PORT.
struct TcpDevice {
    asio::io_context io;
    tcp::acceptor acceptor { io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0) };
    tcp::socket socket { io };
    std::string Port() { return "tcp://localhost:" + std::to_string(acceptor.local_endpoint().port()); }
    void Send(const std::string& bytes) { asio::write(socket, asio::buffer(bytes)); }
};

// Latency in both modes, and a stream of 30-byte lines at 115200 baud's pace
// (11,520 bytes a second) with ScanAtOnce: the characters typed a second and
// the bytes lost. The same scans as on COM1, for comparison.
void NetDevice(int nScans, int nSeconds)
{
    printf("a device on TCP (tcp://localhost:PORT), scan quiet 5 ms:\n");
    for (bool bAtOnce : { false, true }) {
        try {
            TcpDevice device;
            Session s(bAtOnce, { { "COMMPORT", device.Port().c_str() }, { "ScanQuietMs", "5" } });
            device.acceptor.accept(device.socket);
            device.socket.set_option(tcp::no_delay(true));
            printf("  %s:\n", bAtOnce ? "ScanAtOnce on" : "the poll");
            Latency(s.sink, nScans, nullptr, [&](const std::string& scan) { device.Send(scan); });
            if (!bAtOnce)
                continue;
            std::string stream = VirtualLine::Burst((size_t)(nSeconds * 1000 / kMsPerByte115200 + 0.5));
            for (size_t i = 29; i < stream.size(); i += 30)
                stream[i] = '\r';
            s.sink.text.clear();
            s.sink.events.clear();
            double start = Now();
            LONG firstByte = (LONG)GetTickCount();
            std::thread sender([&] {
                // The line's bytes as a device server forwards them: as they
                // come, here a millisecond's at a time.
                for (size_t i = 0; i < stream.size(); i += 12) {
                    device.Send(stream.substr(i, 12));
                    double due = start + (i + 12) * kMsPerByte115200;
                    while (Now() < due)
                        Sleep(1);
                }
            });
            Settle(s.sink, stream.size(), 1000, GetTickCount() + (DWORD)stream.size());   // 1,000 characters/s at least
            sender.join();
            std::vector<LONG> keys = CharacterKeyTimes(s.sink.events);
            LONG lastKey = keys.empty() ? firstByte : keys.back();
            printf("  a stream of %u bytes at 115200 baud's pace, ScanAtOnce on:\n"
                   "    %.0f characters/s typed, bytes lost %u\n",
                   (unsigned)stream.size(), s.sink.text.size() * 1000.0 / std::max<LONG>(1, lastKey - firstByte),
                   (unsigned)(stream.size() - InOrder(Wide(stream), s.sink.text)));
            printf("  the same on COM1:\n");
            Session com(true, { { "ScanQuietMs", "5" } });
            Rate(com.sink, kMsPerByte115200, 115200, nSeconds);
        } catch (const std::exception& e) {
            printf("  not measured: %s\n", e.what());
        }
    }
}

// With ScanAtOnce, whose latency has no poll in it: latency and the
// program's processor time a scan without a target and a log, with a log,
// and with a target brought back to front for every scan.
void TargetAndLog(int nScans)
{
    printf("the target window and the log (ScanAtOnce on):\n");
    wchar_t szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    std::wstring folder = std::wstring(szTemp) + L"bench-log";
    std::string logFile = std::string(folder.begin(), folder.end()) + "\\scans-{DATE}.csv";
    const struct { const char* pszWhat; Rules rules; bool bOtherInFront; } kCases[] = {
        { "neither", {}, false },
        { "a log file", { { "LogFile", logFile.c_str() } }, false },
        { "a target brought to front for each scan", { { "TargetWindow", "Key sink" }, { "TargetActivate", "1" } }, true },
    };
    for (const auto& c : kCases) {
        try {
            Session s(true, c.rules);
            KeySink other;
            SetWindowTextA(other.hwnd(), "Other");
            s.sink.Activate();
            printf("  %s:\n", c.pszWhat);
            double before = s.p.CpuMs();
            Latency(s.sink, nScans, c.bOtherInFront ? &other : nullptr);
            printf("    the program's processor time: %.2f ms a scan\n", (s.p.CpuMs() - before) / nScans);
        } catch (const std::exception& e) {
            printf("  %s: not measured: %s\n", c.pszWhat, e.what());
        }
    }
}

// With ScanAtOnce: a scan's latency with the Received Data window closed and
// open, and a 4,096-character code (an ID card's) typed as keys and pasted.
void ReceivedDataAndPaste(int nScans)
{
    printf("the Received Data window and pasting (ScanAtOnce on):\n");
    try {
        Session s(true, {});
        Latency(s.sink, nScans);
        PostMessageA(s.p.hwnd, WM_SYSCOMMAND, IDM_RECEIVEDDATA, 0);
        s.p.Sync();
        if (FindWindowA(NULL, "Received Data - Brindlequaverly") == NULL)
            throw std::runtime_error("the Received Data window did not open");
        s.sink.Activate();
        printf("  with the Received Data window open:\n");
        Latency(s.sink, nScans);
    } catch (const std::exception& e) {
        printf("  the Received Data window: not measured: %s\n", e.what());
    }
    const std::string card = VirtualLine::Burst(4096);
    for (const char* pszTypeBy : { "Keys", "Paste" }) {
        try {
            Session s(true, { { "TypeBy", pszTypeBy } });
            std::vector<double> ms;
            for (int i = 0; i < 5; i++) {
                s.sink.text.clear();
                VirtualLine::Send("COM1", card);
                double sent = Now();
                if (s.sink.WaitForChars(card.size(), 30000) && s.sink.text == std::wstring(card.begin(), card.end()))
                    ms.push_back(Now() - sent);
                s.sink.Pump(300);
            }
            printf("  TypeBy %s, a 4,096-character scan, last byte written to last character received, 5 scans:\n",
                   pszTypeBy);
            if (!ms.empty())
                printf("    median %.0f ms, max %.0f ms\n", Percentile(ms, 50), *std::max_element(ms.begin(), ms.end()));
            if (ms.size() < 5)
                printf("    scans not received whole within 30 s: %d\n", 5 - (int)ms.size());
        } catch (const std::exception& e) {
            printf("  TypeBy %s: not measured: %s\n", pszTypeBy, e.what());
        }
    }
}

} // namespace

// Arguments: scans for latency and split scans (60), seconds of idle
// measurement in each mode (30), and "latency" to measure only latency (and
// the floor), "net" for only the floor and a device on TCP, or
// "target" to measure only the target window and the log, "web" for only
// the web feed in each mode, or "received" to measure only the Received Data
// window and pasting.
int main(int argc, char** argv)
{
    int nScans = argc > 1 ? atoi(argv[1]) : 60;
    int nIdleSeconds = argc > 2 ? atoi(argv[2]) : 30;
    bool bLatencyOnly = argc > 3 && strcmp(argv[3], "latency") == 0;
    bool bTargetOnly = argc > 3 && strcmp(argv[3], "target") == 0;
    bool bWebOnly = argc > 3 && strcmp(argv[3], "web") == 0;
    bool bReceivedOnly = argc > 3 && strcmp(argv[3], "received") == 0;
    bool bNetOnly = argc > 3 && strcmp(argv[3], "net") == 0;
    setvbuf(stdout, NULL, _IONBF, 0);
    printf("bounds the design sets: a poll every 300 ms (up to 300 ms of waiting), or with\n"
           "  ScanAtOnce none; a scan ends after ScanQuietMs (20 ms unless set) of quiet line\n");
    if (!bTargetOnly && !bWebOnly && !bReceivedOnly)
        AgainstFloor(nScans);
    if (bNetOnly || (!bTargetOnly && !bWebOnly && !bReceivedOnly && !bLatencyOnly))
        NetDevice(nScans, 4);
    for (bool bAtOnce : { false, true }) {
        if (bNetOnly) {
            break;
        } else if (bWebOnly) {
            printf("%s:\n", bAtOnce ? "ScanAtOnce on" : "the poll");
            WebPages(bAtOnce, nScans);
        } else if (!bTargetOnly && !bReceivedOnly) {
            Measure(bAtOnce, nScans, nIdleSeconds, bLatencyOnly);
        }
    }
    if (bWebOnly)
        WebFeedAdd();
    if (!bLatencyOnly && !bWebOnly && !bReceivedOnly && !bNetOnly)
        TargetAndLog(nScans);
    if (!bLatencyOnly && !bTargetOnly && !bWebOnly && !bNetOnly)
        ReceivedDataAndPaste(nScans);
    Store::Clear();
    return 0;
}
