#include "VirtualLine.h"
#include <winsock2.h>
#include "Recorders.h"
#include "../../serial/CommPort.h"
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

std::string VirtualLine::Request(const std::string& line)
{
    static bool started = [] { WSADATA data; return WSAStartup(MAKEWORD(2, 2), &data) == 0; }();
    const char* port = getenv("VLINE_PORT");
    if (!started || port == NULL)
        throw std::runtime_error("no virtual serial lines: run the tests through ctest");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((u_short)atoi(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, (sockaddr*)&addr, sizeof addr) != 0) {
        closesocket(s);
        throw std::runtime_error("cannot reach the virtual serial lines");
    }
    std::string request = line + "\n", reply;
    send(s, request.data(), (int)request.size(), 0);
    char ch;
    while (recv(s, &ch, 1, 0) == 1 && ch != '\n')
        reply += ch;
    closesocket(s);
    return reply;
}

VirtualLine::Sent VirtualLine::Send(const std::string& port, const std::string& bytes, double msPerByte)
{
    std::string hex;
    char buf[3];
    for (unsigned char c : bytes) {
        snprintf(buf, sizeof buf, "%02x", c);
        hex += buf;
    }
    std::string reply = Request("WRITE " + port + " " + hex + (msPerByte ? " " + std::to_string(msPerByte) : ""));
    if (reply.compare(0, 2, "OK") != 0)
        throw std::runtime_error("virtual line write failed: " + reply);
    unsigned long nTaken = (unsigned long)bytes.size();
    double ms = 0;
    sscanf(reply.c_str(), "OK %lu %lf", &nTaken, &ms);
    return { nTaken, ms };
}

std::string VirtualLine::Received(const std::string& port)
{
    std::string reply = Request("READFAR " + port), bytes;
    if (reply.compare(0, 2, "OK") != 0)
        throw std::runtime_error("virtual line read failed: " + reply);
    for (size_t i = 3; i + 1 < reply.size(); i += 2)
        bytes += (char)strtoul(reply.substr(i, 2).c_str(), NULL, 16);
    return bytes;
}

std::string VirtualLine::Burst(size_t nBytes)
{
    static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string burst;
    for (size_t i = 0; i < nBytes; i++)
        burst += kChars[i % (sizeof kChars - 1)];
    return burst;
}

std::map<std::string, std::string> VirtualLine::Settings(const std::string& port)
{
    std::istringstream reply(Request("TERMIOS " + port));
    std::map<std::string, std::string> fields;
    std::string word;
    reply >> word;
    while (reply >> word) {
        size_t eq = word.find('=');
        if (eq != std::string::npos)
            fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return fields;
}

// ---- the device going away and coming back

static void Presence(const std::string& request)
{
    std::string reply = VirtualLine::Request(request);
    if (reply != "OK")
        throw std::runtime_error("virtual line " + request + " failed: " + reply);
}

void VirtualLine::Drop(const std::string& port)
{
    Presence("DROP " + port);
}

void VirtualLine::Restore(const std::string& port)
{
    Presence("RESTORE " + port);
}

bool VirtualLine::PortFree(const std::string& port)
{
    MessageBoxRecorder boxes;
    CBufferedCommPort other;
    return other.OpenPort(port.c_str(), 9600, 8, NOPARITY, ONESTOPBIT) != FALSE;
}
