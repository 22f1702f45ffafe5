// What the web feed decides without a socket: the port and the origins from
// their texts, whether a request's Origin and Host may reach the feed, and the
// JSON of each message a page gets or sends.
#pragma once
#include <string>
#include <vector>
#include "../fw/String.h"

// WebPort: a whole number from 1024 to 65535; 0 with the reason otherwise.
// An empty text is 0 without a reason: the feed is off.
unsigned short ParseWebPort(const CString& strText, CString& strWhy);
// WebOrigins: scheme://host[:port] entries separated by spaces, in the lower
// case browsers send them. Empty with the reason where one entry is not one.
std::vector<std::string> ParseWebOrigins(const CString& strText, CString& strWhy);

// Why WebPort or WebOrigins do not hold, a line each ("Web port: ..."); empty
// where both hold.
CString WebSettingsFault(const CString& strPort, const CString& strOrigins);

// A browser's request may come in only from an origin listed, compared
// exactly; "null" and any origin while none is listed are refused. A request
// without Origin comes from a program on this machine, not from a page.
bool OriginAllowed(bool bHasOrigin, const std::string& origin, const std::vector<std::string>& origins);
// The Host a request names must be this machine's loopback at the port: a
// page on a name that resolves to 127.0.0.1 (DNS rebinding) names its own.
bool HostAllowed(const std::string& host, unsigned short nPort);

// The local time now as ISO 8601 with milliseconds and the offset from UTC.
std::string LocalTimeText();
// The message of one value: the log's columns, in UTF-8.
std::string ValueMessage(const std::string& time, const std::wstring& device, const std::wstring& port,
                         const std::wstring& value, const std::wstring& result);
std::string StatusMessage(const char* pszStatus);
std::string ErrorMessage(const std::string& why);
// What a page sent: true for {"request":true}, the only thing a page may ask;
// otherwise why it is refused.
bool IsRequest(const std::string& message, std::string& why);
