// The web feed: its rules as plain functions, and the server on this
// machine's loopback as a page and a local program meet it.
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>
#include "../web/WebFeed.h"
#include "../web/WebRules.h"
#include "support/Recorders.h"
#include "support/Wait.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

TEST(WebRules, PortAndOriginsHoldOnlyAsWritten)
{
    CString strWhy;
    EXPECT_EQ(ParseWebPort(" 8080 ", strWhy), 8080);
    EXPECT_EQ(ParseWebPort("", strWhy), 0);
    EXPECT_EQ(strWhy, "");
    for (const char* pszBad : { "80", "65536", "80a", "-1" })
        EXPECT_NE(WebSettingsFault(pszBad, ""), "") << pszBad;
    EXPECT_EQ(ParseWebOrigins("https://pos.example.com  http://[::1]:3000", strWhy).size(), 2u);
    for (const char* pszBad : { "pos.example.com", "https://pos.example.com/", "https://POS.example.com", "ftp://x",
                                "http://x:0", "http://x:port" })
        EXPECT_NE(WebSettingsFault("", pszBad), "") << pszBad;
}

TEST(WebRules, OnlyListedOriginsAndLoopbackHostsComeIn)
{
    std::vector<std::string> origins { "https://pos.example.com" };
    EXPECT_TRUE(OriginAllowed(true, "https://pos.example.com", origins));
    EXPECT_TRUE(OriginAllowed(false, "", {}));   // a program on this machine
    for (const char* pszOrigin : { "null", "", "https://pos.example.com:443", "http://pos.example.com" })
        EXPECT_FALSE(OriginAllowed(true, pszOrigin, origins)) << pszOrigin;
    EXPECT_FALSE(OriginAllowed(true, "https://pos.example.com", {}));
    for (const char* pszHost : { "127.0.0.1:8080", "[::1]:8080", "LocalHost:8080" })
        EXPECT_TRUE(HostAllowed(pszHost, 8080)) << pszHost;
    for (const char* pszHost : { "rebound.example:8080", "127.0.0.1:8081", "127.0.0.1", "" })
        EXPECT_FALSE(HostAllowed(pszHost, 8080)) << pszHost;
}

TEST(WebRules, MessagesAreEscapedJsonAndOnlyARequestIsOne)
{
    EXPECT_EQ(ValueMessage("t", L"Scale", L"COM 1", L"say \"12\"\r\n\u00e9\u20ac", L"typed"),
              "{\"time\":\"t\",\"device\":\"Scale\",\"port\":\"COM 1\",\"value\":\"say \\\"12\\\"\\r\\n\xc3\xa9\xe2\x82\xac\","
              "\"result\":\"typed\"}");
    std::string why;
    EXPECT_TRUE(IsRequest(" {\"request\": true} ", why));
    for (const char* pszBad : { "{\"request\":false}", "{\"request\":true,\"tare\":1}", "request", "[true]" })
        EXPECT_FALSE(IsRequest(pszBad, why)) << pszBad;
    EXPECT_EQ(LocalTimeText().size(), 29u);   // 2026-12-09T14:05:09.123+01:00
}

namespace {

class Feed : public ::testing::Test {
protected:
    Feed()
    {
        m_hWnd = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        web.SetWindow(m_hWnd, WM_APP + 1002);
        // A port no one listens on now, found by binding port 0.
        nPort = tcp::acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)).local_endpoint().port();
        EXPECT_EQ(web.Take(CString(std::to_string(nPort).c_str()), "http://127.0.0.1:3000"), "");
    }
    ~Feed() override { DestroyWindow(m_hWnd); }

    using Page = beast::websocket::stream<tcp::socket>;
    // A page's socket, or the HTTP status it was refused with.
    std::unique_ptr<Page> Connect(const char* pszOrigin, int* pnStatus = nullptr, std::string host = "")
    {
        auto page = std::make_unique<Page>(io);
        page->next_layer().connect(tcp::endpoint(asio::ip::make_address("::1"), nPort));
        page->set_option(beast::websocket::stream_base::decorator([&](beast::websocket::request_type& request) {
            if (pszOrigin)
                request.set(http::field::origin, pszOrigin);
        }));
        beast::websocket::response_type response;
        beast::error_code error;
        page->handshake(response, host.empty() ? "[::1]:" + std::to_string(nPort) : host, "/", error);
        if (pnStatus)
            *pnStatus = (int)response.result_int();
        return error ? nullptr : std::move(page);
    }
    static std::string Read(Page& page)
    {
        beast::flat_buffer buffer;
        page.read(buffer);
        return beast::buffers_to_string(buffer.data());
    }
    // The page number of the next request the window gets, taken as the
    // window takes it; 0 for none.
    WPARAM TakeRequest()
    {
        MSG msg;
        if (!WaitUntil([&] { return PeekMessageA(&msg, m_hWnd, WM_APP + 1002, WM_APP + 1002, PM_REMOVE) != 0; }, 1000))
            return 0;
        web.TakeRequest();
        return msg.wParam;
    }

    asio::io_context io;
    CWebFeed web;
    EventRecorder events;
    unsigned short nPort = 0;

private:
    HWND m_hWnd = NULL;
};

} // namespace

TEST_F(Feed, APageOfAListedOriginGetsEveryValueAndAsksOthersAreRefusedBeforeTheUpgrade)
{
    auto page = Connect("http://127.0.0.1:3000");
    auto program = Connect(nullptr);
    ASSERT_TRUE(page && program);
    EXPECT_EQ(Read(*page), "{\"status\":\"closed\"}");
    web.SetStatus("open");
    web.Add(L"12.34", "skipped");
    EXPECT_EQ(Read(*page), "{\"status\":\"open\"}");
    EXPECT_NE(Read(*page).find("\"value\":\"12.34\",\"result\":\"skipped\""), std::string::npos);

    page->write(asio::buffer(std::string("{\"request\":true}")));
    WPARAM nPage = TakeRequest();
    ASSERT_NE(nPage, 0u);
    web.Refuse(nPage, "the port is not open");
    EXPECT_EQ(Read(*page), "{\"error\":\"the port is not open\"}");
    // Requests while one waits for the window are that one.
    for (int n = 0; n < 50; n++)
        page->write(asio::buffer(std::string("{\"request\":true}")));
    page->write(asio::buffer(std::string("{\"tare\":true}")));
    EXPECT_NE(Read(*page).find("error"), std::string::npos);
    EXPECT_NE(TakeRequest(), 0u);
    EXPECT_EQ(TakeRequest(), 0u);

    int nStatus = 0;
    for (const char* pszOrigin : { "null", "http://127.0.0.1:3001" }) {
        EXPECT_FALSE(Connect(pszOrigin, &nStatus));
        EXPECT_EQ(nStatus, 403);
    }
    EXPECT_FALSE(Connect("http://127.0.0.1:3000", &nStatus, "rebound.example:" + std::to_string(nPort)));
    EXPECT_EQ(nStatus, 403);
    EXPECT_EQ(web.Refusals(CWebFeed::REFUSED_ORIGIN), 2u);
    EXPECT_EQ(web.Refusals(CWebFeed::REFUSED_HOST), 1u);
    ASSERT_EQ(events.entries.size(), 2u);   // the first of each kind
    EXPECT_NE(events.entries[0].text.find("Its origin is not in WebOrigins: null"), std::string::npos);
}

TEST_F(Feed, APageOverTheLimitsIsClosedAndTheOthersGoOn)
{
    std::vector<std::unique_ptr<Page>> pages;
    for (size_t n = 0; n < CWebFeed::kMaxPages; n++)
        pages.push_back(Connect(nullptr));
    int nStatus = 0;
    EXPECT_FALSE(Connect(nullptr, &nStatus));
    EXPECT_EQ(nStatus, 503);
    pages[0]->write(asio::buffer(std::string(CWebFeed::kMaxMessage + 1, ' ')));
    beast::flat_buffer buffer;
    beast::error_code error;
    while (!error)
        pages[0]->read(buffer, error);
    pages.resize(3);
    // Page 1 reads nothing: once 1,000 messages wait for it, it is closed.
    Read(*pages[2]);
    for (int n = 0; n < 5000 && web.Refusals(CWebFeed::REFUSED_SLOW) == 0; n++) {
        web.Add(std::wstring(10000, L'x'), "typed");
        Read(*pages[2]);
    }
    web.Add(L"on", "typed");
    EXPECT_NE(Read(*pages[2]).find("\"value\":\"on\""), std::string::npos);
    EXPECT_EQ(web.Refusals(CWebFeed::REFUSED_TOO_LONG), 1u);
    EXPECT_EQ(web.Refusals(CWebFeed::REFUSED_PAGES), 1u);
    EXPECT_EQ(web.Refusals(CWebFeed::REFUSED_SLOW), 1u);
}

TEST_F(Feed, APortInUseIsNamedWithTheSystemsReason)
{
    CWebFeed other;
    CString strFault = other.Take(CString(std::to_string(nPort).c_str()), "");
    EXPECT_NE(std::string(strFault).find("on 127.0.0.1 cannot be had: "), std::string::npos) << (LPCSTR)strFault;
    EXPECT_FALSE(other.IsOn());
}
