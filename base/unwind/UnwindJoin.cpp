#include "base/unwind/UnwindJoin.h"

#include <cstdlib>

#if defined(__i386__)

namespace {

// The unwinder's private 'struct object' is a handful of pointers; this is
// comfortably larger than any version of it.
constexpr size_t kObjectSize = 256;
constexpr int kMaxModules = 128;

struct JoinedModule {
    const void* begin;
    TcRegisterFrameFn reg;
    TcDeregisterFrameFn dereg;
};

// Module start-up and unload run under the loader lock, which serialises
// every call that reaches this table.
JoinedModule g_modules[kMaxModules];
int g_count = 0;

void* newObject()
{
    return std::calloc(1, kObjectSize);
}

} // namespace

extern "C" void tcUnwindJoin(const void* begin, TcRegisterFrameFn reg, TcDeregisterFrameFn dereg)
{
    if (begin == nullptr || reg == nullptr || g_count >= kMaxModules)
        return;
    for (int i = 0; i < g_count; ++i) {
        if (g_modules[i].begin == begin)
            return;
    }
    for (int i = 0; i < g_count; ++i) {
        g_modules[i].reg(begin, newObject());
        reg(g_modules[i].begin, newObject());
    }
    g_modules[g_count++] = JoinedModule{begin, reg, dereg};
}

extern "C" void tcUnwindLeave(const void* begin)
{
    int leaving = -1;
    for (int i = 0; i < g_count; ++i) {
        if (g_modules[i].begin == begin)
            leaving = i;
    }
    if (leaving < 0)
        return;
    const JoinedModule gone = g_modules[leaving];
    g_modules[leaving] = g_modules[--g_count];
    for (int i = 0; i < g_count; ++i) {
        std::free(g_modules[i].dereg(gone.begin));
        std::free(gone.dereg(g_modules[i].begin));
    }
}

#endif
