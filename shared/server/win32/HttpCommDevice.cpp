// The transport over WinHTTP, synchronous: one session, connection and
// request per exchange.
#include "shared/server/HttpCommDevice.h"

#include "base/win32/WindowsSupport.h"

#include <winhttp.h>

#include <memory>
#include <new>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/ScopedGeneric.h"

namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { WinHttpCloseHandle(h); }
};
using ScopedInternet = ScopedGeneric<InternetTraits>;

// Traces a failed call with the system error of the calling thread; the
// error is read before anything else can change it.
void traceFailure(uint32_t id, const wchar_t* text, const wchar_t* function,
                  const wchar_t* host = nullptr, int port = 0)
{
    const DWORD error = GetLastError();
    Event event(id, text, Event::Error, TC_AT(function));
    if (host) {
        event.addDetails(L"Server Name", host);
        event.addDetails(L"Server Port", static_cast<long long>(port));
    }
    SetLastError(error);
    event.addSystemErrorInfo();
    Logger::Trace(event);
    SetLastError(error);
}

} // namespace

HttpCommDevice::HttpCommDeviceEvent
HttpCommDevice::sendReceive(const wchar_t* host, int port, const wchar_t* path,
                            const ByteArray& body, ByteArray& reply, const ProxySettings& proxy,
                            unsigned timeoutSeconds)
{
    const wchar_t* function = L"HttpCommDevice::sendReceive";
    reply.release();
    // The proxy option of the request is not honoured by every WinHTTP
    // (Wine's ignores it), so the session is opened with the same proxy.
    ProxySettings settings(proxy);
    WINHTTP_PROXY_INFO info{};
    settings.toWinHttpProxyInfo(&info);
    ScopedInternet session(WinHttpOpen(UserAgent, info.dwAccessType,
                                       info.lpszProxy ? info.lpszProxy : WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        traceFailure(1063612, L"Error in WinHttpOpen", function);
        return SendFailure;
    }
    ScopedInternet connection(
        WinHttpConnect(session.get(), host, static_cast<INTERNET_PORT>(port), 0));
    if (!connection) {
        traceFailure(1063613, L"Error in WinHttpConnect", function, host, port);
        return SendFailure;
    }
    ScopedInternet request(WinHttpOpenRequest(connection.get(), L"POST", path, nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              WINHTTP_FLAG_REFRESH));
    if (!request) {
        traceFailure(1063614, L"Error in WinHttpOpenRequest", function, host, port);
        return SendFailure;
    }
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_PROXY, &info, sizeof info)) {
        const DWORD error = GetLastError();
        Event event(1063615, L"Error in WinHttpSetOption - Proxy", Event::Error, TC_AT(function));
        event.addDetails(L"Proxy Info", proxy.toString());
        SetLastError(error);
        event.addSystemErrorInfo();
        Logger::Trace(event);
        return SendFailure;
    }
    DWORD timeoutMs = static_cast<DWORD>(timeoutSeconds) * 1000;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_CONNECT_TIMEOUT, &timeoutMs,
                          sizeof timeoutMs)) {
        traceFailure(1063616, L"Error in WinHttpSetOption - TimeOut", function);
        return SendFailure;
    }
    const DWORD size = static_cast<DWORD>(body.getSize());
    const bool hasBody = size > 0;
    if (!WinHttpSendRequest(request.get(),
                            hasBody ? ContentTypeHeader : WINHTTP_NO_ADDITIONAL_HEADERS,
                            hasBody ? static_cast<DWORD>(-1L) : 0,
                            hasBody ? const_cast<uint8_t*>(body.getData()) : WINHTTP_NO_REQUEST_DATA,
                            size, size, 0)) {
        const DWORD error = GetLastError();
        Event event(1063617, L"Error in WinHttpSendRequest", Event::Error, TC_AT(function));
        event.addDetails(L"Message Size", static_cast<long long>(size));
        event.addDetails(L"Server Name", host);
        event.addDetails(L"Server Port", static_cast<long long>(port));
        SetLastError(error);
        event.addSystemErrorInfo();
        Logger::Trace(event);
        if (error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_CONNECTION_ERROR)
            return ConnectFailure;
        if (error == ERROR_WINHTTP_NAME_NOT_RESOLVED)
            return ResolveFailure;
        return SendFailure;
    }
    return GetResponse(request.get(), reply);
}

HttpCommDevice::HttpCommDeviceEvent HttpCommDevice::GetResponse(native::Handle request,
                                                                ByteArray& reply)
{
    const wchar_t* function = L"HttpCommDevice::GetResponse";
    reply.release();
    if (!WinHttpReceiveResponse(request, nullptr)) {
        traceFailure(1063618, L"Error in WinHttpReceiveResponse", function);
        return ResponseFailure;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        traceFailure(1063619, L"Error in WinHttpQueryHeaders", function);
        return ResponseFailure;
    }
    if (status != 200) {
        Event event(1063620, L"HTTP error: " + std::to_wstring(status), Event::Error,
                    TC_AT(function));
        Logger::Trace(event);
        return ResponseFailure;
    }
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            traceFailure(1063621, L"Error in WinHttpQueryDataAvailable", function);
            return ResponseFailure;
        }
        if (available == 0)
            return Success;
        if (available > static_cast<DWORD>(MaxMessageSize)) {
            Event event(1063622, L"Response Message Too Big", Event::Error, TC_AT(function));
            event.addDetails(L"MessageSize", static_cast<long long>(available));
            Logger::Trace(event);
            return ResponseFailure;
        }
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[available + 1]());
        if (!buffer) {
            Event event(1063623, L"Error allocating receive buffer", Event::Error,
                        TC_AT(function));
            Logger::Trace(event);
            return ResponseFailure;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.get(), available, &read)) {
            traceFailure(1063624, L"Error in WinHttpReadData", function);
            return ResponseFailure;
        }
        reply.appendData(buffer.get(), static_cast<int32_t>(read));
        if (reply.getSize() > MaxMessageSize) {
            Event event(1063625, L"Message too big in HttpCommDevice::GetResponse", Event::Error,
                        TC_AT(function));
            Logger::Trace(event);
            return ResponseFailure;
        }
    }
}
