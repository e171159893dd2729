#include "shared/monitoring/GenericAppChangeService.h"

#include <cstdint>
#include <memory>

#include "base/Tools.h"
#include "shared/monitoring/System.h"

GenericAppChangeService::GenericAppChangeService(System& system) : m_system(system) {}

GenericAppChangeService::GenericAppChangeService(System& system, const std::wstring& rulesFile)
    : m_system(system), m_titleRules(rulesFile)
{}

GenericAppChangeService::~GenericAppChangeService() = default;

bool GenericAppChangeService::setup()
{
    setTimer(1000, Timer::Repeating);
    return true;
}

bool GenericAppChangeService::canProcessMsg(Msg&)
{
    return false;
}

bool GenericAppChangeService::processMsg(Msg&)
{
    return true;
}

int GenericAppChangeService::handleToInt(native::Window window)
{
    return static_cast<int>(static_cast<int32_t>(reinterpret_cast<intptr_t>(window)));
}

native::Window GenericAppChangeService::intToHandle(int value)
{
    return reinterpret_cast<native::Window>(static_cast<intptr_t>(value));
}

GenericAppChangeService::Report GenericAppChangeService::describe(
    const TitlebarTextExtractor& titleRules, const OLETextExtractor& automation,
    const IntelligentTitlebarTextExtractor& titleSplit, const TopLevelWindow* window,
    const std::wstring& exeKey, const std::wstring& fileDescription, const std::wstring& title)
{
    Report report;
    bool filled = false;
    if (automation.canProcess(window)) {
        report.quality = L"SecondClass";
        filled = automation.process(window, report.string1, report.string2, report.string3);
    }
    if (filled)
        return report;
    if (titleRules.canProcess(exeKey)) {
        report.quality = L"SecondClass";
        if (!titleRules.process(exeKey, title, report.string1, report.string2, report.string3)) {
            report.string2 = title;
            report.quality = L"FourthClass";
        }
    } else if (titleSplit.canProcess(title)) {
        report.quality = L"ThirdClass";
        if (!titleSplit.process(title, fileDescription, report.string2)) {
            report.string2 = title;
            report.quality = L"FourthClass";
        }
    } else {
        report.quality = L"FourthClass";
        report.string2 = title;
    }
    return report;
}

Msg* GenericAppChangeService::buildPluginInfo(native::Window window, const Report& report)
{
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"HWND", handleToInt(window));
    msg->setAttributeValue(L"ContextString1", report.string1);
    msg->setAttributeValue(L"ContextString2", report.string2);
    msg->setAttributeValue(L"ContextString3", report.string3);
    msg->setAttributeValue(L"PluginInfoQuality", report.quality);
    return msg.release();
}

void GenericAppChangeService::onTimer()
{
    const TopLevelWindow* window = m_system.getActiveWindow();
    if (window == nullptr)
        return;
    const Application* application = m_system.getActiveApplication();
    if (application == nullptr)
        return;
    const native::Window handle = window->getHWND();
    if (handle == nullptr)
        return;
    std::wstring exeKey = application->getVersionInfo().getOriginalFilename();
    Tools::stringToUpper(exeKey);
    const std::wstring fileDescription = application->getVersionInfo().getFileDescription();
    const std::wstring title = window->getTitleBarText();
    const Report report =
        describe(m_titleRules, m_automation, m_titleSplit, window, exeKey, fileDescription, title);
    sendMessage(buildPluginInfo(handle, report), CommunicationDevice::Internal);
}
