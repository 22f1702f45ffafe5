#include "WebRules.h"
#include "../rules/ScanRules.h"
// Boost.JSON's compiled part, here once for the whole program.
#include <boost/json/src.hpp>
#include <algorithm>
#include <cstdio>

namespace json = boost::json;

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int nBytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string bytes(nBytes, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &bytes[0], nBytes, NULL, NULL);
    return bytes;
}

// Why an origin is not scheme://host[:port]; empty where it is one.
std::string OriginFault(const std::string& origin)
{
    size_t nHost = origin.find("://");
    if (nHost == std::string::npos || nHost == 0)
        return "is not scheme://host[:port]";
    std::string scheme = origin.substr(0, nHost);
    if (scheme != "http" && scheme != "https")
        return "has a scheme other than http or https";
    std::string rest = origin.substr(nHost + 3);
    if (rest.find_first_of("/?#@") != std::string::npos)
        return "has a path, a query or a user: an origin is scheme://host[:port] alone";
    size_t nColon = rest.rfind(':');
    std::string host = rest, port;
    if (nColon != std::string::npos && rest.find(']', nColon) == std::string::npos) {
        host = rest.substr(0, nColon);
        port = rest.substr(nColon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(port) == 0 || std::stoul(port) > 65535)
            return "has a port that is not a number from 1 to 65535";
    }
    if (host.empty())
        return "has no host";
    if (std::any_of(host.begin(), host.end(), [](char ch) { return ch >= 'A' && ch <= 'Z'; }))
        return "is not in lower case, as browsers send it";
    return std::string();
}

} // namespace

unsigned short ParseWebPort(const CString& strText, CString& strWhy)
{
    CString strPort(strText);
    strPort.Trim();
    if (strPort.IsEmpty())
        return 0;
    ULONGLONG nPort = 0;
    if (!ParseWholeNumber(strPort, 65535, nPort) || nPort < 1024) {
        strWhy = "not a whole number from 1024 to 65535";
        return 0;
    }
    return (unsigned short)nPort;
}

std::vector<std::string> ParseWebOrigins(const CString& strText, CString& strWhy)
{
    std::vector<std::string> origins;
    std::string text(strText);
    for (size_t nAt = text.find_first_not_of(" \t"); nAt != std::string::npos;
         nAt = text.find_first_not_of(" \t", nAt)) {
        size_t nEnd = std::min(text.find_first_of(" \t", nAt), text.size());
        std::string origin = text.substr(nAt, nEnd - nAt);
        std::string fault = OriginFault(origin);
        if (!fault.empty()) {
            strWhy = CString(origin + " " + fault);
            return {};
        }
        origins.push_back(origin);
        nAt = nEnd;
    }
    return origins;
}

CString WebSettingsFault(const CString& strPort, const CString& strOrigins)
{
    CString strReasons, strWhy;
    ParseWebPort(strPort, strWhy);
    if (!strWhy.IsEmpty())
        AddReason(strReasons, "Web port: ", strWhy);
    strWhy.Empty();
    ParseWebOrigins(strOrigins, strWhy);
    if (!strWhy.IsEmpty())
        AddReason(strReasons, "Web origins: ", strWhy);
    return strReasons;
}

bool OriginAllowed(bool bHasOrigin, const std::string& origin, const std::vector<std::string>& origins)
{
    return !bHasOrigin || std::find(origins.begin(), origins.end(), origin) != origins.end();
}

bool HostAllowed(const std::string& host, unsigned short nPort)
{
    std::string lower(host);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) { return (char)::tolower((unsigned char)ch); });
    std::string port = ":" + std::to_string(nPort);
    for (const char* pszName : { "127.0.0.1", "[::1]", "localhost" }) {
        if (lower == pszName + port)
            return true;
    }
    return false;
}

std::string LocalTimeText()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    TIME_ZONE_INFORMATION zone;
    DWORD dwZone = ::GetTimeZoneInformation(&zone);
    LONG nBias = zone.Bias + (dwZone == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias
                              : dwZone == TIME_ZONE_ID_STANDARD ? zone.StandardBias : 0);
    LONG nOffset = -nBias;   // minutes east of UTC
    char szText[40];
    snprintf(szText, sizeof szText, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02ld:%02ld", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, nOffset < 0 ? '-' : '+', labs(nOffset) / 60,
             labs(nOffset) % 60);
    return szText;
}

std::string ValueMessage(const std::string& time, const std::wstring& device, const std::wstring& port,
                         const std::wstring& value, const std::wstring& result)
{
    json::object message;
    message["time"] = time;
    message["device"] = Utf8(device);
    message["port"] = Utf8(port);
    message["value"] = Utf8(value);
    message["result"] = Utf8(result);
    return json::serialize(message);
}

std::string StatusMessage(const char* pszStatus)
{
    return json::serialize(json::object { { "status", pszStatus } });
}

std::string ErrorMessage(const std::string& why)
{
    return json::serialize(json::object { { "error", why } });
}

bool IsRequest(const std::string& message, std::string& why)
{
    json::error_code error;
    json::value parsed = json::parse(message, error);
    if (error) {
        why = "not JSON: " + error.message();
        return false;
    }
    const json::object* pObject = parsed.if_object();
    if (pObject == NULL || pObject->size() != 1 || !pObject->contains("request") ||
        pObject->at("request") != json::value(true)) {
        why = "a page may send only {\"request\":true}";
        return false;
    }
    return true;
}
