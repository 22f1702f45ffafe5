#include "EventLog.h"
#include "../settings/Settings.h"

BOOL (WINAPI* g_pfnReportEvent)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID) = ::ReportEventA;

const char kEventSource[] = "Brindlequaverly";

namespace {

struct EventText { PortEvent event; WORD wType; LPCSTR pszText; };
const EventText kEventTexts[] = {
    { EVENT_PORT_OPENED, EVENTLOG_INFORMATION_TYPE, "the port opened." },
    { EVENT_PORT_LOST, EVENTLOG_WARNING_TYPE, "the device has gone; the port is looked for once a second." },
    { EVENT_PORT_BACK, EVENTLOG_INFORMATION_TYPE, "the device is back; the port is open again." },
    { EVENT_PORT_REFUSED, EVENTLOG_ERROR_TYPE, "the port was refused." },
    { EVENT_RULES_OFF, EVENTLOG_WARNING_TYPE, "scan rules or device commands that do not hold are off." },
    { EVENT_LOG_UNSAVED, EVENTLOG_ERROR_TYPE, "the log file did not take its last lines as the program ended." },
    { EVENT_WEB_REFUSED, EVENTLOG_WARNING_TYPE, "the web feed refused a page or closed it." },
    { EVENT_SENDER_REFUSED, EVENTLOG_WARNING_TYPE, "a network sender was refused; nothing it sent is typed." },
};

} // namespace

void ReportPortEvent(PortEvent event, const CString& strPort, const CString& strDetail)
{
    const EventText* pText = kEventTexts;
    while (pText->event != event)
        pText++;
    CString strEntry;
    if (ProfileName().IsEmpty())
        strEntry.Format("No profile, port %s: %s", (LPCSTR)strPort, pText->pszText);
    else
        strEntry.Format("Profile %s, port %s: %s", (LPCSTR)ProfileName(), (LPCSTR)strPort, pText->pszText);
    if (!strDetail.IsEmpty()) {
        strEntry += " ";
        strEntry += strDetail;
    }
    // Windows writes the entry of an unregistered source too, only without
    // its text in Event Viewer; where the log refuses, nothing is to be done.
    HANDLE hLog = ::RegisterEventSourceA(NULL, kEventSource);
    if (hLog == NULL)
        return;
    LPCSTR pszStrings[1] = { strEntry };
    g_pfnReportEvent(hLog, pText->wType, 0, event, NULL, 1, 0, pszStrings, NULL);
    ::DeregisterEventSource(hLog);
}
