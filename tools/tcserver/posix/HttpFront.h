#pragma once
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class Faults;
class ReportPages;
class TcServer;
namespace httplib {
class Server;
}

struct HttpOptions {
    std::string host = "127.0.0.1";
    int port = 8080;     // 0: any free port
    int threads = 16;    // requests handled at once
    std::string requestLog; // empty: none; else one JSON line per request
};

// The server's HTTP side: "/Hello", "/Tavelin/Echo" and "/Tavelin/SubmitMsg"
// answered by a TcServer, and the report pages by a ReportPages, with the
// faults of a Faults object applied. A
// second listener, the control port, lets a test switch faults while the
// server runs:
//   POST /fault   body: one switch (see Faults)   -> 200 and the switches in force
//   GET  /fault                                   -> the switches in force
// The "refuse" switch closes the main listener until it is switched off.
class HttpFront {
public:
    // reports, when given, answers the report pages (GET) beside the
    // protocol; it must outlive the object.
    HttpFront(TcServer& server, Faults& faults, HttpOptions options, ReportPages* reports = nullptr);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds and starts answering; returns the port bound (throws
    // std::runtime_error when it cannot bind).
    int start();
    // Starts the control listener on host:port (0: any); returns its port.
    int startControl(int port);
    // Stops both listeners and waits for their threads.
    void stop();
    int port() const { return m_port; }

    // Applies a fault switch, opening or closing the main listener as the
    // "refuse" switch asks; false for an unknown switch.
    bool applyFault(const std::string& text);

private:
    void openMain();  // under m_stateLock
    void closeMain(); // under m_stateLock
    void logRequest(const void* request, const void* response);

    TcServer& m_server;
    Faults& m_faults;
    ReportPages* m_reports;
    HttpOptions m_options;
    int m_port = 0;

    std::mutex m_stateLock;
    std::unique_ptr<httplib::Server> m_main;
    std::thread m_mainThread;
    std::unique_ptr<httplib::Server> m_control;
    std::thread m_controlThread;

    std::mutex m_logLock;
    std::FILE* m_log = nullptr;
};
