#include "tools/tcserver/posix/HttpFront.h"

#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <stdexcept>

#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/ReportPages.h"
#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/TcServer.h"

namespace {

const size_t MaximumBody = 1048576;

// Bytes that parse neither as a message (version 2) nor as a hello text (no
// "server=" token and no leading "<"); the same every time.
std::string garbageBytes()
{
    std::string bytes("\x02\x00\x00\x00", 4);
    uint32_t x = 0x1234567;
    for (int i = 0; i < 60; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>((x >> 16) & 0xFF));
    }
    return bytes;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Waits until the listener thread has entered its accept loop, so that a
// stop() that follows cannot come before it and be lost.
void waitRunning(httplib::Server& server)
{
    for (int i = 0; i < 5000 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The library listens with a backlog of 5, which a burst of clients
// connecting at once overflows: the kernel then drops their handshakes and
// they see connections reset. Listening again on the bound socket only
// widens the queue; the socket is found among the process's descriptors by
// its port.
void widenBacklog(int port)
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2)
            continue;
        int listening = 0;
        socklen_t size = sizeof listening;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening)
            continue;
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            continue;
        int bound = -1;
        if (address.ss_family == AF_INET)
            bound = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        else if (address.ss_family == AF_INET6)
            bound = ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
        if (bound == port)
            ::listen(fd, SOMAXCONN);
    }
    closedir(dir);
}

} // namespace

HttpFront::HttpFront(TcServer& server, Faults& faults, HttpOptions options, ReportPages* reports)
    : m_server(server), m_faults(faults), m_reports(reports), m_options(std::move(options))
{
    if (!m_options.requestLog.empty()) {
        m_log = std::fopen(m_options.requestLog.c_str(), "ab");
        if (!m_log)
            throw std::runtime_error("cannot open request log " + m_options.requestLog);
    }
}

HttpFront::~HttpFront()
{
    stop();
    if (m_log)
        std::fclose(m_log);
}

int HttpFront::start()
{
    std::lock_guard<std::mutex> hold(m_stateLock);
    m_port = m_options.port;
    if (!m_faults.refusing())
        openMain();
    else if (m_port == 0)
        throw std::runtime_error("refuse needs a fixed --port");
    return m_port;
}

void HttpFront::openMain()
{
    auto server = std::make_unique<httplib::Server>();
    const int threads = m_options.threads;
    server->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    server->set_payload_max_length(MaximumBody);
    // The reply's header and body go out in separate writes; without it each
    // reply on a kept-alive connection waits for a delayed acknowledgement.
    server->set_tcp_nodelay(true);

    // Only the delay acts before the request is read. The faults that
    // answer in place of the server act in the handlers, once the body has
    // been read: answering before it and closing the connection with the
    // body unread makes the kernel reset it, so that the client would
    // sometimes see a dropped connection instead of the answer.
    server->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        const int slow = m_faults.slowMilliseconds();
        if (slow > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(slow));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    auto guarded = [this](httplib::Server::Handler handler) {
        return [this, handler](const httplib::Request& req, httplib::Response& res) {
            if (m_faults.notFound(req.path)) {
                res.status = 404;
                res.set_content("Not Found", "text/plain");
            } else if (m_faults.garbage(req.path)) {
                res.status = 200;
                res.set_content(garbageBytes(), "application/octet-stream");
            } else {
                handler(req, res);
            }
        };
    };

    server->Post("/Hello", guarded([this](const httplib::Request& req, httplib::Response& res) {
        if (m_faults.htmlHello()) {
            res.set_content("<html><body>Hello</body></html>", "text/html");
            return;
        }
        res.set_content(m_server.hello(req.get_header_value("Host")), "text/plain");
    }));
    server->Post("/Tavelin/Echo", guarded([](const httplib::Request&, httplib::Response& res) {
        res.set_content("echo", "text/plain");
    }));
    server->Post("/Tavelin/SubmitMsg", guarded([this](const httplib::Request& req, httplib::Response& res) {
        const ByteArray body(req.body.data(), static_cast<int32_t>(req.body.size()));
        const ByteArray reply = m_server.submit(body, req.get_header_value("User-Agent"));
        if (m_faults.takeLostReply()) {
            res.status = 500;
            res.set_content("reply lost on purpose", "text/plain");
            return;
        }
        res.set_content(std::string(reinterpret_cast<const char*>(reply.getData()),
                                    static_cast<size_t>(reply.getSize())),
                        "application/octet-stream");
    }));
    if (m_reports) {
        auto answer = [](const ReportPages::Response& page, httplib::Response& res) {
            res.status = page.status;
            if (!page.location.empty())
                res.set_header("Location", page.location);
            if (!page.setCookie.empty())
                res.set_header("Set-Cookie", page.setCookie);
            res.set_content(page.body, page.contentType.c_str());
        };
        server->Get("/Security/AutoLogin.aspx", guarded([this, answer](const httplib::Request& req, httplib::Response& res) {
            answer(m_reports->autoLogin(req.params), res);
        }));
        server->Get("/Reports/General/UserSummary.aspx",
                    guarded([this, answer](const httplib::Request& req, httplib::Response& res) {
                        answer(m_reports->userSummary(req.params, req.get_header_value("Cookie")), res);
                    }));
        server->Get("/Reports/Group/GroupList.aspx", guarded([this, answer](const httplib::Request& req, httplib::Response& res) {
            answer(m_reports->groupList(req.get_header_value("Cookie")), res);
        }));
    }
    server->set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr e) {
            res.status = 500;
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& ex) {
                res.set_content(ex.what(), "text/plain");
            } catch (...) {
                res.set_content("failure", "text/plain");
            }
        });
    if (m_log) {
        server->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
            logRequest(&req, &res);
        });
    }

    if (m_port == 0) {
        m_port = server->bind_to_any_port(m_options.host);
        if (m_port <= 0)
            throw std::runtime_error("cannot bind " + m_options.host);
    } else if (!server->bind_to_port(m_options.host, m_port)) {
        throw std::runtime_error("cannot bind " + m_options.host + ":" + std::to_string(m_port));
    }
    widenBacklog(m_port);
    m_main = std::move(server);
    m_mainThread = std::thread([s = m_main.get()] { s->listen_after_bind(); });
    waitRunning(*m_main);
}

void HttpFront::closeMain()
{
    if (!m_main)
        return;
    m_main->stop();
    if (m_mainThread.joinable())
        m_mainThread.join();
    m_main.reset();
}

int HttpFront::startControl(int port)
{
    std::lock_guard<std::mutex> hold(m_stateLock);
    auto control = std::make_unique<httplib::Server>();
    control->Post("/fault", [this](const httplib::Request& req, httplib::Response& res) {
        if (!applyFault(req.body)) {
            res.status = 400;
            res.set_content("unknown fault: " + req.body + "\n", "text/plain");
            return;
        }
        res.set_content(m_faults.describe(), "text/plain");
    });
    control->Get("/fault", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(m_faults.describe(), "text/plain");
    });
    int bound = port;
    if (port == 0)
        bound = control->bind_to_any_port(m_options.host);
    else if (!control->bind_to_port(m_options.host, port))
        bound = -1;
    if (bound <= 0)
        throw std::runtime_error("cannot bind the control port");
    m_control = std::move(control);
    m_controlThread = std::thread([s = m_control.get()] { s->listen_after_bind(); });
    waitRunning(*m_control);
    return bound;
}

bool HttpFront::applyFault(const std::string& text)
{
    // The control listener's own thread runs this; the main listener is
    // opened and closed under the state lock, never from its own threads.
    std::lock_guard<std::mutex> hold(m_stateLock);
    if (!m_faults.apply(text))
        return false;
    try {
        if (m_faults.refusing())
            closeMain();
        else if (!m_main && m_port != 0)
            openMain();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void HttpFront::stop()
{
    std::lock_guard<std::mutex> hold(m_stateLock);
    closeMain();
    if (m_control) {
        m_control->stop();
        if (m_controlThread.joinable())
            m_controlThread.join();
        m_control.reset();
    }
}

void HttpFront::logRequest(const void* request, const void* response)
{
    const auto& req = *static_cast<const httplib::Request*>(request);
    const auto& res = *static_cast<const httplib::Response*>(response);
    std::string line = "{\"method\":" + jsonString(req.method) + ",\"path\":" + jsonString(req.path) +
                       ",\"version\":" + jsonString(req.version) + ",\"headers\":[";
    bool first = true;
    for (const auto& header : req.headers) {
        line += (first ? "[" : ",[") + jsonString(header.first) + "," + jsonString(header.second) + "]";
        first = false;
    }
    line += "],\"body\":" + jsonString(ServerText::base64(req.body)) +
            ",\"status\":" + std::to_string(res.status) + "}\n";
    std::lock_guard<std::mutex> hold(m_logLock);
    std::fwrite(line.data(), 1, line.size(), m_log);
    std::fflush(m_log);
}
