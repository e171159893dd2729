#include "shared/server/TavelinSessionDetails.h"

namespace {

const wchar_t* const StatusNames[] = {L"NotConnected",   L"ProxyWizardRunning", L"Connecting",
                                      L"Authenticating", L"Connected",          L"ConnectionError"};
const wchar_t* const ErrorNames[] = {L"NotSet",
                                     L"ResolveFailed",
                                     L"ConnectFailed",
                                     L"ConnectTimedOut",
                                     L"LogOnProcessFailed",
                                     L"AuthenticationFailed",
                                     L"SecureSessionFailed",
                                     L"ClientAppTooOld",
                                     L"AccountSuspended"};

template <size_t N>
std::wstring nameOf(const wchar_t* const (&names)[N], int value)
{
    if (value < 0 || static_cast<size_t>(value) >= N)
        return L"Unknown";
    return names[value];
}

} // namespace

TavelinSessionDetails::TavelinSessionDetails()
{
    reset();
}

TavelinSessionDetails::~TavelinSessionDetails() = default;

bool TavelinSessionDetails::isConnecting() const
{
    return m_status == ConnectionStatus::ProxyWizardRunning ||
           m_status == ConnectionStatus::Connecting || m_status == ConnectionStatus::Authenticating;
}

void TavelinSessionDetails::reset()
{
    m_userId = -1;
    m_machineId = -1;
    m_userName.clear();
    m_password.clear();
    m_passwordHash.release();
    m_sessionKey.release();
    m_autoEnroll = false;
    m_status = ConnectionStatus::NotConnected;
    m_error = ConnectionError::NotSet;
}

std::wstring TavelinSessionDetails::getConnectionStatusDescription(int status)
{
    return nameOf(StatusNames, status);
}

std::wstring TavelinSessionDetails::getConnectionErrorDescription(int error)
{
    return nameOf(ErrorNames, error);
}
