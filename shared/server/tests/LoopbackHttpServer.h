#pragma once
// A small HTTP/1.1 server on a loopback address, one request per connection,
// for the transport tests: it records every request exactly as it arrived
// and answers as the test tells it to.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httptest {

struct RawRequest {
    std::string head; // request line and headers, up to and including the blank line
    std::string body;
    std::string requestLine() const { return head.substr(0, head.find("\r\n")); }
    // The value of a header (first of that name, case as sent), or "(none)".
    std::string header(const std::string& name) const;
};

struct Reply {
    int status = 200;
    std::string body;
    bool dropConnection = false; // close without answering
};

class LoopbackHttpServer {
public:
    using Handler = std::function<Reply(const RawRequest&)>;

    // Listens on address (port chosen by the system); answers 200 with an
    // empty body until a handler is set.
    explicit LoopbackHttpServer(const char* address = "127.0.0.1");
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool running() const { return m_listener != Invalid; }
    int port() const { return m_port; }
    void setHandler(Handler handler);
    std::vector<RawRequest> requests() const;

    // A port on the loopback that nothing listens on (it was free a moment ago).
    static int freePort();

private:
    using Socket = intptr_t;
    static constexpr Socket Invalid = -1;

    void serve();
    void answer(Socket client);

    // Operating-system half, in win32/ and posix/LoopbackHttpServer.cpp.
    static Socket listenOn(const char* address, int& port);
    static Socket acceptOne(Socket listener);
    static int receive(Socket s, char* buffer, int size);
    static bool sendAll(Socket s, const std::string& data);
    static void closeSocket(Socket s);
    // Makes a blocked acceptOne return; then, once the thread is gone,
    // releaseListener frees what stopListening left.
    static void stopListening(Socket s);
    static void releaseListener(Socket s);

    Socket m_listener = Invalid;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Handler m_handler;
    std::vector<RawRequest> m_requests;
};

} // namespace httptest
