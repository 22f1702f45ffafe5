// The port object on real pty-backed serial lines under Wine: what it applies
// to the line, what it hands back, and how it fails.
#include <gtest/gtest.h>
#include "../serial/CommPort.h"
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
    std::string ReadAll(CBufferedCommPort& port)
    {
        std::string all;
        CString text;
        while (port.ReadAvailable(text) > 0)
            all.append((LPCSTR)text, text.GetLength());
        return all;
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
    CString text("stale");
    EXPECT_EQ(port.ReadAvailable(text), 0);
    EXPECT_STREQ(text, "");
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
    CString text;
    EXPECT_EQ(port.ReadAvailable(text), 0);
    Send("NEW\r");
    EXPECT_EQ(port.ReadAvailable(text), 4);
    EXPECT_STREQ(text, "NEW\r");
}

TEST_F(SerialLine, HandsBackAScanWithItsLineEndsUnchanged)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    Send("12345\r\n");
    CString text;
    EXPECT_EQ(port.ReadAvailable(text), 7);
    EXPECT_STREQ(text, "12345\r\n");
    EXPECT_EQ(port.ReadAvailable(text), 0);
    EXPECT_STREQ(text, "");
}

TEST_F(SerialLine, EveryByteValueFromOneTo255RoundTrips)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 115200, 8, NOPARITY, ONESTOPBIT));
    std::string all;
    for (int c = 1; c < 256; c++) all += (char)c;
    Send(all, 300);
    EXPECT_EQ(ReadAll(port), all);
}

TEST_F(SerialLine, ABurstComesBackAtMost254BytesACall)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 115200, 8, NOPARITY, ONESTOPBIT));
    std::string burst;
    for (int i = 0; i < 600; i++) burst += (char)('A' + i % 26);
    Send(burst, 400);
    CString text;
    std::string got;
    ASSERT_EQ(port.ReadAvailable(text), 254);
    got.append((LPCSTR)text, 254);
    ASSERT_EQ(port.ReadAvailable(text), 254);
    got.append((LPCSTR)text, 254);
    ASSERT_EQ(port.ReadAvailable(text), 92);
    got.append((LPCSTR)text, 92);
    EXPECT_EQ(got, burst);
    EXPECT_EQ(port.ReadAvailable(text), 0);
}

TEST_F(SerialLine, ANulByteIsDroppedAloneAndTheRestOfTheReadKept)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    Send(std::string("12\0" "34\0\0" "5\r", 9));
    CString text;
    EXPECT_EQ(port.ReadAvailable(text), 6);
    EXPECT_STREQ(text, "12345\r");
    Send(std::string("\0\0\0", 3));
    EXPECT_EQ(port.ReadAvailable(text), 0);
    EXPECT_STREQ(text, "");
}

TEST_F(SerialLine, AReadWithNothingWaitingReturnsWithinTensOfMilliseconds)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    CString text;
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
    CString text;
    EXPECT_EQ(first.ReadAvailable(text), 1);
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
    CString text;
    // Shift-JIS: the lead byte waits for its trail.
    Send("A\x93\xFA\x96");
    EXPECT_EQ(port.ReadAvailable(text, 932), 3);
    EXPECT_STREQ(text, "A\x93\xFA");
    Send("\x7B-1");
    EXPECT_EQ(port.ReadAvailable(text, 932), 4);
    EXPECT_STREQ(text, "\x96\x7B-1");
    // UTF-8: a sequence cut anywhere waits, for one read only.
    Send("\xE6\x97");
    EXPECT_EQ(port.ReadAvailable(text, 65001), 0);
    Send("\xA5\xE6");
    EXPECT_EQ(port.ReadAvailable(text, 65001), 3);
    EXPECT_STREQ(text, "\xE6\x97\xA5");
    EXPECT_EQ(port.ReadAvailable(text, 65001), 1);
    EXPECT_STREQ(text, "\xE6");
    // A single-byte code page keeps nothing back.
    Send("\x93");
    EXPECT_EQ(port.ReadAvailable(text, 1252), 1);
}

TEST_F(SerialLine, AFailedReadIsAcknowledgedAndOnlyAGoneDeviceLosesThePort)
{
    CBufferedCommPort port;
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    CString text;
    {
        FailingReads reads(ERROR_COUNTER_TIMEOUT);
        EXPECT_EQ(port.ReadAvailable(text), 0);
        EXPECT_EQ(reads.nClears, 1);
        EXPECT_FALSE(port.IsLost());
    }
    Send("X");
    EXPECT_EQ(port.ReadAvailable(text), 1);
    for (DWORD dwError : { ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED,
                           ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED }) {
        ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
        FailingReads reads(dwError);
        EXPECT_EQ(port.ReadAvailable(text), 0) << dwError;
        EXPECT_EQ(reads.nClears, 1) << dwError;
        EXPECT_TRUE(port.IsLost()) << dwError;
    }
    // A new open starts afresh.
    ASSERT_TRUE(port.OpenPort("COM1:", 9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_FALSE(port.IsLost());
}
