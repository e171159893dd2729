#include "base/LastErrorKeeper.h"

#include "base/win32/WindowsSupport.h"

LastErrorKeeper::LastErrorKeeper() : m_code(read()) {}

LastErrorKeeper::~LastErrorKeeper()
{
    write(m_code);
}

unsigned long LastErrorKeeper::read()
{
    return GetLastError();
}

void LastErrorKeeper::write(unsigned long code)
{
    SetLastError(code);
}
