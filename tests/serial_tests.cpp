// The port object on real pty-backed serial lines under Wine: what it applies
// to the line, what it hands back, and how it fails.
#include <gtest/gtest.h>
#include <thread>
#include "../serial/CommPort.h"
#include "../serial/LineReader.h"
#include "support/Recorders.h"
#include "support/VirtualLine.h"

namespace {

const char kCannotOpen[] = "The specified port cannot be opened!";
const char kNotSupported[] = "The line settings are not supported by the specified port!";

class SerialLine : public ::testing::Test {
protected:
    void SetUp() override { VirtualLine::Request("PING"); }
    // Bytes sent from the device end reach the port's queue a moment later.
    void Send(const std::string& bytes, DWORD settleMs = 150)
    {
        VirtualLine::Send("COM1", bytes);
        Sleep(settleMs);
    }
    // Every scan the port hands back until the line is idle, as a poll reads
    // them: what waits for the rest of a character waits for the next poll.
    std::vector<std::wstring> ReadScans(CBufferedCommPort& port, UINT nCodePage = CP_ACP)
    {
        std::vector<std::wstring> scans;
        std::wstring scan;
        for (ReadResult r; (r = port.ReadAvailable(scan, nCodePage)) != READ_IDLE;) {
            if (r == READ_SCAN)
                scans.push_back(scan);
            if (r == READ_SCAN && !port.IsReceiving())
                break;
        }
        return scans;
    }
    MessageBoxRecorder boxes;
};

} // namespace

TEST(DevicePath, NamesWithoutABackslashGoThroughTheDeviceNamespace)
{
    EXPECT_STREQ(DevicePath("COM12:"), "\\\\.\\COM12");
    EXPECT_STREQ(DevicePath("COM3:"), "\\\\.\\COM3");
    EXPECT_STREQ(DevicePath("COM3"), "\\\\.\\COM3");
    EXPECT_STREQ(DevicePath("COM3::"), "\\\\.\\COM3:");   // one colon only
    EXPECT_STREQ(DevicePath(":"), "\\\\.\\");
    EXPECT_STREQ(DevicePath("\\\\.\\COM5"), "\\\\.\\COM5");
    EXPECT_STREQ(DevicePath("C:\\x\\y:"), "C:\\x\\y:");
}

TEST(ClosedPort, ReadsAndWritesNothingAndClosesQuietly)
{
    CBufferedCommPort port;
    char buf[4];
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Read(buf, sizeof buf), 0u);
    EXPECT_EQ(port.Write("x", 1), 0u);
    std::wstring text = L"stale";
    EXPECT_EQ(port.ReadAvailable(text), READ_IDLE);
    EXPECT_EQ(text, L"");
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialLine, AppliesEveryListedBaudRateThatAPtyTakes)
{
    CBufferedCommPort port;
    for (const char* rate : { "1200", "2400", "4800", "9600", "19200", "38400", "57600",
                              "115200", "230400", "460800" }) {
        ASSERT_TRUE(port.OpenPort("COM1:", atol(rate), 8, NOPARITY, ONESTOPBIT)) << rate;
        EXPECT_EQ(VirtualLine::Settings("COM1")["speed"], rate);
    }
    EXPECT_TRUE(boxes.texts.empty());
}

// A Linux pty forces 8 data bits and no parity whatever it is given, so of
// the character format only the stop bits are visible from the far end; the
// other fields must still be accepted.
TEST_F(SerialLine, AcceptsEveryCharacterFormatAndAppliesTheStopBits)
{
    CBufferedCommPort port;
    struct { BYTE size, parity, stop; const char* cstopb; } cases[] = {
        { 8, NOPARITY, ONESTOPBIT, "0" },
        { 7, EVENPARITY, ONESTOPBIT, "0" },
        { 7, ODDPARITY, TWOSTOPBITS, "1" },
        { 8, MARKPARITY, ONESTOPBIT, "0" },
        { 8, SPACEPARITY, TWOSTOPBITS, "1" },
        { 7, NOPARITY, TWOSTOPBITS, "1" },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.size << " bits, parity " << (int)c.parity << ", stop " << (int)c.stop);
        ASSERT_TRUE(port.OpenPort("COM1:", 19200, c.size, c.parity, c.stop));
        auto tty = VirtualLine::Settings("COM1");
        EXPECT_EQ(tty["speed"], "19200");
        EXPECT_EQ(tty["cstopb"], c.cstopb);
    }
}

TEST_F(SerialLine, TurnsFlowControlOffWhateverTheLineHadBefore)
{
    // Another program left hardware and software flow control on.
    HANDLE h = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.fOutxCtsFlow = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = dcb.fInX = TRUE;
    ASSERT_TRUE(SetCommState(h, &dcb));
    auto before = VirtualLine::Settings("COM1");
    EXPECT_EQ(before["crtscts"], "1");
    EXPECT_EQ(before["ixon"], "1");
    CloseHandle(h);

    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    auto tty = VirtualLine::Settings("COM1");
    EXPECT_EQ(tty["crtscts"], "0");
    EXPECT_EQ(tty["ixon"], "0");
    EXPECT_EQ(tty["ixoff"], "0");
    EXPECT_NE(tty["dtr"], "1");   // a pty shows no modem lines ("na"); a real port shows 0
    EXPECT_NE(tty["rts"], "1");
}

TEST_F(SerialLine, DiscardsWhatArrivedBeforeTheOpen)
{
    Send("OLD-DATA\r");
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_TRUE(ReadScans(port).empty());
    Send("NEW\r");
    EXPECT_EQ(ReadScans(port), std::vector<std::wstring>{ L"NEW\r" });
}

TEST_F(SerialLine, HandsBackAScanWithItsLineEndsUnchanged)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    Send("12345\r\n");
    std::wstring text;
    EXPECT_EQ(port.ReadAvailable(text), READ_SCAN);
    EXPECT_EQ(text, L"12345\r\n");
    EXPECT_EQ(port.ReadAvailable(text), READ_IDLE);
    EXPECT_EQ(text, L"");
}

TEST_F(SerialLine, EveryByteValueFromOneTo255RoundTrips)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 115200, 8, NOPARITY, ONESTOPBIT));
    std::string all;
    for (int c = 1; c < 256; c++) all += (char)c;
    Send(all, 300);
    EXPECT_EQ(ReadScans(port, 1252), std::vector<std::wstring>{ DecodeText(all.c_str(), 1252) });
}

// A long 2D code (an ID card's PDF417 holds 300 to 700 bytes) comes in many
// reads; what passes 4096 bytes without a pause is cut at its last line end.
TEST_F(SerialLine, AScanComesBackWholeUpTo4096BytesAndLongerOnesAtLineEnds)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 115200, 8, NOPARITY, ONESTOPBIT));
    std::string scan = VirtualLine::Burst(600) + "\r";
    Send(scan, 400);
    EXPECT_EQ(ReadScans(port), std::vector<std::wstring>{ std::wstring(scan.begin(), scan.end()) });

    std::string line = VirtualLine::Burst(3000) + "\r", rest = VirtualLine::Burst(2000) + "\r";
    Send(line + rest, 400);
    EXPECT_EQ(ReadScans(port), (std::vector<std::wstring>{ std::wstring(line.begin(), line.end()),
                                                           std::wstring(rest.begin(), rest.end()) }));
    std::string noEnd = VirtualLine::Burst(5000);
    Send(noEnd, 400);
    std::vector<std::wstring> pieces = ReadScans(port);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 4096u);
    EXPECT_EQ(pieces[0] + pieces[1], std::wstring(noEnd.begin(), noEnd.end()));
}

// A scale in continuous mode never pauses: its lines are handed back at line
// ends while it streams, each line whole.
TEST_F(SerialLine, AStreamWithoutAPauseComesBackInWholeLinesAndNothingIsLost)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    std::string stream;
    for (int i = 0; i < 60; i++)
        stream += "ST,GS,+000" + std::to_string(1000 + i).substr(1) + ".5kg\r\n";
    std::thread device([&] { VirtualLine::Send("COM1", stream, 1.0); });
    std::wstring all, scan;
    int nPieces = 0;
    DWORD dwStart = GetTickCount();
    while (all.size() < stream.size() && GetTickCount() - dwStart < 10000) {
        if (port.ReadAvailable(scan) != READ_SCAN)
            continue;
        nPieces++;
        EXPECT_TRUE(scan.back() == L'\n' || scan.back() == L'\r') << "piece " << nPieces;
        all += scan;
    }
    device.join();
    EXPECT_EQ(all, std::wstring(stream.begin(), stream.end()));
    EXPECT_GT(nPieces, 1);
}

TEST_F(SerialLine, ANulByteIsDroppedAloneAndTheRestOfTheReadKept)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    Send(std::string("12\0" "34\0\0" "5\r", 9));
    EXPECT_EQ(ReadScans(port), std::vector<std::wstring>{ L"12345\r" });
    Send(std::string("\0\0\0", 3));
    EXPECT_TRUE(ReadScans(port).empty());
}

TEST_F(SerialLine, AReadWithNothingWaitingReturnsWithinTensOfMilliseconds)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    std::wstring text;
    DWORD worst = 0;
    for (int i = 0; i < 10; i++) {
        DWORD start = GetTickCount();
        port.ReadAvailable(text);
        worst = std::max(worst, GetTickCount() - start);
    }
    EXPECT_LT(worst, 100u);
}

TEST_F(SerialLine, APortHeldByAnotherObjectCannotBeOpened)
{
    CBufferedCommPort first, second;
    ASSERT_TRUE(first.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(second.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(boxes.texts, std::vector<std::string>{ kCannotOpen });
    // The holder still reads the line.
    Send("X");
    EXPECT_EQ(ReadScans(first), std::vector<std::wstring>{ L"X" });
}

TEST_F(SerialLine, ReopeningOnTheSameObjectReleasesTheFirstHandle)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    ASSERT_TRUE(port.OpenPort("COM1:", 19200, 7, EVENPARITY, ONESTOPBIT));
    EXPECT_EQ(VirtualLine::Settings("COM1")["speed"], "19200");
    // Another port on the same object: the first one is free again.
    ASSERT_TRUE(port.OpenPort("COM2:", 9600, 8, NOPARITY, ONESTOPBIT));
    CBufferedCommPort other;
    EXPECT_TRUE(other.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SerialLine, CloseAndDestructionGiveThePortBack)
{
    {
        CBufferedCommPort port;
        ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
        port.Close();
        EXPECT_FALSE(port.IsOpen());
        port.Close();
        ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    }   // destroyed while open
    CBufferedCommPort next;
    EXPECT_TRUE(next.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SerialLine, APortOpenedForReadingWritesNothing)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_EQ(port.Write("abc", 3), 0u);
    EXPECT_EQ(VirtualLine::Request("READFAR COM1"), "OK ");
}

TEST_F(SerialLine, PortsAboveNineOpen)
{
    CBufferedCommPort port;
    EXPECT_TRUE(port.OpenPort("COM12:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(SerialLine, LineSettingsTheDriverRefusesLeaveThePortClosed)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(port.OpenPort("COM1:", 9600, 9, NOPARITY, ONESTOPBIT));   // nine data bits
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.OpenPort("COM1:", 9600, 8, 7, ONESTOPBIT));          // no such parity
    // A rate a pty takes while it runs another one (38400).
    EXPECT_FALSE(port.OpenPort("COM1:", 1216000, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(boxes.texts, std::vector<std::string>(3, kNotSupported));
    // Nothing is left holding the line.
    EXPECT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
}

TEST_F(SerialLine, NamesThatAreNoSerialLineFailWithTheMessage)
{
    char file[MAX_PATH];
    GetTempPathA(MAX_PATH, file);
    strcat(file, "not-a-port.txt");
    CloseHandle(CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    std::string longName(5000, 'C');
    for (const char* name : { "", ":", "   ", "COM99:", "NOSUCHDEVICE:", (const char*)file,
                              "\\\\.\\pipe\\wedge-none", longName.c_str(), "COM1:\\x" }) {
        CBufferedCommPort port;
        boxes.texts.clear();
        EXPECT_FALSE(port.OpenPort(name, 9600, 8, NOPARITY, ONESTOPBIT)) << name;
        EXPECT_FALSE(port.IsOpen()) << name;
        EXPECT_EQ(boxes.texts, std::vector<std::string>{ kCannotOpen }) << name;
    }
    DeleteFileA(file);   // not held open by the failed attempt
    EXPECT_EQ(GetFileAttributesA(file), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SerialLine, ACharacterCutByAReadComesBackWholeWithTheNext)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    // Shift-JIS: the lead byte waits for its trail.
    Send("A\x93\xFA\x96");
    EXPECT_EQ(ReadScans(port, 932), std::vector<std::wstring>{ L"A\u65E5" });
    Send("\x7B-1");
    EXPECT_EQ(ReadScans(port, 932), std::vector<std::wstring>{ L"\u672C-1" });
    // UTF-8: a sequence cut anywhere waits, for one scan only.
    Send("\xE6\x97");
    EXPECT_TRUE(ReadScans(port, 65001).empty());
    Send("\xA5\xE6");
    EXPECT_EQ(ReadScans(port, 65001), std::vector<std::wstring>{ L"\u65E5" });
    Send("x");
    EXPECT_EQ(ReadScans(port, 65001), std::vector<std::wstring>{ L"x" });
    // A single-byte code page keeps nothing back.
    Send("\xE9");
    EXPECT_EQ(ReadScans(port, 1252), std::vector<std::wstring>{ L"\u00E9" });
}

TEST_F(SerialLine, AFailedReadIsAcknowledgedAndOnlyAGoneDeviceLosesThePort)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    std::wstring text;
    {
        FailingReads reads(ERROR_COUNTER_TIMEOUT);
        EXPECT_EQ(port.ReadAvailable(text), READ_IDLE);
        EXPECT_EQ(reads.nClears, 1);
        EXPECT_FALSE(port.IsLost());
    }
    Send("X");
    EXPECT_EQ(ReadScans(port), std::vector<std::wstring>{ L"X" });
    for (DWORD dwError : { ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED, ERROR_GEN_FAILURE }) {
        ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
        FailingReads reads(dwError);
        EXPECT_EQ(port.ReadAvailable(text), READ_LOST) << dwError;
        EXPECT_EQ(reads.nClears, 1) << dwError;
        EXPECT_TRUE(port.IsLost()) << dwError;
    }
    // A new open starts afresh.
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(port.IsLost());
}

namespace {
DCB g_lineState;
BOOL WINAPI RecordLineState(HANDLE hFile, LPDCB pDcb)
{
    g_lineState = *pDcb;
    return SetCommState(hFile, pDcb);
}
} // namespace

// A device that speaks only when asked, on the modem lines and handshake it
// needs: a pty shows the handshake; DTR and RTS only the state set shows.
TEST_F(SerialLine, ADeviceIsAskedBetweenReadsOnTheLineStateItNeeds)
{
    g_pfnSetCommState = RecordLineState;
    CBufferedCommPort port;
    LineControl control;
    control.bRaiseDTR = control.bWrites = true;
    control.handshake = HANDSHAKE_RTSCTS;
    port.SetLineControl(control);
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_EQ(g_lineState.fDtrControl, (DWORD)DTR_CONTROL_ENABLE);
    EXPECT_EQ(g_lineState.fRtsControl, (DWORD)RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(VirtualLine::Settings("COM1")["crtscts"], "1");
    VirtualLine::Received("COM1");
    port.Send("SI\r\n");
    std::wstring scan;
    EXPECT_EQ(port.ReadAvailable(scan), READ_IDLE);
    EXPECT_EQ(VirtualLine::Received("COM1"), "SI\r\n");
    Send("S S     100.00 g\r\n");
    EXPECT_EQ(ReadScans(port), std::vector<std::wstring>{ L"S S     100.00 g\r\n" });
    // A command still waiting in the reading thread when it stops (the
    // rules' OK restarts it) goes out with the port's next read.
    CLineReader reader;
    for (int i = 0; i < 5; i++) {
        reader.Start(port, NULL, WM_APP);
        reader.Send("W");
        reader.Stop();
    }
    port.ReadAvailable(scan);
    EXPECT_EQ(VirtualLine::Received("COM1"), "WWWWW");

    control.bRaiseDTR = false;
    control.bRaiseRTS = true;
    control.handshake = HANDSHAKE_XONXOFF;
    port.SetLineControl(control);
    ASSERT_TRUE(port.Reopen());
    g_pfnSetCommState = SetCommState;
    EXPECT_EQ(g_lineState.fDtrControl, (DWORD)DTR_CONTROL_DISABLE);
    EXPECT_EQ(g_lineState.fRtsControl, (DWORD)RTS_CONTROL_ENABLE);
    auto settings = VirtualLine::Settings("COM1");
    EXPECT_EQ(settings["crtscts"] + settings["ixon"] + settings["ixoff"], "011");

    // Without a command the port is read-only: what is sent anyway is refused at once.
    port.SetLineControl(LineControl());
    ASSERT_TRUE(port.Reopen());
    port.Send("SI\r\n");
    port.ReadAvailable(scan);
    EXPECT_EQ(port.TakeSendError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(port.IsSending());
}

TEST_F(SerialLine, ALineThatRefusesItsTimeoutsIsLostUnread)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    RefusedTimeouts refused;
    std::wstring text;
    EXPECT_EQ(port.ReadAvailable(text, CP_ACP, 500), READ_LOST);
    EXPECT_EQ(refused.nReads, 0);   // it could wait as long as the timeouts it kept say
}

// No read is cancelled, since Windows throws away the bytes a cancelled read
// holds: a stop waits for the read under way, which ends within its wait.
TEST_F(SerialLine, StoppingTheReaderIsNeverALoss)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    CLineReader reader;
    // Some stops come before the thread's read has begun, some while it waits.
    for (int i = 0; i < 20; i++) {
        reader.Start(port, NULL, WM_APP);
        Sleep(i % 3 * 15);
        EXPECT_TRUE(reader.Stop().empty());
        EXPECT_FALSE(reader.IsLost());
    }
    EXPECT_FALSE(port.IsLost());
    // A scan read before a stop is handed back by it.
    reader.Start(port, NULL, WM_APP);
    Send("AB\r");
    EXPECT_EQ(reader.Stop(), std::deque<std::wstring>{ L"AB\r" });
}

// Under Wine a pty whose far end closed reads nothing at once, before its
// loss shows: the thread waits as on an idle line, and does not spin.
TEST_F(SerialLine, AReaderWhoseReadsFindNothingAtOnceWaitsAsOnAnIdleLine)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    FailingReads reads(ERROR_COUNTER_TIMEOUT);   // at once, nothing, not gone
    CLineReader reader;
    reader.Start(port, NULL, WM_APP);
    Sleep(1000);
    reader.Stop();
    EXPECT_LE(reads.nClears, 40);   // one a read of 50 ms: a spinning thread makes thousands
}

TEST(Decoding, EachCodePageGivesItsCharactersWhole)
{
    // A trail byte in the ASCII range ("@" after 0x81) is no character of its own.
    EXPECT_EQ(DecodeText("\x93\xFA\x96\x7B-A1 \x81\x40", 932), L"\u65E5\u672C-A1 \u3000");
    EXPECT_EQ(DecodeText("\xD6\xD0\xCE\xC4-B2", 936), L"\u4E2D\u6587-B2");
    EXPECT_EQ(DecodeText("\xE6\x97\xA5\xE6\x9C\xAC-A1 \xF0\x9F\x98\x80", 65001), L"\u65E5\u672C-A1 \U0001F600");
    EXPECT_EQ(DecodeText("caf\xE9 \x80" "5\r", 1252), L"caf\u00E9 \u20AC" L"5\r");
}

TEST(Decoding, BytesThatMakeNoCharacterAreDroppedAndTheRestKept)
{
    EXPECT_EQ(DecodeText("A\x81\rB\x93", 932), L"A\rB");          // lead bytes without a trail
    EXPECT_EQ(DecodeText("A\xFF\xE6\x97-\xE6\x97", 65001), L"A-"); // no UTF-8, cut sequences
    EXPECT_EQ(DecodeText("x\x81\x8D\x9Dy", 1252), L"xy");           // C1 controls type nothing
}
