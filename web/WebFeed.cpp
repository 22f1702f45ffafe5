// Winsock 2 must come before windows.h, which the program's headers include.
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include "WebFeed.h"
#include "WebRules.h"
#include "../events/EventLog.h"
#include <deque>
#include <list>
#include <map>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Message = std::shared_ptr<const std::string>;

namespace {

// A request or a handshake that takes longer is dropped: a connection that
// sends nothing must not hold its place for ever.
const std::chrono::seconds kRequestTime(10);

// What the event log says of the first refusal of each kind, before its detail.
const char* const kRefusalTexts[CWebFeed::kRefusals] = {
    /* REFUSED_ORIGIN */ "Its origin is not in WebOrigins:",
    /* REFUSED_HOST */ "Its Host is not this machine's loopback at the web port:",
    /* REFUSED_PAGES */ "16 pages are connected already; refused:",
    /* REFUSED_TOO_LONG */ "It sent a message over 4 KB; closed, origin",
    /* REFUSED_SLOW */ "1,000 messages waited for it to read them; closed, origin",
};

// The system's text for a socket error, without the line end Windows gives it.
std::string ErrorText(const beast::error_code& error)
{
    std::string text = error.message();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

} // namespace

class CWebFeed::Server {
public:
    struct Rules {
        unsigned short nPort;
        std::vector<std::string> origins;
        HWND hWnd;
        UINT uRequestMsg;
        std::atomic<unsigned>* pRefusals;
        std::atomic<bool>* pbRequestPosted;
    };

    Server(const Rules& rules, const std::string& port, const char* pszStatus, const std::string& last);
    ~Server();
    // Which addresses could not be had, and the system's reason; empty
    // where both serve.
    const std::string& Fault() const { return m_fault; }
    bool Serves() const { return !m_acceptors.empty(); }
    // From the window's thread: each runs on the feed's own.
    void Send(std::string message, bool bLast);
    void SetStatus(std::string message);
    void SetPort(std::string port) { asio::post(m_io, [this, port] { m_port = port; }); }
    void Refuse(WPARAM nPage, std::string why);

private:
    class Connection;
    class Page;

    void Accept(tcp::acceptor& acceptor);
    void Count(Refusal refusal, const std::string& detail);
    void Broadcast(const Message& message);

    asio::io_context m_io;
    Rules m_rules;
    std::list<tcp::acceptor> m_acceptors;
    std::string m_fault;
    // The feed's thread's own:
    std::map<WPARAM, std::shared_ptr<Page>> m_pages;
    WPARAM m_nNextPage = 1;
    Message m_status, m_last;
    std::string m_port;
    std::thread m_thread;
};

// A page's WebSocket: the messages wait for it in order, up to the limit.
class CWebFeed::Server::Page : public std::enable_shared_from_this<Page> {
public:
    Page(Server& server, beast::tcp_stream&& stream, WPARAM nNumber, std::string origin)
        : m_server(server), m_ws(std::move(stream)), m_nNumber(nNumber), m_origin(std::move(origin)) {}

    void Accept(const http::request<http::string_body>& request)
    {
        m_ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        m_ws.read_message_max(kMaxMessage);
        m_ws.text(true);
        m_ws.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (error)
                return self->Close();
            self->m_bOpen = true;
            self->Send(self->m_server.m_status);
            self->Read();
        });
    }

    void Send(const Message& message)
    {
        if (!m_bOpen)
            return;
        if (m_waiting.size() >= kMaxWaiting) {
            m_server.Count(REFUSED_SLOW, m_origin);
            return Close();
        }
        m_waiting.push_back(message);
        if (m_waiting.size() == 1)
            WriteNext();
    }

    // The socket goes at once: a page that does not read would never take
    // a closing handshake either.
    void Close()
    {
        if (m_bClosed)
            return;
        m_bOpen = false;
        m_bClosed = true;
        beast::error_code ignored;
        beast::get_lowest_layer(m_ws).socket().close(ignored);
        m_server.m_pages.erase(m_nNumber);
    }

private:
    void Read()
    {
        m_ws.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, size_t) {
            if (error) {
                if (error == websocket::error::message_too_big)
                    self->m_server.Count(REFUSED_TOO_LONG, self->m_origin);
                return self->Close();
            }
            std::string text = beast::buffers_to_string(self->m_buffer.data());
            self->m_buffer.consume(self->m_buffer.size());
            std::string why;
            const Rules& rules = self->m_server.m_rules;
            if (IsRequest(text, why)) {
                if (!rules.pbRequestPosted->exchange(true) &&
                    !::PostMessageA(rules.hWnd, rules.uRequestMsg, self->m_nNumber, 0))
                    *rules.pbRequestPosted = false;
            } else
                self->Send(std::make_shared<const std::string>(ErrorMessage(why)));
            self->Read();
        });
    }

    void WriteNext()
    {
        m_ws.async_write(asio::buffer(*m_waiting.front()), [self = shared_from_this()](beast::error_code error, size_t) {
            if (error)
                return self->Close();
            self->m_waiting.pop_front();
            if (!self->m_waiting.empty())
                self->WriteNext();
        });
    }

    Server& m_server;
    websocket::stream<beast::tcp_stream> m_ws;
    WPARAM m_nNumber;
    std::string m_origin;   // for the event log
    beast::flat_buffer m_buffer;
    std::deque<Message> m_waiting;
    bool m_bOpen = false, m_bClosed = false;
};

// A connection until its first request is read: refused, answered, or a page.
class CWebFeed::Server::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Server& server, tcp::socket&& socket) : m_server(server), m_stream(std::move(socket)) {}

    void Start()
    {
        m_parser.body_limit(kMaxMessage);
        m_stream.expires_after(kRequestTime);
        http::async_read(m_stream, m_buffer, m_parser, [self = shared_from_this()](beast::error_code error, size_t) {
            if (!error)
                self->Handle();
        });
    }

private:
    void Handle()
    {
        const http::request<http::string_body>& request = m_parser.get();
        std::string host(request[http::field::host]);
        if (!HostAllowed(host, m_server.m_rules.nPort)) {
            m_server.Count(REFUSED_HOST, host);
            return Answer(http::status::forbidden);
        }
        auto itOrigin = request.find(http::field::origin);
        bool bHasOrigin = itOrigin != request.end();
        std::string origin = bHasOrigin ? std::string(itOrigin->value()) : std::string();
        if (!OriginAllowed(bHasOrigin, origin, m_server.m_rules.origins)) {
            m_server.Count(REFUSED_ORIGIN, bHasOrigin && origin.empty() ? "(empty)" : origin);
            return Answer(http::status::forbidden);
        }
        if (bHasOrigin) {
            m_response.set(http::field::access_control_allow_origin, origin);
            m_response.set(http::field::vary, "Origin");
        }
        if (request.method() == http::verb::options) {
            // A page's preflight, with the private network's own header.
            m_response.set(http::field::access_control_allow_methods, "GET");
            if (request.find("Access-Control-Request-Private-Network") != request.end())
                m_response.set("Access-Control-Allow-Private-Network", "true");
            return Answer(http::status::no_content);
        }
        if (websocket::is_upgrade(request) && request.target() == "/") {
            if (m_server.m_pages.size() >= kMaxPages) {
                m_server.Count(REFUSED_PAGES, bHasOrigin ? origin : "a local program");
                return Answer(http::status::service_unavailable);
            }
            m_stream.expires_never();
            WPARAM nNumber = m_server.m_nNextPage++;
            auto page = std::make_shared<Page>(m_server, std::move(m_stream), nNumber, bHasOrigin ? origin : "none (a local program)");
            m_server.m_pages[nNumber] = page;
            return page->Accept(request);
        }
        if (request.method() == http::verb::get && request.target() == "/last") {
            m_response.set(http::field::content_type, "application/json");
            m_response.set(http::field::cache_control, "no-store");
            m_response.body() = m_server.m_last ? *m_server.m_last : "{}";
            return Answer(http::status::ok);
        }
        Answer(http::status::not_found);
    }

    void Answer(http::status status)
    {
        m_response.result(status);
        m_response.keep_alive(false);
        m_response.prepare_payload();
        http::async_write(m_stream, m_response, [self = shared_from_this()](beast::error_code, size_t) {
            beast::error_code ignored;
            self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        });
    }

    Server& m_server;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    http::request_parser<http::string_body> m_parser;
    http::response<http::string_body> m_response;
};

CWebFeed::Server::Server(const Rules& rules, const std::string& port, const char* pszStatus, const std::string& last)
    : m_rules(rules), m_status(std::make_shared<const std::string>(StatusMessage(pszStatus))), m_port(port)
{
    if (!last.empty())
        m_last = std::make_shared<const std::string>(last);
    for (const char* pszAddress : { "127.0.0.1", "::1" }) {
        tcp::endpoint endpoint(asio::ip::make_address(pszAddress), rules.nPort);
        tcp::acceptor acceptor(m_io);
        beast::error_code error;
        acceptor.open(endpoint.protocol(), error);
        // Another program may not take the port from under the feed, nor
        // the feed from under another program.
        BOOL bExclusive = TRUE;
        if (!error && ::setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char*)&bExclusive,
                                   sizeof bExclusive) != 0)
            error.assign(::WSAGetLastError(), asio::error::get_system_category());
        if (!error && endpoint.address().is_v6())
            acceptor.set_option(asio::ip::v6_only(true), error);
        if (!error)
            acceptor.bind(endpoint, error);
        if (!error)
            acceptor.listen(asio::socket_base::max_listen_connections, error);
        if (error) {
            if (!m_fault.empty())
                m_fault += "; ";
            m_fault += std::string(endpoint.address().is_v6() ? "on [::1]" : "on 127.0.0.1") + " cannot be had: " +
                       ErrorText(error);
            continue;
        }
        m_acceptors.push_back(std::move(acceptor));
        Accept(m_acceptors.back());
    }
    m_thread = std::thread([this] {
        // The keys of a scan come first: pages get its value right after them.
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        m_io.run();
    });
}

CWebFeed::Server::~Server()
{
    m_io.stop();
    m_thread.join();
    m_pages.clear();
    m_acceptors.clear();
}

void CWebFeed::Server::Accept(tcp::acceptor& acceptor)
{
    acceptor.async_accept([this, &acceptor](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (!error)
            std::make_shared<Connection>(*this, std::move(socket))->Start();
        Accept(acceptor);
    });
}

void CWebFeed::Server::Count(Refusal refusal, const std::string& detail)
{
    if (++m_rules.pRefusals[refusal] == 1)
        ReportPortEvent(EVENT_WEB_REFUSED, CString(m_port), CString(std::string(kRefusalTexts[refusal]) + " " + detail));
}

void CWebFeed::Server::Broadcast(const Message& message)
{
    // A page closed for being slow leaves the map while it is walked.
    std::vector<std::shared_ptr<Page>> pages;
    for (const auto& page : m_pages)
        pages.push_back(page.second);
    for (const auto& page : pages)
        page->Send(message);
}

void CWebFeed::Server::Send(std::string message, bool bLast)
{
    Message shared = std::make_shared<const std::string>(std::move(message));
    asio::post(m_io, [this, shared, bLast] {
        if (bLast)
            m_last = shared;
        Broadcast(shared);
    });
}

void CWebFeed::Server::SetStatus(std::string message)
{
    Message shared = std::make_shared<const std::string>(std::move(message));
    asio::post(m_io, [this, shared] {
        m_status = shared;
        Broadcast(shared);
    });
}

void CWebFeed::Server::Refuse(WPARAM nPage, std::string why)
{
    Message shared = std::make_shared<const std::string>(ErrorMessage(why));
    asio::post(m_io, [this, nPage, shared] {
        auto itPage = m_pages.find(nPage);
        if (itPage != m_pages.end())
            itPage->second->Send(shared);
    });
}

CWebFeed::CWebFeed() = default;
CWebFeed::~CWebFeed() = default;

CString CWebFeed::Take(const CString& strPort, const CString& strOrigins)
{
    if (m_pServer && strPort == m_strPort && strOrigins == m_strOrigins)
        return CString();
    m_pServer.reset();
    CString strFault = WebSettingsFault(strPort, strOrigins), strWhy;
    unsigned short nPort = ParseWebPort(strPort, strWhy);
    if (!strFault.IsEmpty() || nPort == 0)
        return strFault;
    std::vector<std::string> origins = ParseWebOrigins(strOrigins, strWhy);
    m_strPort = strPort;
    m_strOrigins = strOrigins;
    m_pServer = std::make_unique<Server>(Server::Rules { nPort, origins, m_hWnd, m_uRequestMsg, m_refusals, &m_bRequestPosted },
                                         std::string(CString(m_port)), m_pszStatus, m_last);
    if (!m_pServer->Fault().empty())
        strFault = CString("Web port " + m_pServer->Fault());
    if (!m_pServer->Serves())
        m_pServer.reset();
    return strFault;
}

void CWebFeed::SetSource(const CString& strDevice, const CString& strPort)
{
    m_device = strDevice.Wide();
    m_port = strPort.Wide();
    if (m_pServer)
        m_pServer->SetPort(std::string(strPort));
}

void CWebFeed::Add(const std::wstring& value, const CString& strResult)
{
    if (!m_pServer)
        return;
    m_last = ValueMessage(LocalTimeText(), m_device, m_port, value, strResult.Wide());
    m_pServer->Send(m_last, true);
}

void CWebFeed::SetStatus(const char* pszStatus)
{
    m_pszStatus = pszStatus;
    if (m_pServer)
        m_pServer->SetStatus(StatusMessage(pszStatus));
}

void CWebFeed::Refuse(WPARAM nPage, const CString& strWhy)
{
    if (m_pServer)
        m_pServer->Refuse(nPage, std::string(strWhy));
}
