#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/SourceLocation.h"

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

private:
    // What installing and uninstalling differ in: the export and the events.
    struct Direction;
    static const Direction Install;
    static const Direction Uninstall;
    static bool runComponent(const Direction& d, const std::wstring& path);
    static void traceFailure(uint32_t id, const wchar_t* text, const std::wstring& path,
                             const std::wstring& reason, const SourceLocation& at);

    // Operating-system half, in win32/ComponentInstaller.cpp and
    // posix/ComponentInstaller.cpp.
    enum class CallResult { NotLoaded, NoEntry, Called };
    // Loads the library, calls the parameterless export entry (an HRESULT
    // function) and releases the library again. On NotLoaded and NoEntry the
    // system error is left set and reason may say more; on Called, result is
    // what the export returned (and, when negative, also the system error).
    static CallResult callExport(const std::wstring& path, const char* entry, int32_t& result,
                                 std::wstring& reason);
    static bool setCurrentFolder(const std::wstring& folder);
};
