#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <mstcpip.h>
#include "NetLines.h"
#include "../events/EventLog.h"
#include "../fw/MessageBox.h"
#include <algorithm>
#include <set>

int (WINAPI* g_pfnGetAddrInfo)(const char*, const char*, const addrinfo*, addrinfo**) = ::getaddrinfo;

CString SocketErrorText(int nError)
{
    static const struct { int nError; LPCSTR pszText; } kTexts[] = {
        { WSAEADDRINUSE, "Another program uses this port." },
        { WSAEADDRNOTAVAIL, "The address is not one of this PC's." },
        { WSAEACCES, "Windows does not let this program use the port." },
        { WSAECONNREFUSED, "Nothing at that address takes connections on this port." },
        { WSAETIMEDOUT, "Nothing at that address answered." },
        { WSAEHOSTUNREACH, "That address cannot be reached from this PC." },
        { WSAENETUNREACH, "That network cannot be reached from this PC." },
        { WSAHOST_NOT_FOUND, "No such host is known." },
        { WSATRY_AGAIN, "The name could not be looked up now." },
        { WSANO_DATA, "The name has no address." },
        { WSAENOTCONN, "No device is connected." },
        { WSAEDESTADDRREQ, "Nothing has sent a datagram yet: there is nobody to answer." },
    };
    CString strText = SystemErrorText((DWORD)nError);
    for (const auto& entry : kTexts) {
        if (strText.IsEmpty() && entry.nError == nError)
            strText = entry.pszText;
    }
    CString strNumber;
    strNumber.Format(strText.IsEmpty() ? "Error %d." : " (%d)", nError);
    strText += strNumber;
    return strText;
}

namespace {

const DWORD kConnectMs = 3000;      // how long Open Port waits for a device server to answer
const DWORD kLongestRetryMs = 30000;
const size_t kMostConnections = 8;

// Dead connections are found without traffic: a device server switched off
// leaves its connection open, and so would never be shown lost.
void KeepAlive(SOCKET s)
{
    tcp_keepalive alive = { 1, 10000, 1000 };   // probes after 10 s of quiet, a second apart
    DWORD dwReturned = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &alive, sizeof alive, NULL, 0, &dwReturned, NULL, NULL);
}

// A socket that closes itself.
class CSocket {
public:
    CSocket() = default;
    explicit CSocket(SOCKET s) : m_s(s) {}
    CSocket(CSocket&& o) noexcept : m_s(o.m_s) { o.m_s = INVALID_SOCKET; }
    CSocket& operator=(CSocket&& o) noexcept
    {
        std::swap(m_s, o.m_s);
        return *this;
    }
    ~CSocket() { Close(); }
    void Close()
    {
        if (m_s != INVALID_SOCKET)
            ::closesocket(m_s);
        m_s = INVALID_SOCKET;
    }
    SOCKET Get() const { return m_s; }
    bool IsValid() const { return m_s != INVALID_SOCKET; }

private:
    SOCKET m_s = INVALID_SOCKET;
};

// Whether the socket has something to read (or, with bWrite, has connected
// or failed to) within the wait.
bool WaitFor(SOCKET s, DWORD dwWaitMs, bool bWrite = false)
{
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval wait = { (long)(dwWaitMs / 1000), (long)(dwWaitMs % 1000 * 1000) };
    return ::select(0, bWrite ? NULL : &ready, bWrite ? &ready : NULL, bWrite ? &failed : NULL, &wait) > 0;
}

// A new socket for the address, not blocking: every wait is a select's.
CSocket NewSocket(int nFamily, int nType, int& nError)
{
    CSocket s(::socket(nFamily, nType, nType == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP));
    u_long nNonBlocking = 1;
    if (!s.IsValid() || ::ioctlsocket(s.Get(), FIONBIO, &nNonBlocking) != 0) {
        nError = ::WSAGetLastError();
        s.Close();
    }
    return s;
}

using Address = std::pair<sockaddr_storage, int>;

// The addresses of the host, looked up; empty with the resolver's reason.
std::vector<Address> Resolve(const NetAddress& address, int nType, CString& strWhy)
{
    ADDRINFOA hints = {};
    hints.ai_family = address.host.empty() ? AF_INET : AF_UNSPEC;
    hints.ai_socktype = nType;
    hints.ai_flags = address.host.empty() ? AI_PASSIVE : 0;
    ADDRINFOA* pFound = NULL;
    std::string service = std::to_string(address.nPort);
    int nError = g_pfnGetAddrInfo(address.host.empty() ? NULL : address.host.c_str(), service.c_str(), &hints, &pFound);
    std::vector<Address> found;
    if (nError != 0) {
        strWhy = SocketErrorText(nError);
        return found;
    }
    for (ADDRINFOA* p = pFound; p != NULL; p = p->ai_next) {
        Address entry = {};
        memcpy(&entry.first, p->ai_addr, std::min(sizeof entry.first, (size_t)p->ai_addrlen));
        entry.second = (int)p->ai_addrlen;
        found.push_back(entry);
    }
    ::freeaddrinfo(pFound);
    return found;
}

// Whether a literal address is one of this PC's: such an address can be bound.
bool IsThisPC(const NetAddress& address)
{
    unsigned char bytes[16];
    Address local = {};
    if (::inet_pton(AF_INET, address.host.c_str(), bytes) == 1) {
        sockaddr_in& in = (sockaddr_in&)local.first;
        in.sin_family = AF_INET;
        memcpy(&in.sin_addr, bytes, 4);
        local.second = sizeof in;
    } else if (::inet_pton(AF_INET6, address.host.c_str(), bytes) == 1) {
        sockaddr_in6& in6 = (sockaddr_in6&)local.first;
        in6.sin6_family = AF_INET6;
        memcpy(&in6.sin6_addr, bytes, 16);
        local.second = sizeof in6;
    } else
        return false;   // a name: a device somewhere
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    int nError = 0;
    bool bBound;
    {
        CSocket s = NewSocket(local.first.ss_family, SOCK_DGRAM, nError);
        bBound = s.IsValid() && ::bind(s.Get(), (sockaddr*)&local.first, local.second) == 0;
    }
    ::WSACleanup();
    return bBound;
}

// What every network line shares: Winsock, the port's name, the senders it
// takes and those it refused.
class CNetLineBase : public CNetLine {
public:
    CNetLineBase(const NetAddress& address, const std::vector<SenderNet>& senders, const CString& strPort)
        : m_address(address), m_senders(senders), m_strPort(strPort)
    {
        WSADATA data;
        m_bStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~CNetLineBase() override
    {
        if (m_bStarted)
            ::WSACleanup();
    }

protected:
    // Reads on after the first bytes until they pause for dwPauseMs, the
    // wait is over or the buffer full, as a COM port's read does: the scan
    // may then end at once. What came meanwhile is taken every dwPauseMs, not
    // packet by packet: a stream costs a read a pause, not one a packet.
    // readOnce(pBuffer, nCount, dwWaitMs) reads once.
    template <class F>
    static DWORD ReadUntilPause(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs, F readOnce)
    {
        double end = LineClockMs() + dwWaitMs;
        DWORD nRead = readOnce(pBuffer, nCount, dwWaitMs);
        // A read of a scan under way (no pause shorter than its wait) takes
        // all that came in its whole wait.
        DWORD dwStepMs = dwPauseMs < dwWaitMs ? dwPauseMs : dwWaitMs;
        while (nRead != 0 && nRead < nCount) {
            double left = end - LineClockMs();
            if (left <= 0)
                break;
            ::Sleep(std::min(dwStepMs, (DWORD)left));
            DWORD nMore = readOnce(pBuffer + nRead, nCount - nRead, 0);
            if (nMore == 0)
                break;
            nRead += nMore;
        }
        return nRead;
    }
    // A sender may send only where it is allowed, and where there is room
    // for it; the first refusal of each address goes to the event log, and
    // every refusal is counted there at the close.
    bool TakesSender(const sockaddr* pSender, bool bRoom = true)
    {
        bool bAllowed = SenderAllowed(pSender, m_senders);
        if (bAllowed && bRoom)
            return true;
        m_nRefused++;
        std::string text = AddressText(pSender);
        if (m_refused.insert(text).second) {
            std::string detail = text + (!bAllowed ? m_senders.empty() ? " is not on this PC." : " is not in AllowedSenders."
                                                   : " found 8 devices connected already.");
            ReportPortEvent(EVENT_SENDER_REFUSED, m_strPort, CString(detail.c_str()));
        }
        return false;
    }
    void ReportRefusals()
    {
        if (m_nRefused > m_refused.size()) {
            CString strDetail;
            strDetail.Format("%u refusals from %u senders since the port opened.", (unsigned)m_nRefused,
                             (unsigned)m_refused.size());
            ReportPortEvent(EVENT_SENDER_REFUSED, m_strPort, strDetail);
        }
        m_nRefused = 0;
        m_refused.clear();
    }
    // Binds a socket that listens, or takes datagrams, at the address.
    bool Bind(int nType, CSocket& socket, CString& strWhy)
    {
        std::vector<Address> found = Resolve(m_address, nType, strWhy);
        if (found.empty())
            return false;
        const Address& local = found.front();
        if (!IsLoopback((const sockaddr*)&local.first) && m_senders.empty()) {
            strWhy = "This port would take senders from beyond this PC: it opens only once AllowedSenders names the "
                     "addresses or networks that may send to it.";
            return false;
        }
        int nError = 0;
        socket = NewSocket(local.first.ss_family, nType, nError);
        // Nobody else may take the port while it is open, nor read its datagrams.
        BOOL bExclusive = TRUE;
        if (socket.IsValid())
            ::setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char*)&bExclusive, sizeof bExclusive);
        if (!socket.IsValid() || ::bind(socket.Get(), (const sockaddr*)&local.first, local.second) != 0 ||
            (nType == SOCK_STREAM && ::listen(socket.Get(), SOMAXCONN) != 0)) {
            strWhy = SocketErrorText(nError != 0 ? nError : ::WSAGetLastError());
            socket.Close();
            return false;
        }
        return true;
    }

    NetAddress m_address;
    std::vector<SenderNet> m_senders;
    CString m_strPort;

private:
    bool m_bStarted = false;
    size_t m_nRefused = 0;
    std::set<std::string> m_refused;
};

// A connection to a device or a device server. A connection that drops is
// lost, and made again with a wait that grows to 30 s.
class CTcpDeviceLine : public CNetLineBase {
public:
    using CNetLineBase::CNetLineBase;

    bool Open(CString& strWhy) override
    {
        m_found = Resolve(m_address, SOCK_STREAM, strWhy);
        for (const Address& address : m_found) {
            int nError = Connect(address);
            if (nError == WSAEWOULDBLOCK)
                nError = WaitForConnection(kConnectMs);
            if (nError == 0)
                return true;
            strWhy = SocketErrorText(nError);
        }
        m_nextTry = ::GetTickCount64() + m_dwRetryMs;
        return false;
    }
    DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs) override
    {
        return ReadUntilPause(pBuffer, nCount, dwWaitMs, dwPauseMs, [this](char* p, DWORD n, DWORD dwMs) {
            if (!m_socket.IsValid() || m_bLost || !WaitFor(m_socket.Get(), dwMs))
                return 0ul;
            int nRead = ::recv(m_socket.Get(), p, (int)n, 0);
            if (nRead > 0)
                return (DWORD)nRead;
            m_bLost = nRead == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK;   // the far end closed, or the network failed
            return 0ul;
        });
    }
    bool WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError) override
    {
        int n = ::send(m_socket.Get(), pBytes, (int)nCount, 0);
        dwWritten = n > 0 ? (DWORD)n : 0;
        dwError = n >= 0 ? ERROR_TIMEOUT : (DWORD)::WSAGetLastError();
        return n >= 0 || dwError == WSAEWOULDBLOCK;
    }
    BOOL IsOpen() override { return m_socket.IsValid() && !m_bConnecting; }
    BOOL IsLost() override { return m_socket.IsValid() && m_bLost; }
    void Close() override
    {
        m_socket.Close();
        m_bConnecting = m_bLost = false;
        ReportRefusals();
    }
    // Called once a second while lost: a connection is begun no sooner than
    // the growing wait allows, and looked at each call until it is made or
    // the next try is due.
    BOOL Reopen() override
    {
        ULONGLONG now = ::GetTickCount64();
        if (m_bConnecting) {
            int nError = WaitForConnection(0);
            if (nError == 0)
                return TRUE;
            if (nError == WSAEWOULDBLOCK && now < m_nextTry)
                return FALSE;
            m_socket.Close();
            m_bConnecting = false;
        }
        if (now < m_nextTry)
            return FALSE;
        m_nextTry = now + m_dwRetryMs;
        m_dwRetryMs = std::min(m_dwRetryMs * 2, kLongestRetryMs);
        CString strWhy;
        if (m_found.empty())   // the name did not resolve at the open
            m_found = Resolve(m_address, SOCK_STREAM, strWhy);
        if (m_found.empty())
            return FALSE;
        // A name's addresses are tried in turn (::1, then 127.0.0.1).
        return Connect(m_found[m_nTry++ % m_found.size()]) == 0;
    }

private:
    // 0 when connected, WSAEWOULDBLOCK while connecting, or the error.
    int Connect(const Address& address)
    {
        int nError = 0;
        m_socket = NewSocket(address.first.ss_family, SOCK_STREAM, nError);
        if (!m_socket.IsValid())
            return nError;
        // A scan is a few bytes: each goes at once, not held to fill a packet.
        BOOL bNoDelay = TRUE;
        ::setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, (const char*)&bNoDelay, sizeof bNoDelay);
        KeepAlive(m_socket.Get());
        m_bLost = false;
        if (::connect(m_socket.Get(), (const sockaddr*)&address.first, address.second) == 0)
            return Connected();
        nError = ::WSAGetLastError();
        m_bConnecting = nError == WSAEWOULDBLOCK;
        if (!m_bConnecting)
            m_socket.Close();
        return nError;
    }
    int WaitForConnection(DWORD dwWaitMs)
    {
        if (!WaitFor(m_socket.Get(), dwWaitMs, true))
            return dwWaitMs == 0 ? WSAEWOULDBLOCK : WSAETIMEDOUT;
        int nError = 0, nSize = sizeof nError;
        ::getsockopt(m_socket.Get(), SOL_SOCKET, SO_ERROR, (char*)&nError, &nSize);
        if (nError != 0) {
            m_socket.Close();
            m_bConnecting = false;
            return nError;
        }
        return Connected();
    }
    int Connected()
    {
        m_bConnecting = false;
        m_dwRetryMs = 1000;
        m_nextTry = 0;
        ::send(m_socket.Get(), m_greeting.data(), (int)m_greeting.size(), 0);
        return 0;
    }

    std::vector<Address> m_found;
    CSocket m_socket;
    bool m_bConnecting = false;
    bool m_bLost = false;
    size_t m_nTry = 0;   // the address the next try connects to
    DWORD m_dwRetryMs = 1000;
    ULONGLONG m_nextTry = 0;
};

// A port up to 8 devices connect to. A scan is read from one connection at
// a time: the next connection is turned to once the scan has been handed
// back, so that two devices' bytes never mix.
class CTcpListenLine : public CNetLineBase {
public:
    using CNetLineBase::CNetLineBase;

    bool Open(CString& strWhy) override { return Bind(SOCK_STREAM, m_listen, strWhy); }
    DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs) override
    {
        if (!m_listen.IsValid() || !FindSender(dwWaitMs))
            return 0;
        return ReadUntilPause(pBuffer, nCount, dwWaitMs, dwPauseMs, [this](char* p, DWORD n, DWORD dwMs) {
            if (m_nCurrent < 0 || !WaitFor(m_connections[m_nCurrent].Get(), dwMs))
                return 0ul;
            int nRead = ::recv(m_connections[m_nCurrent].Get(), p, (int)n, 0);
            if (nRead > 0) {
                m_bMidScan = true;
                return (DWORD)nRead;
            }
            if (nRead == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) {   // the device went; the port stays open
                m_connections.erase(m_connections.begin() + m_nCurrent);
                m_nCurrent = -1;
            }
            return 0ul;
        });
    }
    void ScanEnded() override
    {
        if (m_nCurrent >= 0)
            m_nNext = (size_t)m_nCurrent + 1;
        m_nCurrent = -1;
        m_bMidScan = false;
    }
    // Commands go to every device connected.
    bool WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError) override
    {
        dwWritten = nCount;
        dwError = ERROR_TIMEOUT;
        if (m_connections.empty()) {
            dwError = WSAENOTCONN;
            return false;
        }
        for (const CSocket& s : m_connections)
            ::send(s.Get(), pBytes, (int)nCount, 0);
        return true;
    }
    BOOL IsOpen() override { return m_listen.IsValid(); }
    BOOL IsLost() override { return FALSE; }
    void Close() override
    {
        m_connections.clear();
        m_listen.Close();
        m_nCurrent = -1;
        m_bMidScan = false;
        ReportRefusals();
    }
    BOOL Reopen() override
    {
        CString strWhy;
        return Open(strWhy);
    }

private:
    // The device a scan is read from: the one under way, or the next to have
    // sent, waiting up to dwWaitMs; false when there is none.
    bool FindSender(DWORD dwWaitMs)
    {
        if (m_nCurrent < 0 && m_bMidScan)
            return false;   // the device of the scan under way went: the scan ends there
        // The devices that connected are looked at again at once: they may
        // have sent already.
        for (int nPass = 0; nPass < 2 && m_nCurrent < 0; nPass++) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(m_listen.Get(), &ready);
            for (const CSocket& s : m_connections)
                FD_SET(s.Get(), &ready);
            DWORD dwMs = nPass == 0 ? dwWaitMs : 0;
            timeval wait = { (long)(dwMs / 1000), (long)(dwMs % 1000 * 1000) };
            if (::select(0, &ready, NULL, NULL, &wait) <= 0)
                return false;
            for (size_t i = 0; i < m_connections.size() && m_nCurrent < 0; i++) {
                size_t n = (m_nNext + i) % m_connections.size();
                if (FD_ISSET(m_connections[n].Get(), &ready))
                    m_nCurrent = (int)n;
            }
            if (FD_ISSET(m_listen.Get(), &ready))
                Accept();
        }
        return m_nCurrent >= 0;
    }
    // Takes every device waiting to connect.
    void Accept()
    {
        for (;;) {
            sockaddr_storage from = {};
            int nSize = sizeof from;
            CSocket s(::accept(m_listen.Get(), (sockaddr*)&from, &nSize));
            if (!s.IsValid())
                return;
            if (!TakesSender((const sockaddr*)&from, m_connections.size() < kMostConnections))
                continue;
            u_long nNonBlocking = 1;
            ::ioctlsocket(s.Get(), FIONBIO, &nNonBlocking);
            KeepAlive(s.Get());
            ::send(s.Get(), m_greeting.data(), (int)m_greeting.size(), 0);
            m_connections.push_back(std::move(s));
        }
    }

    CSocket m_listen;
    std::vector<CSocket> m_connections;
    int m_nCurrent = -1;   // the connection a scan is read from
    size_t m_nNext = 0;    // where the next look for a scan begins
    bool m_bMidScan = false;
};

// Datagrams, each read as bytes arriving on a line. Commands go to whoever
// sent the last datagram.
class CUdpLine : public CNetLineBase {
public:
    using CNetLineBase::CNetLineBase;

    bool Open(CString& strWhy) override
    {
        if (!Bind(SOCK_DGRAM, m_socket, strWhy))
            return false;
        // Windows reports a datagram sent to a closed port at the next
        // receive, which would end the reads: it is nobody's loss.
        BOOL bReport = FALSE;
        DWORD dwReturned = 0;
        ::WSAIoctl(m_socket.Get(), SIO_UDP_CONNRESET, &bReport, sizeof bReport, NULL, 0, &dwReturned, NULL, NULL);
        return true;
    }
    DWORD ReadSome(char* pBuffer, DWORD nCount, DWORD dwWaitMs, DWORD dwPauseMs) override
    {
        return ReadUntilPause(pBuffer, nCount, dwWaitMs, dwPauseMs,
                              [this](char* p, DWORD n, DWORD dwMs) { return ReadDatagrams(p, n, dwMs); });
    }
    DWORD ReadDatagrams(char* pBuffer, DWORD nCount, DWORD dwWaitMs)
    {
        double end = LineClockMs() + dwWaitMs;
        while (m_pending.empty() && m_socket.IsValid()) {
            double left = end - LineClockMs();
            if (!WaitFor(m_socket.Get(), left > 0 ? (DWORD)left : 0))
                return 0;
            sockaddr_storage from = {};
            int nSize = sizeof from;
            m_datagram.resize(65536);
            int n = ::recvfrom(m_socket.Get(), &m_datagram[0], (int)m_datagram.size(), 0, (sockaddr*)&from, &nSize);
            if (n <= 0 || !TakesSender((const sockaddr*)&from))
                continue;
            m_sender = { from, nSize };
            m_pending.assign(m_datagram.data(), n);
        }
        DWORD n = std::min(nCount, (DWORD)m_pending.size());
        memcpy(pBuffer, m_pending.data(), n);
        m_pending.erase(0, n);
        return n;
    }
    bool WriteSome(const char* pBytes, DWORD nCount, DWORD& dwWritten, DWORD& dwError) override
    {
        dwWritten = 0;
        dwError = WSAEDESTADDRREQ;   // nobody has sent yet: there is nobody to answer
        if (m_sender.second == 0)
            return false;
        int n = ::sendto(m_socket.Get(), pBytes, (int)nCount, 0, (const sockaddr*)&m_sender.first, m_sender.second);
        dwWritten = n > 0 ? (DWORD)n : 0;
        dwError = n >= 0 ? ERROR_TIMEOUT : (DWORD)::WSAGetLastError();
        return n >= 0;
    }
    BOOL IsOpen() override { return m_socket.IsValid(); }
    BOOL IsLost() override { return FALSE; }
    void Close() override
    {
        m_socket.Close();
        m_pending.clear();
        ReportRefusals();
    }
    BOOL Reopen() override
    {
        CString strWhy;
        return Open(strWhy);
    }

private:
    CSocket m_socket;
    std::string m_datagram;
    std::string m_pending;   // what a datagram longer than a read left
    Address m_sender = {};
};

} // namespace

std::unique_ptr<CNetLine> MakeNetLine(const NetAddress& address, const std::vector<SenderNet>& senders,
                                      const CString& strPort)
{
    if (address.kind == NET_UDP)
        return std::make_unique<CUdpLine>(address, senders, strPort);
    if (address.host.empty() || IsThisPC(address))
        return std::make_unique<CTcpListenLine>(address, senders, strPort);
    return std::make_unique<CTcpDeviceLine>(address, senders, strPort);
}
