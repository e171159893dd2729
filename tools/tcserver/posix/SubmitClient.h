#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/ByteArray.h"
#include "base/Msg.h"

namespace httplib {
class Client;
}

// A small client of the server protocol made of the product's portable
// message and security code: the tests drive the server with it, and the load
// generator measures the server with it. It speaks as the product's client
// does (POST, user agent "Tavelin Client/1.0", octet-stream bodies) but keeps
// its connection open between requests when asked to.
class SubmitClient {
public:
    // How a request reaches the server: POST path with body, the HTTP
    // status (-1 when no answer came) and the reply body out.
    using Transport = std::function<int(const std::string& path, const std::string& body, std::string& reply)>;

    // Over HTTP to host:port.
    SubmitClient(const std::string& host, int port, bool keepAlive = false);
    // Over any transport (the tests hand requests to the server in process).
    explicit SubmitClient(Transport transport);
    ~SubmitClient();
    SubmitClient(const SubmitClient&) = delete;
    SubmitClient& operator=(const SubmitClient&) = delete;

    // POST path with body; the HTTP status (-1 when no answer came) and the
    // reply body.
    int post(const std::string& path, const std::string& body, std::string& reply);
    // The "/Hello" text for a user name (body "email=" + UTF-16LE name).
    int hello(const std::wstring& userName, std::string& reply);

    // One message out, its reply parsed; null when the HTTP exchange failed
    // or the reply is no message.
    std::unique_ptr<Msg> send(const Msg& msg);
    // The challenge/response logon; true when the server accepted it. On
    // success userId() and sessionKey() hold the session; lastReply() is the
    // final reply either way.
    bool logOn(const std::wstring& userName, const std::wstring& password);
    // plain as an envelope under the session key; an encrypted reply is
    // opened (null when it does not verify), any other reply returned as it
    // came.
    std::unique_ptr<Msg> sendSecure(const Msg& plain);

    int userId() const { return m_userId; }
    const ByteArray& sessionKey() const { return m_key; }
    const Msg* lastReply() const { return m_lastReply.get(); }
    int lastStatus() const { return m_lastStatus; }
    // Why the last request got no HTTP answer; empty when it got one.
    const std::string& lastError() const { return m_lastError; }

    static bool isEncryptedReplyType(int type);

private:
    std::unique_ptr<httplib::Client> m_http;
    Transport m_transport;
    int m_userId = -1;
    ByteArray m_key;
    std::unique_ptr<Msg> m_lastReply;
    int m_lastStatus = -1;
    std::string m_lastError;
};
