// The web feed: a WebSocket on this machine's loopback addresses that gives
// every connected page each value a scan gave, with what became of it, and the
// port's state; GET /last for pages that poll. It runs on a thread of its own,
// so that the window never waits for a page. A page's {"request":true} reaches
// the window as a posted message, and nothing else a page sends goes further.
#pragma once
#include <windows.h>
#include <atomic>
#include <memory>
#include <string>
#include "../fw/String.h"

class CWebFeed {
public:
    // What a connection is refused for; each is counted, the first of each
    // kind goes to the event log.
    enum Refusal { REFUSED_ORIGIN, REFUSED_HOST, REFUSED_PAGES, REFUSED_TOO_LONG, REFUSED_SLOW, kRefusals };
    static constexpr size_t kMaxPages = 16;
    static constexpr size_t kMaxMessage = 4096;
    static constexpr size_t kMaxWaiting = 1000;   // messages a page may be behind

    CWebFeed();
    ~CWebFeed();
    CWebFeed(const CWebFeed&) = delete;
    CWebFeed& operator=(const CWebFeed&) = delete;

    // The window that gets uMsg, with a page's number as wParam, for each
    // request a page makes.
    void SetWindow(HWND hWnd, UINT uMsg) { m_hWnd = hWnd; m_uRequestMsg = uMsg; }
    // Takes WebPort and WebOrigins and serves by them: from now on where they
    // hold, with the pages connected kept where they are unchanged. Returns
    // why the feed is off, or which address could not be had and the
    // system's reason; empty where it serves as set or is off by choice.
    CString Take(const CString& strPort, const CString& strOrigins);
    bool IsOn() const { return m_pServer != nullptr; }
    // The device and port fields of the messages from now on.
    void SetSource(const CString& strDevice, const CString& strPort);
    // One value and what became of it, as the log gets it; never waits.
    void Add(const std::wstring& value, const CString& strResult);
    // The port's state: "open", "lost" or "closed".
    void SetStatus(const char* pszStatus);
    // The window has the request it was posted: the next one may be posted.
    // Until then, more requests are the same request, so that pages cannot
    // fill the window's message queue.
    void TakeRequest() { m_bRequestPosted = false; }
    // Tells a page why its request was not sent.
    void Refuse(WPARAM nPage, const CString& strWhy);
    unsigned Refusals(Refusal refusal) const { return m_refusals[refusal]; }

private:
    class Server;
    std::unique_ptr<Server> m_pServer;
    CString m_strPort, m_strOrigins;   // what the server serves by
    HWND m_hWnd = NULL;
    UINT m_uRequestMsg = 0;
    std::wstring m_device, m_port;
    const char* m_pszStatus = "closed";
    std::string m_last;   // the latest value's message, for a server started again
    std::atomic<unsigned> m_refusals[kRefusals] = {};
    std::atomic<bool> m_bRequestPosted { false };
};
