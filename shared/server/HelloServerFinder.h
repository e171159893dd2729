#pragma once
#include <list>
#include <string>
#include <utility>

#include "base/ByteArray.h"
#include "base/Mutex.h"
#include "shared/TCShrdApi.h"
#include "shared/server/ProxySettings.h"
#include "shared/server/ProxySettingsFactory.h"

// Finds the submit server the transport sends to. Each hello server is asked,
// directly and then through every proxy candidate of every proxy source,
// which submit servers there are; the first submit server that answers an
// echo through the same way is the one. The requests themselves go out
// through the link, so the transport (and a test standing in for it) decides
// how they travel.
//
// Threads: find runs on the transport's worker; the hello results may be read
// from any thread (they have a lock of their own), the chosen server only on
// the worker or once it is idle.
class TCSHRD_API HelloServerFinder {
public:
    // (host, port) pairs, in the order they are to be tried.
    using ServerList = std::list<std::pair<std::wstring, int>>;

    // What a hello server tells besides its submit servers.
    struct HelloResults {
        std::wstring clientVersion;
        std::wstring clientVersionURL;
        std::wstring motd;
        std::wstring reportsURL;
    };

    // What the search needs of the transport that owns it.
    class Link {
    public:
        // One POST of body to path on host:port through proxy, with that
        // connect time-out; true when the server answered it, reply then
        // holding the reply body.
        virtual bool post(const std::wstring& host, int port, const wchar_t* path,
                          const ByteArray& body, ByteArray& reply, const ProxySettings& proxy,
                          unsigned timeoutSeconds) = 0;
        // Appends the candidates of one proxy source for that hello server.
        virtual void proxyCandidates(ProxySettingsFactory::SettingsSource source,
                                     const std::wstring& host, int port,
                                     std::list<ProxySettings>& out) = 0;
        // A hello server answered with these results.
        virtual void helloAnswered(const HelloResults& results) = 0;

    protected:
        ~Link() = default;
    };

    static constexpr unsigned HelloTimeoutSeconds = 3;
    static constexpr unsigned EchoTimeoutSeconds = 10;
    static const wchar_t* const HelloPath; // "/Hello"
    static const wchar_t* const EchoPath;  // "/Tavelin/Echo"

    // Starts from the saved proxy settings. The link is not owned and must
    // outlive the finder.
    explicit HelloServerFinder(Link& link);
    HelloServerFinder(const HelloServerFinder&) = delete;
    HelloServerFinder& operator=(const HelloServerFinder&) = delete;

    // Tries the hello servers in order, each directly first, then through
    // the proxy sources (registry machine, registry user, Internet Explorer,
    // auto-detect), asking as userName. True when a submit server answered
    // the echo; serverHost, serverPort and proxy then name it and the way to
    // it. False when none did; what an earlier search found is kept.
    bool find(const ServerList& helloServers, const std::wstring& userName);

    // Asks the hello server with the current user name; true when it
    // answered with a usable text, whose tokens then replace the hello
    // results and the submit-server list.
    bool sendHello(const wchar_t* host, int port, const ProxySettings& proxy,
                   ServerList& submitServers);

    // What the last hello server said.
    HelloResults helloResults() const;
    // The submit server found (empty and 0 before the first success), and
    // the way to the last hello server that answered (the saved settings
    // before that).
    std::wstring serverHost() const { return m_serverHost; }
    int serverPort() const { return m_serverPort; }
    ProxySettings proxy() const { return m_proxy; }

    // The body of a hello request: UTF-16LE "email=" + user name.
    static ByteArray helloBody(const std::wstring& userName);
    // Reads a hello reply, one byte per character, split at ";". False, with
    // nothing changed, for an empty reply or one that starts with "<" (a web
    // page). Otherwise the version, its URL and the message of the day are
    // cleared, the reports URL kept, the submit servers emptied, and the
    // tokens applied. Also true when no "server=" token came.
    static bool readHelloReply(const ByteArray& reply, HelloResults& results,
                               ServerList& submitServers);
    // The host and port that a "server=" token's rest names: after "http://"
    // the host runs to ":", "/" or the end; the port is the run of digits
    // after ":" (80 when there is none).
    static std::pair<std::wstring, int> parseServerToken(const std::wstring& rest);

private:
    // One way to one hello server: the hello, then an echo to each submit
    // server it names. label says which way it is in the trace.
    bool tryHelloServer(const ProxySettings& proxy, const std::wstring& helloHost, int helloPort,
                        const wchar_t* label);

    Link& m_link;
    std::wstring m_userName;
    ServerList m_submitServers;
    std::wstring m_serverHost;
    int m_serverPort = 0;
    ProxySettings m_proxy;

    HelloResults m_hello; // guarded by m_helloLock
    mutable Mutex m_helloLock;
};
