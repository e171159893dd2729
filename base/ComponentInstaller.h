#pragma once
#include <string>
#include <vector>

#include "base/TCBaseApi.h"

// Registers and unregisters the add-in libraries by calling their own
// DllRegisterServer / DllUnregisterServer. Each outcome is traced (1051301
// to 1051308); a failing component does not stop the others.
class TCBASE_API ComponentInstaller {
public:
    // The folder is the string "InstallDir" under HKEY_LOCAL_MACHINE
    // "Software\Ondrivex" (default "C:\Program Files\Ondrivex\").
    static void installComponents();
    static void uninstallComponents();
    // The same for the components in the given folder.
    static void installComponents(const std::wstring& folder);
    static void uninstallComponents(const std::wstring& folder);

    static std::wstring getInstallFolder();
    // TPIInternetExplorer, TPIOffice, TPIOutlook and TavelInstaller, each
    // with the extension "dll", in folder, in that order.
    static std::vector<std::wstring> getComponentList(const std::wstring& folder);

    // Makes the library's folder the current directory, loads it and calls
    // its registration export; true when that returned a non-negative result.
    static bool installComponent(const std::wstring& path);
    static bool uninstallComponent(const std::wstring& path);
};
