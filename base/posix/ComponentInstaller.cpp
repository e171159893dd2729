#include "base/ComponentInstallerPlatform.h"

#include <cerrno>
#include <dlfcn.h>
#include <unistd.h>

#include "base/Tools.h"

namespace {

struct Library {
    void* handle;
    ~Library()
    {
        if (handle != nullptr)
            ::dlclose(handle);
    }
};

std::wstring lastLoaderError()
{
    const char* text = ::dlerror();
    return text != nullptr ? Tools::widenNarrowString(text) : std::wstring();
}

} // namespace

componentplatform::CallResult componentplatform::callExport(const std::wstring& path, const char* entry,
                                                            int32_t& result, std::wstring& reason)
{
    ::dlerror();
    Library library{::dlopen(Tools::narrowWideString(path).c_str(), RTLD_NOW | RTLD_LOCAL)};
    if (library.handle == nullptr) {
        reason = lastLoaderError();
        return CallResult::NotLoaded;
    }
    using Export = int32_t (*)();
    Export function = reinterpret_cast<Export>(::dlsym(library.handle, entry));
    if (function == nullptr) {
        reason = lastLoaderError();
        return CallResult::NoEntry;
    }
    result = function();
    return CallResult::Called;
}

bool componentplatform::setCurrentFolder(const std::wstring& folder)
{
    return !folder.empty() && ::chdir(Tools::narrowWideString(folder).c_str()) == 0;
}
