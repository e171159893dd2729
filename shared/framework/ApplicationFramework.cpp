#include "shared/framework/ApplicationFramework.h"

#include <cstdio>

#include "shared/framework/FrameworkException.h"
#include "shared/framework/Timer.h"

std::wstring STARTUP_TRACE;

ApplicationFramework::ApplicationFramework()
{
    Timer::startUp();
}

ApplicationFramework::ApplicationFramework(const Clock& clock)
{
    Timer::startUp();
    Timer::driveBy(&clock);
}

ApplicationFramework::~ApplicationFramework()
{
    for (auto& service : m_services)
        service.reset();
    m_services.clear();
    for (auto& device : m_devices)
        device->requestTermination();
    for (auto& device : m_devices) {
        device->terminate(500);
        device.reset();
    }
    m_devices.clear();
    Timer::shutDown();
}

bool ApplicationFramework::setup()
{
    for (size_t i = 0; i < m_services.size(); ++i) {
        wchar_t entry[32];
        std::swprintf(entry, sizeof entry / sizeof entry[0], L"40%02d, ", static_cast<int>(i));
        STARTUP_TRACE += entry;
        if (!m_services[i]->setup())
            return false;
    }
    return true;
}

bool ApplicationFramework::pulse()
{
    Timer::process();

    bool happened = false;
    for (auto& service : m_services) {
        if (!service->hasTimerDelayElapsed())
            continue;
        happened = true;
        try {
            service->onTimer();
        } catch (...) {
            // Cleared on the way out as well: a failing onTimer would
            // otherwise run, and fail, again in every pulse.
            service->resetTimer();
            throw;
        }
        service->resetTimer();
    }

    std::unique_ptr<Msg> msg;
    for (auto& device : m_devices) {
        msg.reset(device->popMessage());
        if (msg)
            break;
    }
    if (!msg)
        return happened;

    bool handled = false;
    for (auto& service : m_services) {
        if (service->canProcessMsg(*msg)) {
            handled = true;
            service->processMsg(*msg);
        }
    }
    if (!handled) {
        FrameworkException e(1060001, L"No message handler for specified message: ",
                             TC_AT(L"ApplicationFramework::pulse"));
        e.addParameter(static_cast<int>(msg->getType()));
        throw e;
    }
    return true;
}

void ApplicationFramework::sendMessage(Msg* msg, CommunicationDevice::CommMechanism mechanism)
{
    // The caller has let go of the message; one that cannot be handed on is
    // destroyed here rather than lost.
    std::unique_ptr<Msg> owned(msg);
    if (!owned)
        throw Exception(1060006, L"NULL message was specified",
                        TC_AT(L"ApplicationFramework::sendMessage"));
    CommunicationDevice* device = getCommunicationDevice(mechanism);
    if (device == nullptr)
        throw FrameworkException(1060007,
                                 L"No communication device exists for that communication mechanism",
                                 TC_AT(L"ApplicationFramework::sendMessage"));
    if (!device->canSendMsgs())
        throw FrameworkException(1060008,
                                 L"No Communication Device exists to send messages of that type",
                                 TC_AT(L"ApplicationFramework::sendMessage"));
    device->pushMessage(owned.release());
}

void ApplicationFramework::addService(Service* service)
{
    std::unique_ptr<Service> owned(service);
    if (!owned)
        throw Exception(1060003, L"NULL Service was specified",
                        TC_AT(L"ApplicationFramework::addService"));
    owned->setApplicationFramework(this);
    m_services.push_back(std::move(owned));
}

void ApplicationFramework::addCommunicationDevice(CommunicationDevice* device)
{
    std::unique_ptr<CommunicationDevice> owned(device);
    if (!owned)
        throw Exception(1060004, L"NULL communications device was specified",
                        TC_AT(L"ApplicationFramework::addCommunicationDevice"));
    if (getCommunicationDevice(owned->getCommType()) != nullptr)
        throw FrameworkException(1060005, L"Tried to add a device type which already existed",
                                 TC_AT(L"ApplicationFramework::addCommunicationDevice"));
    m_devices.reserve(m_devices.size() + 1);
    owned->startThread(nullptr);
    m_devices.push_back(std::move(owned));
}

CommunicationDevice* ApplicationFramework::getCommunicationDevice(
    CommunicationDevice::CommMechanism mechanism) const
{
    for (const auto& device : m_devices) {
        if (device->getCommType() == mechanism)
            return device.get();
    }
    return nullptr;
}

void ApplicationFramework::traceMsg(Msg*) {}
