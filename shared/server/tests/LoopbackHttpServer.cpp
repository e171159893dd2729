#include "LoopbackHttpServer.h"

#include <cstdlib>

namespace httptest {

std::string RawRequest::header(const std::string& name) const
{
    const std::string key = "\r\n" + name + ": ";
    const size_t at = head.find(key);
    if (at == std::string::npos)
        return "(none)";
    const size_t start = at + key.size();
    return head.substr(start, head.find("\r\n", start) - start);
}

LoopbackHttpServer::LoopbackHttpServer(const char* address)
{
    m_listener = listenOn(address, m_port);
    if (m_listener != Invalid)
        m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_stop = true;
    if (m_listener != Invalid)
        stopListening(m_listener);
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != Invalid)
        releaseListener(m_listener);
}

void LoopbackHttpServer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<RawRequest> LoopbackHttpServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int LoopbackHttpServer::freePort()
{
    int port = 0;
    const Socket s = listenOn("127.0.0.1", port);
    if (s != Invalid)
        closeSocket(s);
    return port;
}

void LoopbackHttpServer::serve()
{
    while (!m_stop) {
        const Socket client = acceptOne(m_listener);
        if (client == Invalid)
            return;
        answer(client);
        closeSocket(client);
    }
}

void LoopbackHttpServer::answer(Socket client)
{
    std::string data;
    char buffer[65536];
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const int n = receive(client, buffer, sizeof buffer);
        if (n <= 0)
            return;
        data.append(buffer, static_cast<size_t>(n));
    }
    RawRequest request;
    request.head = data.substr(0, headEnd + 4);
    const std::string length = request.header("Content-Length");
    const size_t want = length == "(none)" ? 0 : std::strtoul(length.c_str(), nullptr, 10);
    request.body = data.substr(headEnd + 4);
    while (request.body.size() < want) {
        const int n = receive(client, buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.body.append(buffer, static_cast<size_t>(n));
    }
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
        handler = m_handler;
    }
    const Reply reply = handler ? handler(request) : Reply();
    if (reply.dropConnection)
        return;
    const std::string text = "HTTP/1.1 " + std::to_string(reply.status) +
                             (reply.status == 200 ? " OK" : " Not Found") +
                             "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                             reply.body;
    sendAll(client, text);
}

} // namespace httptest
