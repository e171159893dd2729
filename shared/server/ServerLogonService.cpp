#include "shared/server/ServerLogonService.h"

#include <memory>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/Tools.h"
#include "shared/monitoring/System.h"
#include "shared/server/SecurityDevice.h"

const wchar_t* const ServerLogonService::ServersKey = L"Software\\Ondrivex\\Servers";
const wchar_t* const ServerLogonService::DefaultHelloHosts[5] = {
    L"hello1.ondrivex.com", L"hello2.ondrivex.com", L"hello3.ondrivex.com",
    L"hello4.ondrivex.com", L"hello5.ondrivex.com"};
constexpr unsigned ServerLogonService::StageTimeoutMs;

namespace {

void trace(uint32_t id, const std::wstring& text, int type, const wchar_t* function)
{
    Event event(id, text, type, TC_AT(function));
    Logger::Trace(event);
}

} // namespace

ServerLogonService::ServerLogonService(System& system, HttpCommDevice& device,
                                       const std::wstring& serversKey)
    : m_system(system), m_device(device), m_serversKey(serversKey)
{
    // Ready before setup: the status window may ask for the hello results
    // as soon as the service exists.
    m_mutex.initialise();
    m_helloServers = loadHelloServers(m_serversKey);
}

ServerLogonService::~ServerLogonService() = default;

bool ServerLogonService::setup()
{
    return true;
}

bool ServerLogonService::canProcessMsg(Msg& msg)
{
    switch (msg.getType()) {
    case Msg::CHALLENGE_RESPONSE:
    case Msg::AUTHENTICATION_RESPONSE:
    case Msg::ERROR_MSG:
    case Msg::HTTP_COMM_DEVICE:
        return true;
    default:
        return false;
    }
}

bool ServerLogonService::processMsg(Msg& msg)
{
    switch (msg.getType()) {
    case Msg::CHALLENGE_RESPONSE:
        processChallengeResponseMsg(msg);
        break;
    case Msg::AUTHENTICATION_RESPONSE:
        processAuthenticationResponseMsg(msg);
        break;
    case Msg::ERROR_MSG:
        processErrorMsg(msg);
        break;
    case Msg::HTTP_COMM_DEVICE:
        processHttpCommDeviceMsg(msg);
        break;
    default:
        break;
    }
    return true;
}

HttpCommDevice::ServerList ServerLogonService::loadHelloServers(const std::wstring& serversKey)
{
    Registry registry(Registry::LocalMachine, serversKey);
    HttpCommDevice::ServerList list;
    for (int i = 0; i < 5; ++i) {
        const std::wstring n = std::to_wstring(i);
        const std::wstring host = registry.read(L"server." + n + L".host", L"");
        const int port = registry.read(L"server." + n + L".port", 0);
        if (host.empty() || port == 0) {
            for (int j = 0; j < 5; ++j) {
                const std::wstring m = std::to_wstring(j);
                registry.write(L"server." + m + L".host", DefaultHelloHosts[j]);
                registry.write(L"server." + m + L".port", DefaultHelloPort);
                list.emplace_back(DefaultHelloHosts[j], DefaultHelloPort);
            }
            break;
        }
        list.emplace_back(host, port);
    }
    return list;
}

void ServerLogonService::logOn(const wchar_t* userName, const wchar_t* password)
{
    if (!userName || !password || !*userName || !*password)
        return;
    m_helloServers = loadHelloServers(m_serversKey);
    m_userName = userName;
    m_password = password;
    m_passwordHash = SecurityDevice::computePasswordHash(m_password);
    m_sessionKey.release();

    std::wstring lower = m_userName;
    Tools::stringToLower(lower);
    m_device.resetConnection(lower, m_helloServers);

    std::unique_ptr<Msg> request(new Msg());
    request->setType(Msg::CHALLENGE_REQUEST);
    request->setAttributeValue(L"TavelUsername", lower);
    request->setAttributeValue(L"EmailAddress", lower);
    sendMessage(request.release(), CommunicationDevice::Http);
    setConnectionStatus(ConnectionStatus::Connecting);
}

void ServerLogonService::logOff()
{
    setConnectionStatus(ConnectionStatus::NotConnected);
    m_userName.clear();
    m_password.clear();
    m_passwordHash.release();
    m_sessionKey.release();
}

void ServerLogonService::processChallengeResponseMsg(Msg& msg)
{
    const wchar_t* function = L"ServerLogonService::processChallengeResponseMsg";
    if (m_password.empty() || m_passwordHash.getSize() == 0) {
        trace(1063002, L"Empty password or hash while processing a challenge message",
              Event::Error, function);
        setConnectionError(ConnectionError::LogOnProcessFailed);
        return;
    }
    ByteArray* challenge = nullptr;
    if (!msg.getAttributeValue(L"ChallengeData", challenge) || !challenge) {
        trace(1063004, L"No challenge data in ChallengeResponseMsg", Event::Error, function);
        setConnectionError(ConnectionError::AuthenticationFailed);
        return;
    }
    try {
        m_sessionKey = SecurityDevice::generateSessionKey(m_passwordHash, *challenge);
        Msg request;
        request.setType(Msg::AUTHENTICATION_REQUEST);
        request.setAttributeValue(L"TavelUsername", m_userName);
        request.setAttributeValue(L"EmailAddress", m_userName);
        sendMessage(SecurityDevice::signAndEncryptMsg(request, m_sessionKey),
                    CommunicationDevice::Http);
        setConnectionStatus(ConnectionStatus::Authenticating);
    } catch (const Exception& e) {
        Event event(1063005, &e, L"An exception occured while processing a challenge message",
                    TC_AT(function));
        Logger::Trace(event);
        setConnectionError(ConnectionError::LogOnProcessFailed);
    }
}

void ServerLogonService::processAuthenticationResponseMsg(Msg& msg)
{
    const wchar_t* function = L"ServerLogonService::processAuthenticationResponseMsg";
    if (!msg.isSecure()) {
        setConnectionError(ConnectionError::AuthenticationFailed);
        return;
    }
    if (m_password.empty() || m_sessionKey.getSize() == 0) {
        trace(1063006, L"Empty password or hash while processing an authentication message",
              Event::Error, function);
        setConnectionError(ConnectionError::LogOnProcessFailed);
        return;
    }
    try {
        std::unique_ptr<Msg> plain(SecurityDevice::verifyAndDecryptMsg(msg, m_sessionKey));
        std::wstring result;
        if (!plain->getAttributeValue(L"Result", result) || result != L"True") {
            trace(1063007,
                  L"Encrypted Authentication Response Msg from server did not contain required "
                  L"field",
                  Event::Error, function);
            setConnectionError(ConnectionError::AuthenticationFailed);
            return;
        }
        int userId = 0;
        if (!plain->getAttributeValue(L"UserID", userId)) {
            trace(1063008,
                  L"Encrypted Authentication Response Msg from server did not contain user "
                  L"connection info",
                  Event::Error, function);
            setConnectionError(ConnectionError::LogOnProcessFailed);
            return;
        }
        TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
        session.setUserID(userId);
        session.setUserName(m_userName);
        session.setUserPassword(m_password);
        session.setUserPasswordHash(m_passwordHash);
        session.setSessionKey(m_sessionKey);
        setConnectionStatus(ConnectionStatus::Connected);
        m_device.setSessionKey(&m_sessionKey);
    } catch (const Exception& e) {
        Event event(1063009, &e, L"An exception occured while processing an authentication message",
                    TC_AT(function));
        Logger::Trace(event);
        setConnectionError(ConnectionError::LogOnProcessFailed);
    }
}

void ServerLogonService::processErrorMsg(Msg& msg)
{
    int errorId = 0;
    std::wstring errorType;
    msg.getAttributeValue(L"ErrorID", errorId);
    msg.getAttributeValue(L"ErrorType", errorType);
    Event event(1063010, L"Error Msg received from server", Event::Error,
                TC_AT(L"ServerLogonService::processErrorMsg"));
    event.addDetails(L"Error ID", static_cast<long long>(errorId));
    event.addDetails(L"Error Type", errorType);
    Logger::Trace(event);
    if (errorType == L"VerifyDecryptFailed")
        setConnectionError(ConnectionError::SecureSessionFailed);
    else if (errorType == L"ClientAppTooOld")
        setConnectionError(ConnectionError::ClientAppTooOld);
    else if (errorType == L"AccountSuspended")
        setConnectionError(ConnectionError::AccountSuspended);
}

void ServerLogonService::processHttpCommDeviceMsg(Msg& msg)
{
    int event = -1;
    if (!msg.getAttributeValue(L"HttpCommEvent", event))
        return;
    switch (event) {
    case 1:
        setConnectionStatus(ConnectionStatus::ProxyWizardRunning);
        break;
    case 2:
        setConnectionStatus(ConnectionStatus::Connecting);
        break;
    case 3:
    case HttpCommDevice::ConnectFailure:
    case HttpCommDevice::InvalidMessageSize:
    case HttpCommDevice::ResponseFailure:
    case HttpCommDevice::SendFailure:
        setConnectionError(ConnectionError::ConnectFailed);
        break;
    case HttpCommDevice::ResolveFailure:
        setConnectionError(ConnectionError::ResolveFailed);
        break;
    case HttpCommDevice::SecureSessionFailure:
        setConnectionError(ConnectionError::SecureSessionFailed);
        break;
    case HttpCommDevice::HelloInfo: {
        AutoMutex guard(m_mutex);
        msg.getAttributeValue(L"HelloClientVersion", m_clientVersion);
        msg.getAttributeValue(L"HelloClientURL", m_clientVersionURL);
        msg.getAttributeValue(L"HelloMOTD", m_motd);
        msg.getAttributeValue(L"HelloReportsURL", m_reportsURL);
        break;
    }
    default:
        break;
    }
}

void ServerLogonService::setConnectionError(ConnectionError error)
{
    m_system.getTavelinSessionDetails().setConnectionError(error);
    setConnectionStatus(ConnectionStatus::ConnectionError);
}

void ServerLogonService::setConnectionStatus(ConnectionStatus status)
{
    if (status == ConnectionStatus::Connecting || status == ConnectionStatus::Authenticating)
        setTimer(StageTimeoutMs, Timer::OneShot);
    else
        killTimer();

    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    Event event(1063011, L"Connection Status Changed", Event::Info,
                TC_AT(L"ServerLogonService::setConnectionStatus"));
    event.addDetails(L"Status", TavelinSessionDetails::getConnectionStatusDescription(status));
    if (status == ConnectionStatus::ConnectionError)
        event.addDetails(L"Error ID", TavelinSessionDetails::getConnectionErrorDescription(
                                          session.getConnectionError()));
    Logger::Trace(event);
    session.setConnectionStatus(status);

    std::unique_ptr<Msg> change(new Msg());
    change->setType(Msg::CONNECTION_STATUS_CHANGE);
    change->setAttributeValue(L"ConnectionStatus", static_cast<int>(status));
    sendMessage(change.release(), CommunicationDevice::Internal);
}

void ServerLogonService::onTimer()
{
    const ConnectionStatus status = m_system.getTavelinSessionDetails().getConnectionStatus();
    if (status == ConnectionStatus::Connecting || status == ConnectionStatus::Authenticating)
        setConnectionError(ConnectionError::ConnectTimedOut);
}

std::wstring ServerLogonService::getCurrentClientVersion() const
{
    AutoMutex guard(m_mutex);
    return m_clientVersion;
}

std::wstring ServerLogonService::getCurrentClientVersionURL() const
{
    AutoMutex guard(m_mutex);
    return m_clientVersionURL;
}

std::wstring ServerLogonService::getMOTD() const
{
    AutoMutex guard(m_mutex);
    return m_motd;
}

std::wstring ServerLogonService::getReportsURL() const
{
    AutoMutex guard(m_mutex);
    return m_reportsURL;
}
