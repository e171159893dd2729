#include "client/TavelinClientApplication.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/SharedMemCommDevice.h"
#include "client/GUILogDevice.h"
#include "client/GUIStatusUpdateService.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/System.h"

#include "base/Registry.h"
#include "shared/monitoring/BackupActivityMonitorService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/SystemChangeService.h"
#include "shared/monitoring/UserStateChangeService.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/ClientProfileUpdateService.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerPingService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "shared/server/ServerStatusUpdateService.h"
#include "shared/server/ServerUserUpdateService.h"

namespace {

const std::wstring& orDefault(const std::wstring& value, const std::wstring& fallback)
{
    return value.empty() ? fallback : value;
}

const Clock& clockOf(const TavelinClientApplication::Environment& environment)
{
    return environment.clock != nullptr ? *environment.clock : Clock::system();
}

} // namespace

TavelinClientApplication::TavelinClientApplication()
    : TavelinClientApplication(Environment())
{}

TavelinClientApplication::TavelinClientApplication(const Environment& environment)
    : ApplicationFramework(clockOf(environment))
{
    const Clock& clock = clockOf(environment);
    Desktop& desktop = environment.desktop != nullptr ? *environment.desktop : Desktop::system();
    static const std::wstring machineKeyDefault = L"Software\\Ondrivex";

    // 1: the log sink behind the log window.
    m_guiLog = new GUILogDevice;
    Logger::addCustomTraceDevice(m_guiLog);
    addRow(L"GUILogDevice");
    // 2 and 3: loop-back and the add-ins' channel.
    addCommunicationDevice(new InternalCommDevice);
    addRow(L"InternalCommDevice");
    addCommunicationDevice(
        new SharedMemCommDevice(environment.sharedMemoryName, SharedMemCommDevice::Reader));
    addRow(L"SharedMemCommDevice");

    // 4: the System every service shares; it must exist before row 5.
    SystemChangeService* systemChange = new SystemChangeService(desktop, clock);
    addService(systemChange);
    m_system = &systemChange->getSystemInfo();
    addRow(L"SystemChangeService");
    System& system = *m_system;

    // 5 to 7.
    HttpCommDevice* http = new HttpCommDevice(
        system, clock, orDefault(environment.queueFileName, HttpCommDevice::QueueFileName));
    addCommunicationDevice(http);
    addRow(L"HttpCommDevice");
    addService(new ServerStatusUpdateService(system));
    addRow(L"ServerStatusUpdateService");
    addService(new ServerResponseHandlerService(system));
    addRow(L"ServerResponseHandlerService");
    // 8 and 9.
    addService(new PCLockedMonitorService(desktop));
    addRow(L"PCLockedMonitorService");
    addService(new IdleUserMonitorService(system));
    addRow(L"IdleUserMonitorService");
    // 10.
    m_logon = new ServerLogonService(
        system, *http, orDefault(environment.serversKey, ServerLogonService::ServersKey));
    addService(m_logon);
    addRow(L"ServerLogonService");
    // 11 and 12.
    addService(new GenericAppChangeService(system));
    addRow(L"GenericAppChangeService");
    m_guiStatus = new GUIStatusUpdateService(system);
    addService(m_guiStatus);
    addRow(L"GUIStatusUpdateService");
    // 13.
    addService(new BackupActivityMonitorService(system));
    addRow(L"BackupActivityMonitorService");
    // 14.
    m_connectionManager = new ServerConnectionManagerService(
        system, *m_logon, clock, orDefault(environment.userKey, Registry::SoftwareKey),
        orDefault(environment.olderUserKey, ServerConnectionManagerService::OlderKey));
    addService(m_connectionManager);
    addRow(L"ServerConnectionManagerService");
    // 15.
    addService(new AutoEnrollService(system, *m_logon, clock,
                                     orDefault(environment.machineKey, machineKeyDefault)));
    addRow(L"AutoEnrollService");
    // 16.
    addService(new ServerPingService(system));
    addRow(L"ServerPingService");
    // 17 and 18.
    addService(new ServerUserUpdateService(system));
    addRow(L"ServerUserUpdateService");
    addService(new ClientProfileUpdateService(system));
    addRow(L"ClientProfileUpdateService");
    // 19.
    m_userState = new UserStateChangeService(system);
    addService(m_userState);
    addRow(L"UserStateChangeService");
}

TavelinClientApplication::~TavelinClientApplication()
{
    Logger::shutDown();
    m_guiLog = nullptr;
}

std::wstring TavelinClientApplication::getReportsURL()
{
    return m_logon->getReportsURL();
}

std::wstring TavelinClientApplication::getMOTD()
{
    return m_logon->getMOTD();
}

std::wstring TavelinClientApplication::getCurrentClientVersionURL()
{
    return m_logon->getCurrentClientVersionURL();
}

std::wstring TavelinClientApplication::getCurrentClientVersion()
{
    return m_logon->getCurrentClientVersion();
}

void TavelinClientApplication::logOn(const std::wstring& userName, const std::wstring& password)
{
    m_logon->logOn(userName.c_str(), password.c_str());
}

std::wstring TavelinClientApplication::getNextReconnectionTime()
{
    return m_connectionManager->getNextReconnectionTime();
}

void TavelinClientApplication::atMeeting(const std::wstring& subject, int seconds)
{
    m_userState->atMeeting(subject.c_str(), seconds);
}

void TavelinClientApplication::stopMeeting()
{
    m_userState->stopMeeting();
}

void TavelinClientApplication::onPhoneCall(const std::wstring& subject)
{
    m_userState->onPhoneCall(subject.c_str());
}

void TavelinClientApplication::stopPhoneCall()
{
    m_userState->stopPhoneCall();
}

void TavelinClientApplication::enablePrivacy(int seconds)
{
    m_userState->enablePrivacy(seconds);
}

void TavelinClientApplication::stopPrivacy()
{
    m_userState->stopPrivacy();
}

void TavelinClientApplication::setStatusWindow(native::Window window)
{
    m_guiStatus->setStatusWindow(window);
}

bool TavelinClientApplication::getNextLogLine(std::wstring& line)
{
    return m_guiLog != nullptr && m_guiLog->getNextLogLine(line);
}

void TavelinClientApplication::doWork()
{
    try {
        while (pulse()) {
        }
    } catch (const Exception& e) {
        Event event(1190001, &e, L"Unexpected Exception in main loop",
                    TC_AT(L"CTavelinApp::DoWork"));
        Logger::Log(event);
    }
}
