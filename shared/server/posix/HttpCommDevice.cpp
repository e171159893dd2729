// The native transport: HTTP/1.1 over a plain socket, so that the device's
// logic runs natively against real servers (the reference server, the test
// peers, a proxy). Through a proxy the request names the absolute URL, as
// any HTTP proxy expects. The results are those the WinHTTP half gives for
// the same failures.
#include "shared/server/HttpCommDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Utf16.h"
#include "base/posix/ScopedFd.h"

namespace {

// How long a reply may keep the client waiting between two reads.
constexpr int ReceiveTimeoutMs = 30000;

void traceError(uint32_t id, const std::wstring& text, const wchar_t* function, int error = 0,
                const std::wstring& host = std::wstring(), int port = -1)
{
    Event event(id, text, Event::Error, TC_AT(function));
    if (!host.empty()) {
        event.addDetails(L"Server Name", host);
        event.addDetails(L"Server Port", static_cast<long long>(port));
    }
    if (error != 0) {
        event.addDetails(L"System Error ID", static_cast<long long>(error));
        event.addDetails(L"System Error Description", Utf16::fromUtf8(std::strerror(error)));
    }
    Logger::Trace(event);
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Connects within the time-out. 0 on success, else the error (a name that
// does not resolve gives EAI_NONAME as -1).
int connectTo(const std::string& host, int port, unsigned timeoutSeconds, ScopedFd& out)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return -1;
    int error = ECONNREFUSED;
    for (addrinfo* a = found; a; a = a->ai_next) {
        ScopedFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd.valid()) {
            error = errno;
            continue;
        }
        const int flags = ::fcntl(fd.get(), F_GETFL);
        ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK);
        int rc = ::connect(fd.get(), a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd.get(), POLLOUT, 0};
            rc = ::poll(&p, 1, static_cast<int>(timeoutSeconds * 1000));
            if (rc == 1) {
                int soError = 0;
                socklen_t len = sizeof soError;
                ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &len);
                rc = soError == 0 ? 0 : -1;
                errno = soError;
            } else {
                rc = -1;
                errno = ETIMEDOUT;
            }
        }
        if (rc == 0) {
            ::fcntl(fd.get(), F_SETFL, flags);
            out.reset(fd.release());
            ::freeaddrinfo(found);
            return 0;
        }
        error = errno;
    }
    ::freeaddrinfo(found);
    return error == 0 ? ECONNREFUSED : error;
}

// Reads up to n bytes, waiting at most the receive time-out. The count
// read, 0 at the end of the stream, -1 on an error or time-out.
ssize_t readSome(int fd, char* buffer, size_t n)
{
    pollfd p{fd, POLLIN, 0};
    const int rc = ::poll(&p, 1, ReceiveTimeoutMs);
    if (rc != 1)
        return -1;
    ssize_t got;
    do {
        got = ::recv(fd, buffer, n, 0);
    } while (got < 0 && errno == EINTR);
    return got;
}

// The connection as GetResponse reads it: the socket and what was read
// ahead of the body.
struct Reader {
    int fd = -1;
    std::string buffered;
    bool eof = false;

    // At least one more byte in buffered; false at the end or on an error.
    bool more()
    {
        if (eof)
            return false;
        char chunk[8192];
        const ssize_t n = readSome(fd, chunk, sizeof chunk);
        if (n <= 0) {
            eof = true;
            return false;
        }
        buffered.append(chunk, static_cast<size_t>(n));
        return true;
    }
    // One line without its CR LF; false when the stream ends first.
    bool line(std::string& out, size_t limit)
    {
        for (;;) {
            const size_t end = buffered.find("\r\n");
            if (end != std::string::npos) {
                out = buffered.substr(0, end);
                buffered.erase(0, end + 2);
                return true;
            }
            if (buffered.size() > limit || !more())
                return false;
        }
    }
};

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

HttpCommDevice::HttpCommDeviceEvent
HttpCommDevice::sendReceive(const wchar_t* host, int port, const wchar_t* path,
                            const ByteArray& body, ByteArray& reply, const ProxySettings& proxy,
                            unsigned timeoutSeconds)
{
    const wchar_t* function = L"HttpCommDevice::sendReceive";
    reply.release();
    const std::string narrowHost = Utf16::toUtf8(host ? host : L"");
    const std::string narrowPath = Utf16::toUtf8(path ? path : L"/");
    const bool viaProxy = proxy.getConnectionType() == ProxySettings::Proxy;
    const std::string connectHost = viaProxy ? Utf16::toUtf8(proxy.getProxyName()) : narrowHost;
    const int connectPort = viaProxy ? proxy.getProxyPort() : port;

    ScopedFd fd;
    const int error = connectTo(connectHost, connectPort, timeoutSeconds, fd);
    if (error != 0) {
        Event event(1063617, L"Error in WinHttpSendRequest", Event::Error, TC_AT(function));
        event.addDetails(L"Message Size", static_cast<long long>(body.getSize()));
        event.addDetails(L"Server Name", host ? host : L"");
        event.addDetails(L"Server Port", static_cast<long long>(port));
        if (error > 0)
            event.addDetails(L"System Error Description", Utf16::fromUtf8(std::strerror(error)));
        Logger::Trace(event);
        if (error < 0)
            return ResolveFailure;
        return error == ECONNREFUSED || error == ETIMEDOUT || error == ECONNRESET ||
                       error == EHOSTUNREACH || error == ENETUNREACH
                   ? ConnectFailure
                   : SendFailure;
    }

    const std::string hostHeader = narrowHost + ":" + std::to_string(port);
    std::string request = "POST ";
    request += viaProxy ? "http://" + hostHeader + narrowPath : narrowPath;
    request += " HTTP/1.1\r\n";
    request += "Host: " + hostHeader + "\r\n";
    request += "User-Agent: " + Utf16::toUtf8(UserAgent) + "\r\n";
    // The request bypasses caches, as WinHTTP's refresh flag asks.
    request += "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
    if (body.getSize() > 0)
        request += Utf16::toUtf8(ContentTypeHeader) + "\r\n";
    request += "Content-Length: " + std::to_string(body.getSize()) + "\r\n";
    request += "Connection: close\r\n\r\n";
    if (body.getSize() > 0)
        request.append(reinterpret_cast<const char*>(body.getData()),
                       static_cast<size_t>(body.getSize()));
    if (!writeAll(fd.get(), request.data(), request.size())) {
        const int sendError = errno;
        Event event(1063617, L"Error in WinHttpSendRequest", Event::Error, TC_AT(function));
        event.addDetails(L"Message Size", static_cast<long long>(body.getSize()));
        event.addDetails(L"Server Name", host ? host : L"");
        event.addDetails(L"Server Port", static_cast<long long>(port));
        event.addDetails(L"System Error Description", Utf16::fromUtf8(std::strerror(sendError)));
        Logger::Trace(event);
        return ConnectFailure;
    }
    return GetResponse(reinterpret_cast<native::Handle>(static_cast<intptr_t>(fd.get())), reply);
}

HttpCommDevice::HttpCommDeviceEvent HttpCommDevice::GetResponse(native::Handle request,
                                                                ByteArray& reply)
{
    const wchar_t* function = L"HttpCommDevice::GetResponse";
    reply.release();
    Reader in;
    in.fd = static_cast<int>(reinterpret_cast<intptr_t>(request));

    std::string statusLine;
    if (!in.line(statusLine, 65536)) {
        traceError(1063618, L"Error in WinHttpReceiveResponse", function);
        return ResponseFailure;
    }
    int status = 0;
    if (statusLine.compare(0, 5, "HTTP/") != 0 || statusLine.size() < 12 ||
        std::sscanf(statusLine.c_str() + statusLine.find(' '), " %d", &status) != 1) {
        traceError(1063619, L"Error in WinHttpQueryHeaders", function);
        return ResponseFailure;
    }
    long long contentLength = -1;
    bool chunked = false;
    for (;;) {
        std::string header;
        if (!in.line(header, 65536)) {
            traceError(1063618, L"Error in WinHttpReceiveResponse", function);
            return ResponseFailure;
        }
        if (header.empty())
            break;
        const size_t colon = header.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = lower(header.substr(0, colon));
        std::string value = header.substr(colon + 1);
        while (!value.empty() && (value[0] == ' ' || value[0] == '\t'))
            value.erase(0, 1);
        if (name == "content-length")
            contentLength = std::atoll(value.c_str());
        else if (name == "transfer-encoding" && lower(value).find("chunked") != std::string::npos)
            chunked = true;
    }
    if (status != 200) {
        Event event(1063620, L"HTTP error: " + std::to_wstring(status), Event::Error,
                    TC_AT(function));
        Logger::Trace(event);
        return ResponseFailure;
    }

    auto tooBig = [&](long long size) {
        Event event(1063622, L"Response Message Too Big", Event::Error, TC_AT(function));
        event.addDetails(L"MessageSize", size);
        Logger::Trace(event);
        return ResponseFailure;
    };
    std::string content;
    if (chunked) {
        for (;;) {
            std::string sizeLine;
            if (!in.line(sizeLine, 1024)) {
                traceError(1063624, L"Error in WinHttpReadData", function);
                return ResponseFailure;
            }
            const long long size = std::strtoll(sizeLine.c_str(), nullptr, 16);
            if (size < 0 || size > MaxMessageSize ||
                static_cast<long long>(content.size()) + size > MaxMessageSize)
                return tooBig(static_cast<long long>(content.size()) + size);
            while (static_cast<long long>(in.buffered.size()) < size + 2)
                if (!in.more()) {
                    traceError(1063624, L"Error in WinHttpReadData", function);
                    return ResponseFailure;
                }
            content.append(in.buffered, 0, static_cast<size_t>(size));
            in.buffered.erase(0, static_cast<size_t>(size) + 2);
            if (size == 0)
                break;
        }
    } else {
        if (contentLength > MaxMessageSize)
            return tooBig(contentLength);
        for (;;) {
            if (contentLength >= 0 && static_cast<long long>(in.buffered.size()) >= contentLength)
                break;
            if (static_cast<long long>(in.buffered.size()) > MaxMessageSize) {
                Event event(1063625, L"Message too big in HttpCommDevice::GetResponse",
                            Event::Error, TC_AT(function));
                Logger::Trace(event);
                return ResponseFailure;
            }
            if (!in.more()) {
                if (contentLength >= 0) {
                    traceError(1063624, L"Error in WinHttpReadData", function);
                    return ResponseFailure;
                }
                break;
            }
        }
        content = contentLength >= 0 ? in.buffered.substr(0, static_cast<size_t>(contentLength))
                                     : in.buffered;
    }
    reply.copyData(content.data(), static_cast<int32_t>(content.size()));
    return Success;
}
