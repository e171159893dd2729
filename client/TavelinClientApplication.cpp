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

// The rows still to come. Each is switched on with its macro once its
// service is in the tree, with the constructor arguments of the table.
#ifdef ONDRIVEX_CLIENT_WITH_SYSTEM_CHANGE_SERVICE
#include "shared/monitoring/SystemChangeService.h"
#endif
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
#include "shared/server/HttpCommDevice.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerPingService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "shared/server/ServerStatusUpdateService.h"
#endif
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
#include "shared/monitoring/BackupActivityMonitorService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/UserStateChangeService.h"
#endif
#ifdef ONDRIVEX_CLIENT_WITH_ENROLLMENT
#include "shared/server/AutoEnrollService.h"
#endif
#ifdef ONDRIVEX_CLIENT_WITH_USER_UPDATES
#include "shared/server/ClientProfileUpdateService.h"
#include "shared/server/ServerUserUpdateService.h"
#endif

TavelinClientApplication::TavelinClientApplication()
{
    // 1: the log sink behind the log window.
    m_guiLog = new GUILogDevice;
    Logger::addCustomTraceDevice(m_guiLog);
    addRow(L"GUILogDevice");
    // 2 and 3: loop-back and the add-ins' channel.
    addCommunicationDevice(new InternalCommDevice);
    addRow(L"InternalCommDevice");
    addCommunicationDevice(new SharedMemCommDevice(L"ContextInfo", SharedMemCommDevice::Reader));
    addRow(L"SharedMemCommDevice");

    // 4: the System must exist before row 5.
#ifdef ONDRIVEX_CLIENT_WITH_SYSTEM_CHANGE_SERVICE
    SystemChangeService* systemChange = new SystemChangeService;
    addService(systemChange);
    m_system = &systemChange->getSystemInfo();
    addRow(L"SystemChangeService");
#else
    m_ownSystem.reset(new System);
    m_system = m_ownSystem.get();
#endif
    System& system = *m_system;

#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    // 5 to 7.
    HttpCommDevice* http = new HttpCommDevice(system);
    addCommunicationDevice(http);
    addRow(L"HttpCommDevice");
    addService(new ServerStatusUpdateService(system));
    addRow(L"ServerStatusUpdateService");
    addService(new ServerResponseHandlerService(system));
    addRow(L"ServerResponseHandlerService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    // 8 and 9.
    addService(new PCLockedMonitorService);
    addRow(L"PCLockedMonitorService");
    addService(new IdleUserMonitorService(system));
    addRow(L"IdleUserMonitorService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    // 10.
    m_logon = new ServerLogonService(system, *http);
    addService(m_logon);
    addRow(L"ServerLogonService");
#endif
    // 11 and 12.
    addService(new GenericAppChangeService(system));
    addRow(L"GenericAppChangeService");
    m_guiStatus = new GUIStatusUpdateService(system);
    addService(m_guiStatus);
    addRow(L"GUIStatusUpdateService");
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    // 13.
    addService(new BackupActivityMonitorService(system));
    addRow(L"BackupActivityMonitorService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    // 14.
    m_connectionManager = new ServerConnectionManagerService(system, *m_logon);
    addService(m_connectionManager);
    addRow(L"ServerConnectionManagerService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_ENROLLMENT
    // 15.
    addService(new AutoEnrollService(system, *m_logon));
    addRow(L"AutoEnrollService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    // 16.
    addService(new ServerPingService(system));
    addRow(L"ServerPingService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_USER_UPDATES
    // 17 and 18.
    addService(new ServerUserUpdateService(system));
    addRow(L"ServerUserUpdateService");
    addService(new ClientProfileUpdateService(system));
    addRow(L"ClientProfileUpdateService");
#endif
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    // 19.
    m_userState = new UserStateChangeService(system);
    addService(m_userState);
    addRow(L"UserStateChangeService");
#endif
}

TavelinClientApplication::~TavelinClientApplication()
{
    Logger::shutDown();
    m_guiLog = nullptr;
}

std::wstring TavelinClientApplication::getReportsURL()
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    return m_logon->getReportsURL();
#else
    return std::wstring();
#endif
}

std::wstring TavelinClientApplication::getMOTD()
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    return m_logon->getMOTD();
#else
    return std::wstring();
#endif
}

std::wstring TavelinClientApplication::getCurrentClientVersionURL()
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    return m_logon->getCurrentClientVersionURL();
#else
    return std::wstring();
#endif
}

std::wstring TavelinClientApplication::getCurrentClientVersion()
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    return m_logon->getCurrentClientVersion();
#else
    return std::wstring();
#endif
}

void TavelinClientApplication::logOn(const std::wstring& userName, const std::wstring& password)
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    m_logon->logOn(userName.c_str(), password.c_str());
#else
    (void)userName;
    (void)password;
#endif
}

std::wstring TavelinClientApplication::getNextReconnectionTime()
{
#ifdef ONDRIVEX_CLIENT_WITH_SERVER_SERVICES
    return m_connectionManager->getNextReconnectionTime();
#else
    return std::wstring();
#endif
}

void TavelinClientApplication::atMeeting(const std::wstring& subject, int seconds)
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->atMeeting(subject, seconds);
#else
    (void)subject;
    (void)seconds;
#endif
}

void TavelinClientApplication::stopMeeting()
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->stopMeeting();
#endif
}

void TavelinClientApplication::onPhoneCall(const std::wstring& subject)
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->onPhoneCall(subject);
#else
    (void)subject;
#endif
}

void TavelinClientApplication::stopPhoneCall()
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->stopPhoneCall();
#endif
}

void TavelinClientApplication::enablePrivacy(int seconds)
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->enablePrivacy(seconds);
#else
    (void)seconds;
#endif
}

void TavelinClientApplication::stopPrivacy()
{
#ifdef ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS
    m_userState->stopPrivacy();
#endif
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
