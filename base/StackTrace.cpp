#include "base/StackTrace.h"

#include "base/Registry.h"

int StackTrace::detailLevel()
{
    static const int level = [] {
        try {
            return Registry(Registry::LocalMachine).read(L"StackTraceInfoDepth", 0) == 2 ? 3 : 1;
        } catch (...) {
            return 1;
        }
    }();
    return level;
}
