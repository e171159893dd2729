#include "base/StackTrace.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstdio>

std::wstring StackTrace::capture(_EXCEPTION_POINTERS*)
{
    try {
        const bool detailed = detailLevel() >= 3;
        void* frames[62];
        const int count = backtrace(frames, detailed ? 62 : 16);
        std::wstring text;
        for (int i = 2; i < count; ++i) {
            Dl_info info{};
            const char* module = "?";
            const char* base = nullptr;
            if (dladdr(frames[i], &info) != 0 && info.dli_fname != nullptr) {
                module = info.dli_fname;
                base = static_cast<const char*>(info.dli_fbase);
            }
            if (!detailed) {
                for (const char* p = module; *p; ++p) {
                    if (*p == '/')
                        module = p + 1;
                }
            }
            char line[512];
            std::snprintf(line, sizeof line, "%s+0x%lx", module,
                          static_cast<unsigned long>(static_cast<const char*>(frames[i]) - base));
            if (!text.empty())
                text += L" <- ";
            for (const char* p = line; *p; ++p)
                text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        }
        return text;
    } catch (...) {
        return std::wstring();
    }
}
