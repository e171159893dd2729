#include "tools/tcserver/posix/SubmitClient.h"

#include <httplib.h>

#include <cwctype>

#include "base/Exception.h"
#include "base/Utf16.h"
#include "shared/server/SecurityDevice.h"

SubmitClient::SubmitClient(const std::string& host, int port, bool keepAlive)
    : m_http(std::make_unique<httplib::Client>(host, port))
{
    m_http->set_keep_alive(keepAlive);
    // Without it a kept-alive connection waits on delayed acknowledgements
    // between the request's header and body writes.
    m_http->set_tcp_nodelay(true);
    m_http->set_connection_timeout(30, 0);
    m_http->set_read_timeout(60, 0);
    m_http->set_default_headers({{"User-Agent", "Tavelin Client/1.0"}});
}

SubmitClient::SubmitClient(Transport transport) : m_transport(std::move(transport)) {}

SubmitClient::~SubmitClient() = default;

int SubmitClient::post(const std::string& path, const std::string& body, std::string& reply)
{
    reply.clear();
    if (m_transport) {
        m_lastStatus = m_transport(path, body, reply);
        return m_lastStatus;
    }
    auto result = m_http->Post(path.c_str(), body, "application/octet-stream");
    m_lastStatus = result ? result->status : -1;
    m_lastError = result ? std::string() : httplib::to_string(result.error());
    if (result)
        reply = result->body;
    return m_lastStatus;
}

int SubmitClient::hello(const std::wstring& userName, std::string& reply)
{
    const ByteArray body(L"email=" + userName);
    return post("/Hello",
                std::string(reinterpret_cast<const char*>(body.getData()), static_cast<size_t>(body.getSize())),
                reply);
}

std::unique_ptr<Msg> SubmitClient::send(const Msg& msg)
{
    ByteArray bytes;
    msg.toByteArray(bytes);
    std::string reply;
    m_lastReply.reset();
    if (post("/Tavelin/SubmitMsg",
             std::string(reinterpret_cast<const char*>(bytes.getData()), static_cast<size_t>(bytes.getSize())),
             reply) != 200)
        return nullptr;
    auto parsed = std::make_unique<Msg>();
    try {
        parsed->fromByteArray(ByteArray(reply.data(), static_cast<int32_t>(reply.size())));
    } catch (const Exception&) {
        return nullptr;
    }
    m_lastReply = std::make_unique<Msg>(*parsed);
    return parsed;
}

bool SubmitClient::isEncryptedReplyType(int type)
{
    return type == Msg::UPDATE || type == Msg::AUTO_ENROLL_RESPONSE ||
           type == Msg::CLIENT_PROFILE_RESPONSE || type == Msg::AUTHENTICATION_RESPONSE;
}

bool SubmitClient::logOn(const std::wstring& userName, const std::wstring& password)
{
    m_userId = -1;
    m_key.release();
    std::wstring lowerName;
    for (wchar_t c : userName)
        lowerName += static_cast<wchar_t>(c < 0x80 ? std::towlower(c) : c);
    Msg request;
    request.setType(Msg::CHALLENGE_REQUEST);
    request.setAttributeValue(L"TavelUsername", lowerName);
    request.setAttributeValue(L"EmailAddress", lowerName);
    auto challengeReply = send(request);
    ByteArray* challenge = nullptr;
    if (!challengeReply || challengeReply->getType() != Msg::CHALLENGE_RESPONSE ||
        !challengeReply->getAttributeValue(L"ChallengeData", challenge))
        return false;

    const ByteArray key = SecurityDevice::generateSessionKey(SecurityDevice::computePasswordHash(password), *challenge);
    Msg authentication;
    authentication.setType(Msg::AUTHENTICATION_REQUEST);
    authentication.setAttributeValue(L"TavelUsername", userName);
    authentication.setAttributeValue(L"EmailAddress", userName);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(authentication, key));
    auto reply = send(*envelope);
    if (!reply || reply->getType() != Msg::AUTHENTICATION_RESPONSE || !reply->isSecure())
        return false;
    std::unique_ptr<Msg> plain;
    try {
        plain.reset(SecurityDevice::verifyAndDecryptMsg(*reply, key));
    } catch (const Exception&) {
        return false;
    }
    std::wstring result;
    int userId = -1;
    if (!plain->getAttributeValue(L"Result", result) || result != L"True" ||
        !plain->getAttributeValue(L"UserID", userId))
        return false;
    m_userId = userId;
    m_key = key;
    return true;
}

std::unique_ptr<Msg> SubmitClient::sendSecure(const Msg& plain)
{
    Msg withId(plain);
    withId.setAttributeValue(L"UserID", m_userId);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(withId, m_key));
    auto reply = send(*envelope);
    if (!reply || !isEncryptedReplyType(reply->getType()))
        return reply;
    try {
        return std::unique_ptr<Msg>(SecurityDevice::verifyAndDecryptMsg(*reply, m_key));
    } catch (const Exception&) {
        return nullptr;
    }
}
