#include "base/StackTrace.h"

#include "base/MachineSwitches.h"

int StackTrace::detailLevel()
{
    static const int level = MachineSwitches::stackTraceInfoDepth() == 2 ? 3 : 1;
    return level;
}
