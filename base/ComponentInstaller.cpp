#include "base/ComponentInstaller.h"

#include <cstdio>

#include "base/Event.h"
#include "base/FileName.h"
#include "base/Logger.h"
#include "base/Registry.h"

struct ComponentInstaller::Direction {
    const char* entry;
    const wchar_t* function;
    uint32_t loadFailed;
    const wchar_t* loadFailedText;
    uint32_t noEntry;
    const wchar_t* noEntryText;
    uint32_t callFailed;
    const wchar_t* callFailedText;
    uint32_t succeeded;
    const wchar_t* succeededText;
};

const ComponentInstaller::Direction ComponentInstaller::Install = {
    "DllRegisterServer",
    L"ComponentInstaller::installComponent",
    1051301,
    L"Failed to load DLL",
    1051302,
    L"Failed to locate DllRegisterServer",
    1051303,
    L"Failed to register DLL",
    1051304,
    L"Dll Registration Successful"};

const ComponentInstaller::Direction ComponentInstaller::Uninstall = {
    "DllUnregisterServer",
    L"ComponentInstaller::uninstallComponent",
    1051305,
    L"Failed to load DLL",
    1051306,
    L"Failed to locate DllUnregisterServer",
    1051307,
    L"Failed to unregister DLL",
    1051308,
    L"Dll Unregistration Successful"};

// Traced at the caller's place, which tells which step failed.
void ComponentInstaller::traceFailure(uint32_t id, const wchar_t* text, const std::wstring& path,
                                      const std::wstring& reason, const SourceLocation& at)
{
    Event e(id, text, Event::Error, at);
    e.addDetails(L"DLL name", path);
    e.addSystemErrorInfo();
    if (!reason.empty())
        e.addDetails(L"Reason", reason);
    Logger::Trace(e);
}

bool ComponentInstaller::runComponent(const Direction& d, const std::wstring& path)
{
    // Libraries find their own dependencies beside them.
    setCurrentFolder(FileName(path).getDriveAndFolder());
    int32_t result = 0;
    std::wstring reason;
    switch (callExport(path, d.entry, result, reason)) {
    case CallResult::NotLoaded:
        traceFailure(d.loadFailed, d.loadFailedText, path, reason, TC_HERE(d.function));
        return false;
    case CallResult::NoEntry:
        traceFailure(d.noEntry, d.noEntryText, path, reason, TC_HERE(d.function));
        return false;
    case CallResult::Called:
        break;
    }
    if (result < 0) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(result));
        traceFailure(d.callFailed, d.callFailedText, path, code, TC_HERE(d.function));
        return false;
    }
    Event e(d.succeeded, d.succeededText, Event::Info, TC_HERE(d.function));
    e.addDetails(L"DLL name", path);
    Logger::Trace(e);
    return true;
}

std::wstring ComponentInstaller::getInstallFolder()
{
    return Registry(Registry::LocalMachine, Registry::SoftwareKey)
        .read(L"InstallDir", L"C:\\Program Files\\Ondrivex\\");
}

std::vector<std::wstring> ComponentInstaller::getComponentList(const std::wstring& folder)
{
    static const wchar_t* const names[] = {L"TPIInternetExplorer", L"TPIOffice", L"TPIOutlook",
                                           L"TavelInstaller"};
    std::vector<std::wstring> list;
    for (const wchar_t* name : names)
        list.push_back(FileName(folder, name, L"dll").getFullPath());
    return list;
}

void ComponentInstaller::installComponents()
{
    installComponents(getInstallFolder());
}

void ComponentInstaller::uninstallComponents()
{
    uninstallComponents(getInstallFolder());
}

void ComponentInstaller::installComponents(const std::wstring& folder)
{
    for (const std::wstring& path : getComponentList(folder))
        installComponent(path);
}

void ComponentInstaller::uninstallComponents(const std::wstring& folder)
{
    for (const std::wstring& path : getComponentList(folder))
        uninstallComponent(path);
}

bool ComponentInstaller::installComponent(const std::wstring& path)
{
    return runComponent(Install, path);
}

bool ComponentInstaller::uninstallComponent(const std::wstring& path)
{
    return runComponent(Uninstall, path);
}
