#include "base/Mutex.h"

void Mutex::lock()
{
    wait(0, false);
}

bool Mutex::tryLock(unsigned long timeoutMs)
{
    return wait(timeoutMs, true);
}
