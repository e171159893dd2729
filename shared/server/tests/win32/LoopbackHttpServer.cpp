#include "../LoopbackHttpServer.h"

#include "base/win32/WindowsSupport.h"

#include <winsock2.h>

namespace httptest {

namespace {

// Winsock is started once for the test process and left running.
bool startWinsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

LoopbackHttpServer::Socket LoopbackHttpServer::listenOn(const char* address, int& port)
{
    if (!startWinsock())
        return Invalid;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return Invalid;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(address);
    int length = sizeof a;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        closesocket(s);
        return Invalid;
    }
    port = ntohs(a.sin_port);
    return static_cast<Socket>(s);
}

LoopbackHttpServer::Socket LoopbackHttpServer::acceptOne(Socket listener)
{
    const SOCKET c = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    return c == INVALID_SOCKET ? Invalid : static_cast<Socket>(c);
}

int LoopbackHttpServer::receive(Socket s, char* buffer, int size)
{
    return recv(static_cast<SOCKET>(s), buffer, size, 0);
}

bool LoopbackHttpServer::sendAll(Socket s, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const int n = send(static_cast<SOCKET>(s), data.data() + done,
                           static_cast<int>(data.size() - done), 0);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    shutdown(static_cast<SOCKET>(s), SD_SEND);
    return true;
}

void LoopbackHttpServer::closeSocket(Socket s)
{
    closesocket(static_cast<SOCKET>(s));
}

void LoopbackHttpServer::stopListening(Socket s)
{
    // Closing the socket is what makes a blocked accept return on Windows.
    closesocket(static_cast<SOCKET>(s));
}

void LoopbackHttpServer::releaseListener(Socket)
{
}

} // namespace httptest
