#include "base/ComponentInstaller.h"

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

ComponentInstaller::CallResult ComponentInstaller::callExport(const std::wstring& path,
                                                              const char* entry, int32_t& result,
                                                              std::wstring& reason)
{
    ScopedModule library(LoadLibraryW(path.c_str()));
    if (!library)
        return CallResult::NotLoaded;
    typedef HRESULT(STDAPICALLTYPE * Export)();
    Export function = reinterpret_cast<Export>(GetProcAddress(library.get(), entry));
    if (function == nullptr)
        return CallResult::NoEntry;
    const HRESULT hr = function();
    result = static_cast<int32_t>(hr);
    // The library is released before the caller reports, so the result is
    // kept as the last error for the report.
    library.reset();
    if (FAILED(hr))
        SetLastError(static_cast<DWORD>(hr));
    return CallResult::Called;
}

bool ComponentInstaller::setCurrentFolder(const std::wstring& folder)
{
    return !folder.empty() && SetCurrentDirectoryW(folder.c_str()) != 0;
}
