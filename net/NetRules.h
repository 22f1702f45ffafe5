// What a network port decides without a socket: the port's address from the
// Port field's text, the senders AllowedSenders names, and whether a sender
// is one of them.
#pragma once
#include <string>
#include <vector>
#include "../fw/String.h"

enum NetKind { NET_TCP, NET_UDP };
struct NetAddress {
    NetKind kind = NET_TCP;
    std::string host;   // a name or an address, IPv6 without its brackets; empty: every address
    unsigned short nPort = 0;
};

// A Port field's text names a network port once it has a scheme ("tcp://").
bool IsNetworkPort(const CString& strPort);
// tcp://HOST:PORT or udp://[ADDRESS]:PORT, IPv6 in brackets; false with the
// reason where the text is none.
bool ParseNetAddress(const CString& strText, NetAddress& address, CString& strWhy);

// An address or a network of AllowedSenders.
struct SenderNet {
    bool bIPv6 = false;
    unsigned char bytes[16] = {};
    int nPrefix = 32;
};
// Addresses and networks separated by spaces: 192.168.10.21 10.0.5.0/24
// fe80::/10. False with the reason where one entry is neither.
bool ParseAllowedSenders(const CString& strText, std::vector<SenderNet>& senders, CString& strWhy);
struct sockaddr;
// Whether the sender is one of the senders listed; with none listed, whether
// it is on this PC's loopback. An IPv4 sender seen through an IPv6 socket
// counts as the IPv4 address it is.
bool SenderAllowed(const sockaddr* pSender, const std::vector<SenderNet>& senders);
bool IsLoopback(const sockaddr* pAddress);
// An address as text without its port: 192.168.10.21, fe80::1.
std::string AddressText(const sockaddr* pAddress);
