#include "base/ComponentInstaller.h"

#include <cerrno>
#include <dlfcn.h>
#include <unistd.h>

#include "base/ScopedGeneric.h"
#include "base/Tools.h"

namespace {

struct LibraryTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { ::dlclose(h); }
};
using ScopedLibrary = ScopedGeneric<LibraryTraits>;

std::wstring lastLoaderError()
{
    const char* text = ::dlerror();
    return text != nullptr ? Tools::widenNarrowString(text) : std::wstring();
}

} // namespace

ComponentInstaller::CallResult ComponentInstaller::callExport(const std::wstring& path,
                                                              const char* entry, int32_t& result,
                                                              std::wstring& reason)
{
    ::dlerror();
    const ScopedLibrary library(
        ::dlopen(Tools::narrowWideString(path).c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library) {
        reason = lastLoaderError();
        return CallResult::NotLoaded;
    }
    using Export = int32_t (*)();
    Export function = reinterpret_cast<Export>(::dlsym(library.get(), entry));
    if (function == nullptr) {
        reason = lastLoaderError();
        return CallResult::NoEntry;
    }
    result = function();
    return CallResult::Called;
}

bool ComponentInstaller::setCurrentFolder(const std::wstring& folder)
{
    return !folder.empty() && ::chdir(Tools::narrowWideString(folder).c_str()) == 0;
}
