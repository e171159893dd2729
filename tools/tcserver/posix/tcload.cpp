// tcload: the load generator of the reference server. C clients, each logged
// on as its own account, send status envelopes as fast as the server answers
// them for S seconds; the result is the server's sustained rate and the time
// each submission took. Made of the product's message and security code, as
// the client's own submissions are.
//
//   tcload --port N [--host H] [--clients C] [--seconds S] [--user PREFIX]
//          [--password PW] [--keepalive] [--messages M]
//
// The accounts PREFIX0 .. PREFIX<C-1> (default "load") must exist with the
// password PW (default "load"). Each client prepares M different envelopes
// before the clock starts and sends them in turn; the server takes the same
// content again within two seconds for a repeat and does not store it, so
// the default, 80000 / C (at least 2000), keeps a turn longer than that at
// the rates measured, also for the clients the scheduler favours.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/SubmitClient.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    int clients = 1;
    double seconds = 10;
    std::string user = "load";
    std::string password = "load";
    bool keepAlive = false;
    int messages = 0; // 0: 80000 / clients, at least 2000
};

struct ClientResult {
    long ok = 0, failed = 0;
    long noAnswer = 0;  // no HTTP answer (connection refused, reset, timed out)
    long notOk = 0;     // an HTTP status other than 200, or no acknowledgement
    std::vector<double> latencies; // microseconds
    std::string error;
    std::string firstError; // of a request without an answer
};

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The start line all clients wait at, so that logons and preparation stay out
// of the measured time.
class StartLine {
public:
    explicit StartLine(int n) : m_waiting(n) {}
    void arriveAndWait()
    {
        std::unique_lock<std::mutex> hold(m_lock);
        if (--m_waiting == 0) {
            m_start = Clock::now();
            m_go.notify_all();
        } else {
            m_go.wait(hold, [this] { return m_waiting == 0; });
        }
    }
    Clock::time_point start() const { return m_start; }

private:
    std::mutex m_lock;
    std::condition_variable m_go;
    int m_waiting;
    Clock::time_point m_start;
};

void runClient(const Options& o, int index, StartLine& line, ClientResult& result)
{
    SubmitClient client(o.host, o.port, o.keepAlive);
    std::vector<std::string> bodies;
    if (!client.logOn(widen(o.user + std::to_string(index)), widen(o.password))) {
        result.error = "logon failed for " + o.user + std::to_string(index) + " (HTTP status " +
                       std::to_string(client.lastStatus()) + ", reply type " +
                       std::to_string(client.lastReply() ? client.lastReply()->getType() : -1) + ", " +
                       client.lastError() + ")";
    } else {
        for (int m = 0; m < o.messages; ++m) {
            Msg msg;
            msg.setType(Msg::APPLICATION_CHANGE);
            msg.setAttributeValue(L"UserID", client.userId());
            msg.setAttributeValue(L"MachineID", -1);
            msg.setAttributeValue(L"ApplicationID", 3);
            msg.setAttributeValue(L"ContextString1", L"load message " + std::to_wstring(m));
            msg.setAttributeValue(L"ContextString2", std::wstring(L"client ") + std::to_wstring(index));
            msg.setAttributeValue(L"ContextString3", std::wstring());
            std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(msg, client.sessionKey()));
            ByteArray bytes;
            envelope->toByteArray(bytes);
            bodies.emplace_back(reinterpret_cast<const char*>(bytes.getData()), static_cast<size_t>(bytes.getSize()));
        }
    }
    line.arriveAndWait();
    if (!result.error.empty())
        return;
    const auto deadline = line.start() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.seconds));
    result.latencies.reserve(100000);
    std::string reply;
    for (size_t m = 0; Clock::now() < deadline; m = (m + 1) % bodies.size()) {
        const auto before = Clock::now();
        const int status = client.post("/Tavelin/SubmitMsg", bodies[m], reply);
        const auto after = Clock::now();
        // An acknowledgement is the 42-byte message of type 4.
        bool ok = status == 200;
        if (ok) {
            try {
                Msg parsed;
                parsed.fromByteArray(ByteArray(reply.data(), static_cast<int32_t>(reply.size())));
                ok = parsed.getType() == Msg::ACKNOWLEDGEMENT;
            } catch (const Exception&) {
                ok = false;
            }
        }
        if (ok) {
            ++result.ok;
            result.latencies.push_back(std::chrono::duration<double, std::micro>(after - before).count());
        } else {
            ++result.failed;
            ++(status < 0 ? result.noAnswer : result.notOk);
            if (status < 0 && result.firstError.empty())
                result.firstError = client.lastError();
        }
    }
}

int usage()
{
    std::fprintf(stderr, "usage: tcload --port N [--host H] [--clients C] [--seconds S] [--user PREFIX]\n"
                         "              [--password PW] [--keepalive] [--messages M]\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--keepalive") {
            o.keepAlive = true;
            continue;
        }
        if (!(v = next()))
            return usage();
        if (a == "--host")
            o.host = v;
        else if (a == "--port")
            o.port = std::atoi(v);
        else if (a == "--clients")
            o.clients = std::atoi(v);
        else if (a == "--seconds")
            o.seconds = std::atof(v);
        else if (a == "--user")
            o.user = v;
        else if (a == "--password")
            o.password = v;
        else if (a == "--messages")
            o.messages = std::atoi(v);
        else
            return usage();
    }
    if (o.port <= 0 || o.clients <= 0 || o.seconds <= 0 || o.messages < 0)
        return usage();
    if (o.messages == 0)
        o.messages = std::max(2000, 80000 / o.clients);

    StartLine line(o.clients);
    std::vector<ClientResult> results(static_cast<size_t>(o.clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < o.clients; ++c)
        threads.emplace_back(runClient, std::cref(o), c, std::ref(line), std::ref(results[static_cast<size_t>(c)]));
    for (auto& t : threads)
        t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - line.start()).count();

    long ok = 0, failed = 0, noAnswer = 0, notOk = 0;
    std::vector<double> all;
    for (const auto& r : results) {
        if (!r.error.empty()) {
            std::fprintf(stderr, "tcload: %s\n", r.error.c_str());
            return 2;
        }
        ok += r.ok;
        failed += r.failed;
        noAnswer += r.noAnswer;
        if (!r.firstError.empty())
            std::printf("no answer: %s\n", r.firstError.c_str());
        notOk += r.notOk;
        all.insert(all.end(), r.latencies.begin(), r.latencies.end());
    }
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) {
        return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<size_t>(p * static_cast<double>(all.size())))];
    };
    std::printf("clients=%d keepalive=%s seconds=%.1f ok=%ld failed=%ld rate=%.0f/s "
                "latency_us p50=%.0f p90=%.0f p99=%.0f max=%.0f\n",
                o.clients, o.keepAlive ? "yes" : "no", elapsed, ok, failed, static_cast<double>(ok) / elapsed,
                percentile(0.5), percentile(0.9), percentile(0.99), all.empty() ? 0.0 : all.back());
    if (failed)
        std::printf("failed: %ld without an HTTP answer, %ld with a wrong answer\n", noAnswer, notOk);
    return failed == 0 ? 0 : 3;
}
