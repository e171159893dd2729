#include "base/StackTrace.h"

#include <cstdio>

#include "base/win32/WindowsSupport.h"

namespace {

std::wstring describeFrame(void* address, bool detailed)
{
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = L"?";
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        GetModuleFileNameW(module, path, MAX_PATH) == 0) {
        path[0] = L'?';
        path[1] = 0;
    }
    const wchar_t* name = path;
    if (!detailed) {
        for (const wchar_t* p = path; *p; ++p) {
            if (*p == L'\\' || *p == L'/')
                name = p + 1;
        }
    }
    wchar_t offset[32];
    std::swprintf(offset, 32, L"+0x%lx",
                  static_cast<unsigned long>(reinterpret_cast<const char*>(address) -
                                             reinterpret_cast<const char*>(module)));
    return std::wstring(name) + offset;
}

} // namespace

std::wstring StackTrace::capture(_EXCEPTION_POINTERS* pointers)
{
    try {
        const bool detailed = detailLevel() >= 3;
        const DWORD limit = detailed ? 62 : 16;
        void* frames[62];
        std::wstring text;
        if (pointers != nullptr && pointers->ExceptionRecord != nullptr)
            text = describeFrame(pointers->ExceptionRecord->ExceptionAddress, detailed);
        // Skip this function and the constructor that called it.
        const USHORT count = RtlCaptureStackBackTrace(2, limit, frames, nullptr);
        for (USHORT i = 0; i < count; ++i) {
            if (!text.empty())
                text += L" <- ";
            text += describeFrame(frames[i], detailed);
        }
        return text;
    } catch (...) {
        return std::wstring();
    }
}
