// The far ends of the virtual serial lines (COM1, COM2, COM12) that
// tests/wine-env.sh set up: what a device sends, and the line settings the
// program applied, through tools/vline.py's control port.
#pragma once
#include <map>
#include <string>

namespace VirtualLine {
// What the line took of a paced send, and the ms from its first byte to its last.
struct Sent { size_t nBytes; double ms; };
// Sends the bytes from the device end of the line; they arrive at the port.
// With msPerByte, each at that pace, as on a real line, where the device does
// not wait for a full line: what the line cannot hold is lost.
Sent Send(const std::string& port, const std::string& bytes, double msPerByte = 0);
// What the program sent the device since the last call.
std::string Received(const std::string& port);
// nBytes of digits and letters, each typed by one key (with Shift at most).
std::string Burst(size_t nBytes);
// The settings of the port's tty: speed, csize, parenb, parodd, cmspar,
// cstopb, crtscts, ixon, ixoff, dtr, rts.
std::map<std::string, std::string> Settings(const std::string& port);
// The device goes away as a pulled USB adapter does: the line's ptys end and
// its link is gone. Restore brings a new line back under the same link.
void Drop(const std::string& port);
void Restore(const std::string& port);

// A device unplugged from its line for at most the scope: a failed test
// leaves the line there for the next one.
class Unplugged {
public:
    explicit Unplugged(const std::string& port) : m_port(port) { Drop(m_port); }
    ~Unplugged() { if (m_bOut) Restore(m_port); }
    void PlugIn() { Restore(m_port); m_bOut = false; }

private:
    std::string m_port;
    bool m_bOut = true;
};
// The line can be opened by another port object: no port object of this
// program, in this process or another, holds it. A refusal is recorded, not
// shown: a box in the test itself would wait for ever.
bool PortFree(const std::string& port);
// Sends a control request and returns the reply line (starting "OK" or "ERR").
std::string Request(const std::string& line);
}
