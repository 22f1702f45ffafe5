// Network ports: the address and AllowedSenders as plain rules, and the
// lines over this machine's loopback, read through the port as a COM port is.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>
#include "../net/NetLines.h"
#include "../serial/CommPort.h"
#include "support/Recorders.h"
#include "support/Wait.h"

TEST(NetRules, AddressesHoldOnlyAsWritten)
{
    NetAddress address;
    CString strWhy;
    ASSERT_TRUE(ParseNetAddress(" TCP://[fe80::1]:4001 ", address, strWhy)) << (LPCSTR)strWhy;
    EXPECT_EQ(address.host, "fe80::1");
    EXPECT_EQ(address.nPort, 4001);
    ASSERT_TRUE(ParseNetAddress("udp://:10110", address, strWhy));
    EXPECT_EQ(address.kind, NET_UDP);
    EXPECT_EQ(address.host, "");
    for (const char* pszBad : { "tcp://", "tcp://scale", "tcp://scale:", "tcp://scale:0", "tcp://scale:65536",
                                "tcp://fe80::1:4001", "http://scale:80", "tcp://[fe80::1:4001" }) {
        strWhy.Empty();
        EXPECT_FALSE(ParseNetAddress(pszBad, address, strWhy)) << pszBad;
        EXPECT_NE(strWhy, "") << pszBad;
    }
    EXPECT_FALSE(IsNetworkPort("COM 1"));
}

static sockaddr_storage Sender(const char* pszAddress)
{
    sockaddr_storage address = {};
    if (::inet_pton(AF_INET, pszAddress, &((sockaddr_in&)address).sin_addr) == 1)
        address.ss_family = AF_INET;
    else if (::inet_pton(AF_INET6, pszAddress, &((sockaddr_in6&)address).sin6_addr) == 1)
        address.ss_family = AF_INET6;
    return address;
}

TEST(NetRules, OnlyListedSendersOrWithNoneListedThisPCsSendersComeIn)
{
    std::vector<SenderNet> senders;
    CString strWhy;
    ASSERT_TRUE(ParseAllowedSenders(" 192.168.10.21  10.0.5.0/24 fe80::/10 ", senders, strWhy));
    for (const char* pszIn : { "192.168.10.21", "10.0.5.77", "fe80::1", "::ffff:10.0.5.3" }) {
        sockaddr_storage sender = Sender(pszIn);
        EXPECT_TRUE(SenderAllowed((sockaddr*)&sender, senders)) << pszIn;
    }
    for (const char* pszOut : { "192.168.10.22", "10.0.6.1", "fec0::1", "127.0.0.1" }) {
        sockaddr_storage sender = Sender(pszOut);
        EXPECT_FALSE(SenderAllowed((sockaddr*)&sender, senders)) << pszOut;
    }
    sockaddr_storage local = Sender("127.0.0.2"), remote = Sender("192.168.10.21");
    EXPECT_TRUE(SenderAllowed((sockaddr*)&local, {}));
    EXPECT_FALSE(SenderAllowed((sockaddr*)&remote, {}));
    for (const char* pszBad : { "10.0.5.0/33", "scale.local", "10.0.5.0/", "fe80::/129" }) {
        strWhy.Empty();
        EXPECT_FALSE(ParseAllowedSenders(pszBad, senders, strWhy)) << pszBad;
        EXPECT_NE(strWhy, "") << pszBad;
    }
}

namespace {

class NetLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { ::WSACleanup(); }
    // A port this machine has free now, for TCP.
    static unsigned short FreePort()
    {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = { AF_INET, 0, { { { 127, 0, 0, 1 } } }, {} };
        int nSize = sizeof address;
        ::bind(s, (sockaddr*)&address, nSize);
        ::getsockname(s, (sockaddr*)&address, &nSize);
        ::closesocket(s);
        return ntohs(address.sin_port);
    }
    // The line the text names, opened; empty with the reason where it was refused.
    std::unique_ptr<CNetLine> Open(const char* pszPort, const char* pszSenders, CString& strWhy)
    {
        NetAddress address;
        std::vector<SenderNet> senders;
        EXPECT_TRUE(ParseNetAddress(pszPort, address, strWhy) && ParseAllowedSenders(pszSenders, senders, strWhy));
        std::unique_ptr<CNetLine> pLine = MakeNetLine(address, senders, pszPort);
        if (!pLine->Open(strWhy))
            pLine.reset();
        return pLine;
    }
    // A device connecting from the loopback address given.
    static SOCKET Connect(const char* pszFrom, unsigned short nPort)
    {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in from = { AF_INET, 0, {}, {} }, to = { AF_INET, htons(nPort), {}, {} };
        ::inet_pton(AF_INET, pszFrom, &from.sin_addr);
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        ::bind(s, (sockaddr*)&from, sizeof from);
        EXPECT_EQ(::connect(s, (sockaddr*)&to, sizeof to), 0) << ::WSAGetLastError();
        return s;
    }
    static std::vector<std::wstring> ReadScans(CBufferedCommPort& port, size_t nCount)
    {
        std::vector<std::wstring> scans;
        WaitUntil([&] {
            std::wstring scan;
            if (port.ReadAvailable(scan, CP_ACP, 20) == READ_SCAN)
                scans.push_back(scan);
            return scans.size() >= nCount;
        });
        return scans;
    }
};

int WINAPI NameNotFound(const char*, const char*, const addrinfo*, addrinfo**)
{
    return WSAHOST_NOT_FOUND;
}

} // namespace

TEST_F(NetLine, TwoDevicesOnAListeningPortNeverMixAndAForeignSenderTypesNothing)
{
    unsigned short nPort = FreePort();
    CString strWhy, strPort;
    strPort.Format("tcp://127.0.0.1:%u", nPort);
    EventRecorder events;
    CBufferedCommPort port;
    port.OpenNetLine(Open(strPort, "127.0.0.1", strWhy));
    ASSERT_TRUE(port.IsOpen()) << (LPCSTR)strWhy;
    SOCKET first = Connect("127.0.0.1", nPort), second = Connect("127.0.0.1", nPort);
    SOCKET foreign = Connect("127.0.0.2", nPort);
    ::send(foreign, "EVIL\r", 5, 0);
    ::send(first, "0123", 4, 0);   // both scans wait, neither ended by a line end
    ::send(second, "ABC", 3, 0);
    Sleep(50);
    EXPECT_EQ(ReadScans(port, 2), (std::vector<std::wstring> { L"0123", L"ABC" }));
    ASSERT_EQ(events.entries.size(), 1u);
    EXPECT_NE(events.entries[0].text.find("127.0.0.2 is not in AllowedSenders"), std::string::npos);
    char reply[8];
    EXPECT_LE(::recv(foreign, reply, sizeof reply, 0), 0);   // closed unread
    ::closesocket(first);   // a device going leaves the port open for the next
    ::send(second, "DEF\r", 4, 0);
    EXPECT_EQ(ReadScans(port, 1), std::vector<std::wstring> { L"DEF\r" });
    EXPECT_FALSE(port.IsLost());
    for (SOCKET s : { second, foreign })
        ::closesocket(s);
}

TEST_F(NetLine, APortThatCannotOpenSaysTheSystemsOrTheResolversReason)
{
    unsigned short nPort = FreePort();
    CString strPort, strWhy;
    strPort.Format("tcp://127.0.0.1:%u", nPort);
    std::unique_ptr<CNetLine> pHeld = Open(strPort, "", strWhy);
    ASSERT_TRUE(pHeld);
    EXPECT_FALSE(Open(strPort, "", strWhy));   // in use
    EXPECT_NE(std::string(strWhy).find("(10048)"), std::string::npos) << (LPCSTR)strWhy;
    strPort.Format("udp://:%u", nPort);   // beyond this PC, with nobody allowed
    EXPECT_FALSE(Open(strPort, "", strWhy));
    EXPECT_NE(std::string(strWhy).find("AllowedSenders"), std::string::npos) << (LPCSTR)strWhy;
    auto pfnReal = g_pfnGetAddrInfo;
    g_pfnGetAddrInfo = NameNotFound;
    EXPECT_FALSE(Open("tcp://scale.invalid:4001", "", strWhy));
    g_pfnGetAddrInfo = pfnReal;
    EXPECT_NE(std::string(strWhy).find("(11001)"), std::string::npos) << (LPCSTR)strWhy;
}
