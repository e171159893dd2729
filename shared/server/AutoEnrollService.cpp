#include "shared/server/AutoEnrollService.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/SourceLocation.h"
#include "shared/monitoring/MachineDetails.h"
#include "shared/monitoring/System.h"
#include "shared/server/Base64Device.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserDetails.h"

bool AutoEnrollService::s_authFailureAttemptMade = false;

namespace {

using Status = TavelinSessionDetails::ConnectionStatus;

void trace(uint32_t id, const wchar_t* text, int type, const wchar_t* function)
{
    Event event(id, text, type, TC_AT(function));
    Logger::Trace(event);
}

// The status a broadcast announces: its "ConnectionStatus", or without one
// the session's.
Status announcedStatus(const Msg& msg, const TavelinSessionDetails& session)
{
    int status = static_cast<int>(session.getConnectionStatus());
    msg.getAttributeValue(L"ConnectionStatus", status);
    return static_cast<Status>(status);
}

// The client's logon service as the enrollment uses it.
class LogonServiceLogon : public AutoEnrollService::Logon {
public:
    explicit LogonServiceLogon(ServerLogonService& service) : m_service(service) {}
    void logOn(const wchar_t* userName, const wchar_t* password) override
    {
        m_service.logOn(userName, password);
    }
    void logOff() override { m_service.logOff(); }

private:
    ServerLogonService& m_service;
};

} // namespace

AutoEnrollService::Logon::~Logon() = default;

AutoEnrollService::AutoEnrollService(System& system, ServerLogonService& logon, const Clock& clock,
                                     const std::wstring& keyPath)
    : m_system(system), m_ownLogon(new LogonServiceLogon(logon)), m_logon(*m_ownLogon),
      m_clock(clock), m_keyPath(keyPath)
{}

AutoEnrollService::AutoEnrollService(System& system, Logon& logon, const Clock& clock,
                                     const std::wstring& keyPath)
    : m_system(system), m_logon(logon), m_clock(clock), m_keyPath(keyPath)
{}

AutoEnrollService::~AutoEnrollService() = default;

bool AutoEnrollService::isAutoEnrollUserName(const std::wstring& name)
{
    return name.find(L"autoenroll@") != std::wstring::npos &&
           name.find(L".org") != std::wstring::npos;
}

std::wstring AutoEnrollService::enrollmentUserName(int organisationId)
{
    return L"autoenroll@" + std::to_wstring(organisationId) + L".org";
}

std::wstring AutoEnrollService::makeOrganisationToken(int organisationId,
                                                      const std::wstring& password)
{
    std::wstring text;
    Base64Device::base64Data(
        SecurityDevice::encryptString(password, enrollmentUserName(organisationId)), text);
    return text;
}

std::wstring AutoEnrollService::getStateDescription(int state)
{
    switch (state) {
    case Waiting:
        return L"Waiting";
    case LoggingOn:
        return L"LoggingOn";
    case AwaitingResponse:
        return L"AwaitingResponse";
    case Pending:
        return L"Pending";
    default:
        return L"Disabled";
    }
}

bool AutoEnrollService::loadCredentials()
{
    const Registry machine(Registry::LocalMachine, m_keyPath);
    const int id = machine.read(L"OrganisationID", 0);
    const std::wstring token = machine.read(L"OrganisationToken", L"");
    if (id <= 0 || token.empty())
        return false;
    const std::wstring userName = enrollmentUserName(id);
    std::wstring password;
    ByteArray encrypted;
    Base64Device::unBase64Data(token, encrypted);
    try {
        password = SecurityDevice::decryptString(encrypted, userName);
    } catch (const Exception&) {
        // Not Base64, or not a whole number of cipher blocks: as no token.
        return false;
    }
    if (password.empty())
        return false;
    m_organisationId = id;
    m_userName = userName;
    m_password = password;
    return true;
}

bool AutoEnrollService::setup()
{
    m_configured = loadCredentials();
    if (!m_configured) {
        trace(1063711, L"AutoEnrollment disabled", Event::Info, L"AutoEnrollService::setup");
        setState(Disabled);
    } else {
        setState(Waiting);
    }
    return true;
}

void AutoEnrollService::setState(AutoEnrollState state)
{
    switch (state) {
    case Waiting:
        setTimer(TickMs, Timer::Repeating);
        break;
    case LoggingOn:
    case AwaitingResponse:
        setTimer(TickMs, Timer::Repeating);
        m_stateStart = m_clock.now();
        break;
    case Pending:
        setTimer(PendingMs, Timer::Repeating);
        break;
    default:
        state = Disabled;
        killTimer();
        break;
    }
    m_state = state;
    m_system.getTavelinSessionDetails().setInAutoEnrollMode(state == LoggingOn ||
                                                            state == AwaitingResponse);
}

bool AutoEnrollService::canProcessMsg(Msg& msg)
{
    if (m_state == Disabled)
        // The one attempt after a refused logon is still open while the
        // service is configured: a logon refused after the first tick has
        // found enrollment unnecessary is as much a refusal as one before.
        return m_configured && !s_authFailureAttemptMade &&
               msg.getType() == Msg::CONNECTION_STATUS_CHANGE;
    return msg.getType() == Msg::AUTO_ENROLL_RESPONSE ||
           msg.getType() == Msg::CONNECTION_STATUS_CHANGE;
}

bool AutoEnrollService::processMsg(Msg& msg)
{
    if (msg.getType() == Msg::CONNECTION_STATUS_CHANGE) {
        processConnectionStatusChange(msg);
        return true;
    }
    if (msg.getType() == Msg::AUTO_ENROLL_RESPONSE && m_state != Disabled) {
        processAutoEnrollResponse(msg);
        return true;
    }
    return false;
}

void AutoEnrollService::onTimer()
{
    switch (m_state) {
    case Waiting:
        initialise();
        break;
    case LoggingOn:
    case AwaitingResponse:
        checkTimeOut();
        break;
    case Pending:
        // The request goes out under a new enrollment logon: the session
        // was closed when the pending answer came, and nothing else would
        // log on to carry a request left in the offline queue.
        initialise();
        break;
    default:
        break;
    }
}

void AutoEnrollService::initialise()
{
    const bool wasPending = m_state == Pending;
    setState(Waiting);
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    const bool necessary =
        !session.isLoggedOn() && !session.isConnecting() && session.getUserPassword().empty();
    if (!necessary) {
        m_awaitingApproval = false;
        setState(Disabled);
        return;
    }
    if (!userDetailsReady()) {
        trace(1063701, L"AutoEnrollment UserDetails not ready", Event::Info,
              L"AutoEnrollService::initialise");
        // A pending approval keeps its 5-minute rhythm.
        if (wasPending)
            setState(Pending);
        return;
    }
    setState(LoggingOn);
    m_logon.logOn(m_userName.c_str(), m_password.c_str());
    trace(1063702, L"AutoEnrollment logging on", Event::Info, L"AutoEnrollService::initialise");
}

void AutoEnrollService::checkTimeOut()
{
    const int64_t elapsed = m_clock.now() - m_stateStart;
    if (elapsed <= TimeOutSeconds)
        return;
    Event event(1063710, L"AutoEnrollment TimeOut", Event::Error,
                TC_AT(L"AutoEnrollService::checkTimeOut"));
    event.addDetails(L"AutoEnrollment State", getStateDescription(m_state));
    event.addDetails(L"Elapsed Seconds", static_cast<long long>(elapsed));
    Logger::Trace(event);
    setState(stateAfterFailure());
    closeEnrollmentSession();
}

AutoEnrollService::AutoEnrollState AutoEnrollService::stateAfterFailure() const
{
    return m_awaitingApproval ? Pending : Disabled;
}

void AutoEnrollService::closeEnrollmentSession()
{
    m_system.getTavelinSessionDetails().setUserPassword(L"");
    m_logon.logOff();
}

void AutoEnrollService::attemptAutoEnroll()
{
    closeEnrollmentSession();
    setState(Waiting);
    setTimer(RetryMs, Timer::Repeating);
}

bool AutoEnrollService::userDetailsReady() const
{
    return m_system.getDomainUserDetails().isReady();
}

Msg* AutoEnrollService::buildRequest() const
{
    const UserDetails& details = m_system.getDomainUserDetails();
    const MachineDetails& machine = m_system.getMachineDetails();
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    Msg* msg = new Msg();
    msg->setType(Msg::AUTO_ENROLL_REQUEST);
    msg->setAttributeValue(L"SID", details.getSID());
    msg->setAttributeValue(L"GUID", details.getGUID());
    msg->setAttributeValue(L"WindowsUserName", details.getUsername());
    msg->setAttributeValue(L"UserDomain", details.getDomain());
    msg->setAttributeValue(L"DisplayName", details.getDisplayName());
    msg->setAttributeValue(L"EmailAddress", details.getEmail());
    msg->setAttributeValue(L"OrganisationID", m_organisationId);
    msg->setAttributeValue(L"LocalIPAddress", machine.getIPAddress());
    msg->setAttributeValue(L"MachineName", machine.getMachineName());
    msg->setAttributeValue(L"UserID", session.getUserID());
    msg->setAttributeValue(L"TavelUsername", session.getUserName());
    return msg;
}

void AutoEnrollService::sendRequest()
{
    sendMessage(buildRequest(), CommunicationDevice::Http);
    setState(AwaitingResponse);
    trace(1063703, L"AutoEnrollment request sent", Event::Info, L"AutoEnrollService::sendRequest");
}

void AutoEnrollService::processConnectionStatusChange(Msg& msg)
{
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    const Status status = announcedStatus(msg, session);
    if (m_state == LoggingOn) {
        // A Connected that has failed since is left to the broadcast of
        // the failure.
        if (status == Status::Connected && session.isLoggedOn()) {
            sendRequest();
        } else if (status == Status::ConnectionError) {
            setState(stateAfterFailure());
            trace(1063709, L"AutoEnrollment logon failed", Event::Error,
                  L"AutoEnrollService::processMsg");
        }
    }
    if (status == Status::ConnectionError &&
        session.getConnectionError() ==
            TavelinSessionDetails::ConnectionError::AuthenticationFailed &&
        !s_authFailureAttemptMade) {
        s_authFailureAttemptMade = true;
        attemptAutoEnroll();
    }
}

void AutoEnrollService::processAutoEnrollResponse(Msg& msg)
{
    closeEnrollmentSession();
    std::wstring result;
    if (!msg.getAttributeValue(L"AutoEnrollmentResult", result)) {
        m_awaitingApproval = false;
        trace(1063704, L"AutoEnrollment response - Missing required field", Event::Error,
              L"AutoEnrollService::processMsg");
        setState(Disabled);
        return;
    }
    if (result == L"AutoEnrollmentPending") {
        m_awaitingApproval = true;
        setState(Pending);
        trace(1063705, L"AutoEnrollment authorisation pending", Event::Info,
              L"AutoEnrollService::processMsg");
        return;
    }
    m_awaitingApproval = false;
    if (result == L"Success") {
        setState(Disabled);
        std::wstring userName, password;
        if (msg.getAttributeValue(L"TavelUsername", userName) &&
            msg.getAttributeValue(L"UserPassword", password)) {
            trace(1063707, L"AutoEnrollment credentials received", Event::Info,
                  L"AutoEnrollService::processMsg");
            // Held by the session until the logon succeeds and the
            // connection manager saves them: should this first logon fail,
            // its retries need them, and the server will not give them twice.
            TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
            session.setUserName(userName);
            session.setUserPassword(password);
            m_logon.logOn(userName.c_str(), password.c_str());
        } else {
            trace(1063706, L"AutoEnrollment response - Missing credentials info", Event::Error,
                  L"AutoEnrollService::processMsg");
        }
        return;
    }
    Event event(1063708, L"AutoEnrollment failed", Event::Info,
                TC_AT(L"AutoEnrollService::processMsg"));
    event.addDetails(L"Result", result);
    Logger::Trace(event);
    setState(Disabled);
}
