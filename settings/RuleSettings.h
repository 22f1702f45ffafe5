// The scan rules as their stored texts: the dialog edits them, the store
// keeps them beside the line settings, the rules are taken from them. Empty
// means off.
#pragma once
#include "../fw/String.h"

struct RuleSettings {
    CString m_strPrefix;        // typed before each scan or value: text and {KEY} names
    CString m_strSuffix;        // typed after it
    CString m_strPattern;       // regular expression (Boost.Regex's Perl syntax) searched in each line
    CString m_strNoMatch;       // "Type": a line the pattern misses is typed as received; else dropped
    CString m_strSkipRepeats;   // "1": a value equal to the last one typed is not typed again
    CString m_strKeyDelay;      // milliseconds between characters, 0 to 100
    CString m_strAtOnce;        // "1": each scan is typed as soon as it has arrived, not at the next poll
    CString m_strOutput;        // what each matched line types: $0 to $9, key names, fields; empty: the first group
    CString m_strReplace;       // a regular expression replaced throughout each value
    CString m_strReplaceWith;   // what each of its matches becomes: its $0 to $9, key names, fields
    CString m_strRepeatSeconds; // seconds within which a repeat is skipped; empty: however late
    // Commands to the device and its modem lines, for devices that speak when asked
    CString m_strOpenCommand;     // sent each time the port opens: characters and \r \n \t \e \xHH \\ escapes
    CString m_strRequestCommand;  // sent to ask the device for a reading
    CString m_strRequestHotkey;   // a system-wide key that sends the request while the port is open: F9, Ctrl+Shift+W
    CString m_strRequestInterval; // milliseconds between requests while the port is open, 100 to 3600000
    CString m_strRaiseDTR;        // "1": DTR on while the port is open
    CString m_strRaiseRTS;        // "1": RTS on while the port is open
    CString m_strHandshake;       // "RTS/CTS" or "XON/XOFF"; empty: none
    CString m_strTarget;        // the window scans go to: a program (EXCEL.EXE) or a title, * for any text
    CString m_strActivate;      // "1": the target is brought to front; else scans wait for it to be there
    CString m_strLogFile;       // a CSV file every value is appended to; {DATE} makes one a day
    CString m_strLogOnly;       // "1": scans are logged and not typed
    CString m_strLogSeparator;  // "," or ";" between the log's fields; empty: the user's list separator
    CString m_strWebPort;       // the loopback port pages connect to for every value, 1024 to 65535
    CString m_strWebOrigins;    // the web origins whose pages may connect: scheme://host[:port], spaces between
    CString m_strTypeBy;        // "Paste": each value is pasted through the clipboard; "Keys" or empty: typed as keys
    CString m_strQuietMs;       // the quiet that ends a scan, 5 to 200 ms; empty: 20
    CString m_strAllowedSenders;  // who may send to a listening network port: addresses and networks, spaces between
};
