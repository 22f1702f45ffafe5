// What an administrator who collects the Application event log sees of each
// window: its port opened, lost, back, refused, and its rules off, each entry
// naming the profile and the port.
#pragma once
#include <windows.h>
#include "../fw/String.h"

// The source the installer registers, with a message file that shows an
// entry's text as it is.
extern const char kEventSource[];

// Ids 1 to 1000: the generic message file has a message for each.
enum PortEvent { EVENT_PORT_OPENED = 1, EVENT_PORT_LOST, EVENT_PORT_BACK, EVENT_PORT_REFUSED, EVENT_RULES_OFF,
                 EVENT_LOG_UNSAVED, EVENT_WEB_REFUSED, EVENT_SENDER_REFUSED };

// Writes the entry "Profile NAME, port PORT: what happened. DETAIL" (without
// a profile, "No profile"). A source nobody registered, or a log that refuses
// the write, leaves the program as it was, without a message.
void ReportPortEvent(PortEvent event, const CString& strPort, const CString& strDetail = CString());

// The one call that writes an entry: Wine's event log stores nothing, so
// tests read the entries here.
extern BOOL (WINAPI* g_pfnReportEvent)(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID pSid,
                                       WORD wNumStrings, DWORD dwDataSize, LPCSTR* ppszStrings, LPVOID pData);
