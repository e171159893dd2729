#include "shared/server/HttpCommDevice.h"

#include <cstdint>
#include <new>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/FileName.h"
#include "base/Logger.h"
#include "shared/monitoring/Icon.h"
#include "shared/monitoring/System.h"
#include "shared/server/SecurityDevice.h"

const wchar_t* const HttpCommDevice::UserAgent = L"Tavelin Client/1.0";
const wchar_t* const HttpCommDevice::SubmitPath = L"/Tavelin/SubmitMsg";
const wchar_t* const HttpCommDevice::QueueFileName = L"system.dat";
const wchar_t* const HttpCommDevice::ContentTypeHeader = L"Content-Type: application/octet-stream";

constexpr int HttpCommDevice::MaxMessageSize;
constexpr unsigned HttpCommDevice::SubmitTimeoutSeconds;

namespace {

void trace(uint32_t id, const std::wstring& text, int type, const wchar_t* function)
{
    Event event(id, text, type, TC_AT(function));
    Logger::Trace(event);
}

// Messages carry times as 32-bit integers; read back, they are the low 32
// bits of the seconds since 1970.
int stamp(int64_t seconds)
{
    return static_cast<int>(static_cast<uint32_t>(seconds));
}

int64_t unstamp(int value)
{
    return static_cast<int64_t>(static_cast<uint32_t>(value));
}

bool isLogonMsg(Msg::MsgType type)
{
    return type == Msg::CHALLENGE_REQUEST || type == Msg::AUTHENTICATION_REQUEST;
}

} // namespace

HttpCommDevice::HttpCommDevice(System& system, const Clock& clock,
                               const std::wstring& queueFileName)
    : m_system(system), m_clock(clock)
{
    m_connectionLock.initialise();
    m_fileQueue.reset(new FileMsgQueue(queueFileName));
    AutoMutex guard(m_outLock);
    m_fileQueue->open();
}

HttpCommDevice::~HttpCommDevice()
{
    terminate(500);
    AutoMutex guard(m_outLock);
    m_fileQueue->close();
}

void HttpCommDevice::pushMessage(Msg* msg)
{
    if (!msg) {
        CommunicationDevice::pushMessage(msg, m_outQ, m_outLock); // throws
        return;
    }
    std::unique_ptr<Msg> owned(msg);
    const Msg::MsgType type = owned->getType();
    // The time it was accepted travels with the message until it is sent, so
    // that a failed delivery can put it back with its true age. Logon
    // messages are never put back and carry no stamp.
    if (!isLogonMsg(type))
        owned->setAttributeValue(L"EventTime", stamp(m_clock.now()));
    // Until the session key arrives the device may be connected but cannot
    // encrypt: ordinary messages then wait in the file queue, as they do
    // offline, instead of failing the logon in progress.
    if (isLogonMsg(type) || (m_connected.load() && workingKey().getSize() > 0)) {
        CommunicationDevice::pushMessage(owned.release(), m_outQ, m_outLock);
        return;
    }
    owned->removeByteArrayAttribute(L"Icon");
    {
        AutoMutex guard(m_outLock);
        m_fileQueue->pushMessage(owned.release());
    }
    sendCommEventMsg(Success);
}

int HttpCommDevice::getQueuedCount()
{
    AutoMutex guard(m_outLock);
    return m_fileQueue->getSize();
}

Msg* HttpCommDevice::popHttpMessage()
{
    std::unique_ptr<Msg> msg;
    bool fromFile = false;
    if (m_connected.load() && workingKey().getSize() > 0) {
        AutoMutex guard(m_outLock);
        msg.reset(m_fileQueue->popMessage());
        fromFile = msg != nullptr;
    }
    if (!msg)
        msg.reset(popMessage(m_outQ, m_outLock));
    if (!msg)
        return nullptr;

    const int64_t now = m_clock.now();
    int eventTime = 0;
    const bool stamped = msg->getAttributeValue(L"EventTime", eventTime);
    msg->removeIntAttribute(L"EventTime");
    m_acceptedAt = stamped ? unstamp(eventTime) : now;
    if (fromFile) {
        const int64_t age = now - m_acceptedAt;
        if (age < 0)
            return nullptr;
        msg->setAttributeValue(L"EventTimeDelta", static_cast<int>(age));
    }

    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    msg->setAttributeValue(L"UserID", session.getUserID());
    msg->setAttributeValue(L"MachineID", session.getMachineID());
    if (session.getMachineID() != -1) {
        msg->removeStringAttribute(L"MachineName");
        msg->removeStringAttribute(L"MachineDomain");
    }

    std::wstring filePath;
    if (msg->getType() == Msg::APPLICATION_CHANGE && !msg->containsIntAttribute(L"ApplicationID") &&
        msg->getAttributeValue(L"FilePath", filePath)) {
        const int id = m_system.getApplicationID(filePath.c_str());
        if (id != -1) {
            msg->setAttributeValue(L"ApplicationID", id);
            for (const wchar_t* name :
                 {L"OriginalFilename", L"FileDescription", L"InternalName", L"FileVersion",
                  L"ProductName", L"ProductVersion", L"CompanyName", L"FilePath"})
                msg->removeStringAttribute(name);
        } else {
            Icon icon;
            std::wstring library;
            std::unique_ptr<ByteArray> bytes(new ByteArray());
            if (icon.getLibraryFileName(FileName(filePath).getName().c_str(), library) &&
                icon.getIconBytes(*bytes))
                msg->setAttributeValue(L"Icon", bytes.release());
            if (!m_system.exists(filePath.c_str()))
                m_system.addApplication(filePath.c_str(), -1);
        }
    }
    return msg.release();
}

void HttpCommDevice::requeue(std::unique_ptr<Msg> msg, int64_t acceptedAt)
{
    if (!msg || isLogonMsg(msg->getType()))
        return;
    msg->removeIntAttribute(L"EventTimeDelta");
    msg->setAttributeValue(L"EventTime", stamp(acceptedAt));
    msg->removeByteArrayAttribute(L"Icon");
    AutoMutex guard(m_outLock);
    m_fileQueue->pushMessage(msg.release());
}

bool HttpCommDevice::sendReceiveMsgs()
{
    try {
        std::unique_ptr<Msg> msg(popHttpMessage());
        if (!msg)
            return false;
        const int64_t acceptedAt = m_acceptedAt;
        // A message that must be sealed when no key will be there to seal it
        // (a new logon is under way) waits for the logon in the file queue;
        // failing it would also fail the logon.
        if (isOutboundSecured(msg->getType()) && keyForNextSend().getSize() == 0) {
            requeue(std::move(msg), acceptedAt);
            return false;
        }
        if (!establishConnectability()) {
            requeue(std::move(msg), acceptedAt);
            return false;
        }
        const bool queued = msg->containsIntAttribute(L"EventTimeDelta");
        // The plain message stays at hand until the server has answered.
        std::unique_ptr<Msg> plain(new Msg(*msg));

        Msg* raw = msg.release();
        if (!encryptMsgIfNecessary(raw)) {
            delete raw;
            requeue(std::move(plain), acceptedAt);
            return false;
        }
        msg.reset(raw);

        ByteArray bytes;
        int64_t size = 0;
        try {
            size = msg->getSerializedSizeRequirement();
            if (size > 0 && size <= MaxMessageSize)
                msg->toByteArray(bytes);
        } catch (const std::bad_alloc&) {
            size = 0;
        }
        msg.reset();
        if (size <= 0 || size > MaxMessageSize) {
            Event event(1063601, L"Invalid Msg Size", Event::Error,
                        TC_AT(L"HttpCommDevice::sendReceiveMsgs"));
            event.addDetails(L"Message Size", static_cast<long long>(size));
            Logger::Trace(event);
            sendCommEventMsg(InvalidMessageSize);
            return false;
        }

        ByteArray reply;
        const HttpCommDeviceEvent result =
            transmit(m_finder.serverHost(), m_finder.serverPort(), SubmitPath, bytes, reply,
                     m_finder.proxy(), SubmitTimeoutSeconds);
        sendCommEventMsg(result);
        if (result != Success) {
            m_connected.store(false);
            requeue(std::move(plain), acceptedAt);
            return false;
        }
        Msg* response = parseResponse(reply);
        if (!response) {
            // The server may have stored the message before its answer went
            // wrong; it drops the repeat.
            m_connected.store(false);
            requeue(std::move(plain), acceptedAt);
            return false;
        }
        if (!decryptMsgIfNecessary(response)) {
            m_connected.store(false);
            return false;
        }
        CommunicationDevice::pushMessage(response, m_inQ, m_inLock);
        return !queued;
    } catch (const Exception& e) {
        // Any failure of one step, not only of the message format and the
        // envelope: one that escaped would end the worker, and every message
        // after it would wait for ever.
        Event event(1063602, &e, L"An unexpected exception while trying send/receive messages",
                    TC_AT(L"HttpCommDevice::sendReceiveMsgs"));
        Logger::Trace(event);
        return false;
    }
}

void HttpCommDevice::resetConnection(const std::wstring& userName, const ServerList& helloServers)
{
    AutoMutex guard(m_connectionLock);
    m_connected.store(false);
    m_pendingUserName = userName;
    m_pendingHelloServers = helloServers;
    m_pendingSessionKey.release();
}

void HttpCommDevice::setSessionKey(const ByteArray* key)
{
    AutoMutex guard(m_connectionLock);
    if (key) {
        m_pendingSessionKey = *key;
        m_sessionKey = *key;
    } else {
        m_pendingSessionKey.release();
    }
}

ByteArray HttpCommDevice::keyForNextSend() const
{
    AutoMutex guard(m_connectionLock);
    return m_connected.load() ? m_sessionKey : m_pendingSessionKey;
}

ByteArray HttpCommDevice::workingKey() const
{
    AutoMutex guard(m_connectionLock);
    return m_sessionKey;
}

std::wstring HttpCommDevice::getClientVersion() const
{
    return m_finder.helloResults().clientVersion;
}

std::wstring HttpCommDevice::getClientVersionURL() const
{
    return m_finder.helloResults().clientVersionURL;
}

std::wstring HttpCommDevice::getMOTD() const
{
    return m_finder.helloResults().motd;
}

std::wstring HttpCommDevice::getReportsURL() const
{
    return m_finder.helloResults().reportsURL;
}

std::wstring HttpCommDevice::getServerHost() const
{
    return m_finder.serverHost();
}

int HttpCommDevice::getServerPort() const
{
    return m_finder.serverPort();
}

ProxySettings HttpCommDevice::getProxySettings() const
{
    return m_finder.proxy();
}

bool HttpCommDevice::establishConnectability()
{
    if (m_connected.load())
        return true;
    ServerList helloServers;
    std::wstring userName;
    {
        AutoMutex guard(m_connectionLock);
        m_sessionKey = m_pendingSessionKey;
        helloServers = m_pendingHelloServers;
        userName = m_pendingUserName;
    }
    if (m_finder.find(helloServers, userName))
        m_connected.store(true);
    return m_connected.load();
}

bool HttpCommDevice::post(const std::wstring& host, int port, const wchar_t* path,
                          const ByteArray& body, ByteArray& reply, const ProxySettings& proxy,
                          unsigned timeoutSeconds)
{
    return transmit(host, port, path, body, reply, proxy, timeoutSeconds) == Success;
}

void HttpCommDevice::helloAnswered(const HelloServerFinder::HelloResults& results)
{
    std::unique_ptr<Msg> info(new Msg());
    info->setType(Msg::HTTP_COMM_DEVICE);
    info->setAttributeValue(L"HttpCommEvent", static_cast<int>(HelloInfo));
    info->setAttributeValue(L"HelloClientVersion", results.clientVersion);
    info->setAttributeValue(L"HelloClientURL", results.clientVersionURL);
    info->setAttributeValue(L"HelloMOTD", results.motd);
    info->setAttributeValue(L"HelloReportsURL", results.reportsURL);
    CommunicationDevice::pushMessage(info.release(), m_inQ, m_inLock);
}

HttpCommDevice::HttpCommDeviceEvent HttpCommDevice::sendEcho(const wchar_t* host, int port,
                                                             const ProxySettings& proxy)
{
    ByteArray reply;
    return sendReceive(host, port, HelloServerFinder::EchoPath, ByteArray("echo", 4), reply, proxy,
                       HelloServerFinder::EchoTimeoutSeconds);
}

bool HttpCommDevice::isOutboundSecured(Msg::MsgType type)
{
    return type == Msg::SYSTEM_STATE_CHANGE || type == Msg::APPLICATION_CHANGE ||
           type == Msg::USER_INFO_UPDATE || type == Msg::AUTO_ENROLL_REQUEST ||
           type == Msg::CLIENT_PROFILE_REQUEST;
}

bool HttpCommDevice::isInboundSecured(Msg::MsgType type)
{
    return type == Msg::UPDATE || type == Msg::AUTO_ENROLL_RESPONSE ||
           type == Msg::CLIENT_PROFILE_RESPONSE;
}

bool HttpCommDevice::encryptMsgIfNecessary(Msg*& msg)
{
    if (!isOutboundSecured(msg->getType()))
        return true;
    const ByteArray key = workingKey();
    if (key.getSize() == 0) {
        trace(1063607, L"Missing session key in HttpCommDevice encrypt", Event::Error,
              L"HttpCommDevice::encryptMsgIfNecessary");
        sendCommEventMsg(SendFailure);
        return false;
    }
    Msg* envelope = nullptr;
    try {
        envelope = SecurityDevice::signAndEncryptMsg(*msg, key);
    } catch (const Exception&) {
        envelope = nullptr;
    }
    if (!envelope) {
        trace(1063608, L"Error occurred encrypting msg in HttpCommDevice", Event::Error,
              L"HttpCommDevice::encryptMsgIfNecessary");
        sendCommEventMsg(SendFailure);
        return false;
    }
    delete msg;
    msg = envelope;
    return true;
}

bool HttpCommDevice::decryptMsgIfNecessary(Msg*& msg)
{
    if (!isInboundSecured(msg->getType()))
        return true;
    std::unique_ptr<Msg> envelope(msg);
    msg = nullptr;
    const ByteArray key = workingKey();
    if (key.getSize() == 0) {
        trace(1063610, L"Missing session key in HttpCommDevice decrypt", Event::Error,
              L"HttpCommDevice::decryptMsgIfNecessary");
        sendCommEventMsg(SendFailure);
        return false;
    }
    try {
        msg = SecurityDevice::verifyAndDecryptMsg(*envelope, key);
    } catch (const CommsException&) {
        sendCommEventMsg(SecureSessionFailure);
        return false;
    }
    if (!msg) {
        trace(1063611, L"Error occurred decrypting msg in HttpCommDevice", Event::Error,
              L"HttpCommDevice::decryptMsgIfNecessary");
        sendCommEventMsg(SecureSessionFailure);
        return false;
    }
    return true;
}

Msg* HttpCommDevice::parseResponse(const ByteArray& reply)
{
    std::unique_ptr<Msg> msg(new Msg());
    try {
        msg->fromByteArray(reply);
    } catch (const Exception& e) {
        Event event(1063609, &e, L"An unexpected exception while deserialising response ByteArray",
                    TC_AT(L"HttpCommDevice::parseResponse"));
        Logger::Trace(event);
        return nullptr;
    }
    return msg.release();
}

void HttpCommDevice::sendCommEventMsg(HttpCommDeviceEvent event)
{
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::HTTP_COMM_DEVICE);
    msg->setAttributeValue(L"HttpCommEvent", static_cast<int>(event));
    CommunicationDevice::pushMessage(msg.release(), m_inQ, m_inLock);
}

HttpCommDevice::HttpCommDeviceEvent HttpCommDevice::transmit(
    const std::wstring& host, int port, const wchar_t* path, const ByteArray& body,
    ByteArray& reply, const ProxySettings& proxy, unsigned timeoutSeconds)
{
    return sendReceive(host.c_str(), port, path, body, reply, proxy, timeoutSeconds);
}

void HttpCommDevice::proxyCandidates(ProxySettingsFactory::SettingsSource source,
                                     const std::wstring& host, int port,
                                     std::list<ProxySettings>& out)
{
    ProxySettingsFactory::get_settings(source, host, port, out);
}
