#include "../LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace httptest {

LoopbackHttpServer::Socket LoopbackHttpServer::listenOn(const char* address, int& port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return Invalid;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(address);
    socklen_t length = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 16) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(s);
        return Invalid;
    }
    port = ntohs(a.sin_port);
    return s;
}

LoopbackHttpServer::Socket LoopbackHttpServer::acceptOne(Socket listener)
{
    const int c = ::accept(static_cast<int>(listener), nullptr, nullptr);
    return c < 0 ? Invalid : c;
}

int LoopbackHttpServer::receive(Socket s, char* buffer, int size)
{
    return static_cast<int>(::recv(static_cast<int>(s), buffer, static_cast<size_t>(size), 0));
}

bool LoopbackHttpServer::sendAll(Socket s, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(static_cast<int>(s), data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void LoopbackHttpServer::closeSocket(Socket s)
{
    ::close(static_cast<int>(s));
}

void LoopbackHttpServer::stopListening(Socket s)
{
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
}

void LoopbackHttpServer::releaseListener(Socket s)
{
    ::close(static_cast<int>(s));
}

} // namespace httptest
