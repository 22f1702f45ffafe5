#include <winsock2.h>
#include <ws2tcpip.h>
#include "NetRules.h"
#include <cstring>

static const char kForms[] = " A network port is tcp://HOST:PORT, tcp://:PORT or udp://[ADDRESS]:PORT.";

bool IsNetworkPort(const CString& strPort)
{
    return std::string(strPort).find("://") != std::string::npos;
}

bool ParseNetAddress(const CString& strText, NetAddress& address, CString& strWhy)
{
    std::string text(strText);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    text.erase(0, text.find_first_not_of(' '));
    size_t nScheme = text.find("://");
    std::string scheme = text.substr(0, nScheme);
    for (char& ch : scheme)
        ch = (char)::tolower((unsigned char)ch);
    static const struct { LPCSTR pszScheme; NetKind kind; } kSchemes[] = { { "tcp", NET_TCP }, { "udp", NET_UDP } };
    bool bKnown = false;
    for (const auto& entry : kSchemes) {
        if (scheme == entry.pszScheme) {
            address.kind = entry.kind;
            bKnown = true;
        }
    }
    if (!bKnown) {
        strWhy = CString(("The scheme \"" + scheme + "://\" is unknown." + kForms).c_str());
        return false;
    }
    std::string rest = text.substr(nScheme + 3);
    size_t nColon;
    if (!rest.empty() && rest[0] == '[') {
        size_t nClose = rest.find(']');
        if (nClose == std::string::npos) {
            strWhy = CString((std::string("An IPv6 address needs its closing bracket.") + kForms).c_str());
            return false;
        }
        address.host = rest.substr(1, nClose - 1);
        nColon = nClose + 1 < rest.size() && rest[nClose + 1] == ':' ? nClose + 1 : std::string::npos;
    } else {
        nColon = rest.rfind(':');
        address.host = rest.substr(0, nColon == std::string::npos ? rest.size() : nColon);
        if (address.host.find(':') != std::string::npos) {
            strWhy = "An IPv6 address goes in brackets, such as tcp://[fe80::1]:4001.";
            return false;
        }
    }
    if (nColon == std::string::npos || nColon + 1 == rest.size()) {
        strWhy = CString(("\"" + text + "\" has no port." + kForms).c_str());
        return false;
    }
    ULONGLONG nPort = 0;
    if (!ParseWholeNumber(CString(rest.substr(nColon + 1).c_str()), 65535, nPort) || nPort == 0) {
        strWhy = "The port of a network address must be a whole number from 1 to 65535.";
        return false;
    }
    address.nPort = (unsigned short)nPort;
    return true;
}

// The address's family and bytes, an IPv4 address mapped into IPv6 as IPv4.
static int AddressBytes(const sockaddr* pAddress, unsigned char bytes[16])
{
    if (pAddress->sa_family == AF_INET) {
        memcpy(bytes, &((const sockaddr_in*)pAddress)->sin_addr, 4);
        return AF_INET;
    }
    const unsigned char* p = ((const sockaddr_in6*)pAddress)->sin6_addr.s6_addr;
    static const unsigned char kMapped[12] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF };
    if (memcmp(p, kMapped, 12) == 0) {
        memcpy(bytes, p + 12, 4);
        return AF_INET;
    }
    memcpy(bytes, p, 16);
    return AF_INET6;
}

bool ParseAllowedSenders(const CString& strText, std::vector<SenderNet>& senders, CString& strWhy)
{
    senders.clear();
    std::string text(strText);
    size_t i = 0;
    while ((i = text.find_first_not_of(" \t", i)) != std::string::npos) {
        size_t nEnd = text.find_first_of(" \t", i);
        std::string entry = text.substr(i, nEnd == std::string::npos ? std::string::npos : nEnd - i);
        i = nEnd == std::string::npos ? text.size() : nEnd;
        size_t nSlash = entry.find('/');
        std::string host = entry.substr(0, nSlash);
        SenderNet sender;
        bool bHolds = ::inet_pton(AF_INET, host.c_str(), sender.bytes) == 1;
        if (!bHolds && ::inet_pton(AF_INET6, host.c_str(), sender.bytes) == 1) {
            sender.bIPv6 = true;
            sender.nPrefix = 128;
            bHolds = true;
        }
        ULONGLONG nPrefix = 0;
        if (bHolds && nSlash != std::string::npos) {
            bHolds = ParseWholeNumber(CString(entry.substr(nSlash + 1).c_str()), sender.nPrefix, nPrefix);
            sender.nPrefix = (int)nPrefix;
        }
        if (!bHolds) {
            strWhy = CString(("Allowed senders: \"" + entry +
                              "\" is neither an address nor a network, such as 192.168.10.21, 10.0.5.0/24 or fe80::/10.")
                                 .c_str());
            senders.clear();
            return false;
        }
        senders.push_back(sender);
    }
    return true;
}

bool IsLoopback(const sockaddr* pAddress)
{
    unsigned char bytes[16];
    if (AddressBytes(pAddress, bytes) == AF_INET)
        return bytes[0] == 127;
    static const unsigned char kLoopback6[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    return memcmp(bytes, kLoopback6, 16) == 0;
}

bool SenderAllowed(const sockaddr* pSender, const std::vector<SenderNet>& senders)
{
    if (senders.empty())
        return IsLoopback(pSender);
    unsigned char bytes[16];
    int nFamily = AddressBytes(pSender, bytes);
    for (const SenderNet& net : senders) {
        if (net.bIPv6 != (nFamily == AF_INET6))
            continue;
        int nWhole = net.nPrefix / 8, nBits = net.nPrefix % 8;
        unsigned char mask = (unsigned char)(0xFF << (8 - nBits));
        if (memcmp(bytes, net.bytes, nWhole) == 0 && (nBits == 0 || ((bytes[nWhole] ^ net.bytes[nWhole]) & mask) == 0))
            return true;
    }
    return false;
}

std::string AddressText(const sockaddr* pAddress)
{
    unsigned char bytes[16];
    int nFamily = AddressBytes(pAddress, bytes);
    char text[INET6_ADDRSTRLEN] = "";
    ::inet_ntop(nFamily, bytes, text, sizeof text);
    return text;
}
