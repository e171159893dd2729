#include "shared/server/ServerConnectionManagerService.h"

#include <algorithm>

#include "shared/monitoring/System.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/SecurityDevice.h"

const wchar_t* const ServerConnectionManagerService::OlderKey = L"Software\\Brelmot\\Tavelin";
constexpr int64_t ServerConnectionManagerService::CounterResetSeconds;
constexpr unsigned ServerConnectionManagerService::TickMs;

const int ServerConnectionManagerService::s_delays[ProblemCount][DelaySteps] = {
    {30, 30, 60, 60, 310, 310, 610, 610, 610, 610}, {30, 30, 60, 60, 310, 310, 610, 610, 610, 610},
    {30, 30, 60, 60, 310, 310, 610, 610, 610, 610}, {0, 0, 0, 30, 30, 60, 60, 310, 310, 310},
    {30, 30, 60, 60, 310, 310, 610, 610, 610, 610}, {30, 30, 60, 60, 310, 310, 610, 610, 610, 610},
};

using ConnectionError = TavelinSessionDetails::ConnectionError;
using ConnectionStatus = TavelinSessionDetails::ConnectionStatus;

ServerConnectionManagerService::ServerConnectionManagerService(System& system,
                                                               ServerLogonService& logon,
                                                               const Clock& clock,
                                                               const std::wstring& key,
                                                               const std::wstring& olderKey)
    : m_system(system), m_logon(logon), m_clock(clock), m_key(key), m_olderKey(olderKey)
{}

ServerConnectionManagerService::~ServerConnectionManagerService() = default;

bool ServerConnectionManagerService::setup()
{
    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    if (!readSavedDetails()) {
        session.setConnectionError(ConnectionError::LogOnProcessFailed);
        session.setConnectionStatus(ConnectionStatus::ConnectionError);
        return true;
    }
    const std::wstring name = session.getUserName();
    const std::wstring password = session.getUserPassword();
    logOn(name.c_str(), password.c_str());
    return true;
}

bool ServerConnectionManagerService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::CONNECTION_STATUS_CHANGE;
}

bool ServerConnectionManagerService::processMsg(Msg&)
{
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    switch (session.getConnectionStatus()) {
    case ConnectionStatus::Connected:
        saveDetails();
        m_nextLogon = 0;
        break;
    case ConnectionStatus::ConnectionError:
        handleDisconnection(session.getConnectionError());
        break;
    default:
        break;
    }
    return true;
}

void ServerConnectionManagerService::logOn(const wchar_t* userName, const wchar_t* password)
{
    m_logon.logOn(userName, password);
}

bool ServerConnectionManagerService::readSavedDetails()
{
    Registry current(Registry::CurrentUser, m_key);
    std::wstring name = current.read(L"Username", L"");
    ByteArray secret = current.read(L"SessionID", ByteArray());
    if (name.empty()) {
        const Registry older(Registry::CurrentUser, m_olderKey);
        name = older.read(L"Username", L"");
        secret = older.read(L"SessionID", ByteArray());
        current.write(L"Username", name);
        current.write(L"SessionID", secret);
    }
    std::wstring password;
    if (!name.empty() && secret.getSize() > 0) {
        password = SecurityDevice::decryptString(secret, name);
        // The padding of the cipher leaves zero code units at the end.
        const size_t end = password.find(L'\0');
        if (end != std::wstring::npos)
            password.resize(end);
    }
    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    session.setUserName(name);
    session.setUserPassword(password);
    return !name.empty() && !password.empty();
}

void ServerConnectionManagerService::saveDetails()
{
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    const std::wstring name = session.getUserName();
    const std::wstring password = session.getUserPassword();
    if (name.empty() || password.empty() || AutoEnrollService::isAutoEnrollUserName(name))
        return;
    Registry current(Registry::CurrentUser, m_key);
    current.write(L"Username", name);
    current.write(L"SessionID", SecurityDevice::encryptString(password, name));
}

bool ServerConnectionManagerService::problemOf(ConnectionError error, ConnectionProblem& out)
{
    switch (error) {
    case ConnectionError::ResolveFailed:
    case ConnectionError::ConnectFailed:
    case ConnectionError::ConnectTimedOut:
        out = NetworkProblem;
        return true;
    case ConnectionError::LogOnProcessFailed:
        out = LogOnProblem;
        return true;
    case ConnectionError::AuthenticationFailed:
        out = AuthenticationProblem;
        return true;
    case ConnectionError::SecureSessionFailed:
        out = SecureSessionProblem;
        return true;
    case ConnectionError::AccountSuspended:
        out = AccountSuspendedProblem;
        return true;
    case ConnectionError::ClientAppTooOld:
        out = ClientTooOldProblem;
        return true;
    default:
        return false;
    }
}

void ServerConnectionManagerService::handleDisconnection(ConnectionError error)
{
    ConnectionProblem problem;
    if (!problemOf(error, problem))
        return;
    schedule(problem);
    ++m_counters[problem];
}

void ServerConnectionManagerService::schedule(ConnectionProblem problem)
{
    const int n = static_cast<int>(std::min<uint32_t>(m_counters[problem], DelaySteps - 1));
    m_nextLogon = m_clock.now() + s_delays[problem][n];
    setTimer(TickMs, Timer::Repeating);
}

void ServerConnectionManagerService::onTimer()
{
    const int64_t now = m_clock.now();
    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    if (!session.isLoggedOn() && m_nextLogon != 0 && now >= m_nextLogon) {
        const std::wstring name = session.getUserName();
        const std::wstring password = session.getUserPassword();
        if (!name.empty() && !password.empty())
            logOn(name.c_str(), password.c_str());
        m_nextLogon = 0;
        killTimer();
    }
    if (m_lastReset == 0)
        m_lastReset = now;
    else if (now - m_lastReset >= CounterResetSeconds) {
        std::fill(std::begin(m_counters), std::end(m_counters), 0u);
        m_lastReset = now;
    }
}

std::wstring ServerConnectionManagerService::getNextReconnectionTime() const
{
    if (m_nextLogon == 0)
        return std::wstring();
    const int64_t r = m_nextLogon - m_clock.now();
    auto text = [](int64_t n, const wchar_t* unit) {
        std::wstring out = L"Reconnecting in " + std::to_wstring(n) + L" " + unit;
        if (n != 1)
            out += L"s";
        return out;
    };
    if (r <= 0)
        return L"Reconnecting...";
    if (r <= 60)
        return text(r, L"second");
    if (r <= 3600)
        return text(r / 60, L"minute");
    return text(r / 3600, L"hour");
}
