// Network ports, each a line the gathering of scans reads as it reads a COM
// port: a connection to a device or a device server, a port devices connect
// to, and datagrams.
#pragma once
#include <memory>
#include "../line/Line.h"
#include "NetRules.h"

class CNetLine : public CLine {
public:
    // False with the reason: the resolver's, the system's, or a listening
    // port that would take senders from beyond this PC without
    // AllowedSenders.
    virtual bool Open(CString& strWhy) = 0;
    // What each device is sent as its connection is made (the open
    // command): at the open, once it is back, and as each connects to a
    // listening port. Datagrams have no connection to greet.
    void SetGreeting(const std::string& bytes) { m_greeting = bytes; }

protected:
    std::string m_greeting;
};

// The line an address names. tcp:// with a name, or with an address that is
// not this PC's, connects; with no address, or one of this PC's, it listens
// for up to 8 devices; udp:// listens. strPort names the port in the event
// log, where the first refusal of each sender goes.
std::unique_ptr<CNetLine> MakeNetLine(const NetAddress& address, const std::vector<SenderNet>& senders,
                                      const CString& strPort);

// The system's text for a socket's error, with its number; where the system
// has none (Wine has none for Winsock's), what the usual ones mean here.
CString SocketErrorText(int nError);

// Where a name is looked up: tests stand in for a name that does not
// resolve, without asking a name server.
struct addrinfo;
extern int (WINAPI* g_pfnGetAddrInfo)(const char* pszNode, const char* pszService, const addrinfo* pHints,
                                      addrinfo** ppResult);
