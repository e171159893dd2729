#include "base/LastErrorKeeper.h"

#include <cerrno>

LastErrorKeeper::LastErrorKeeper() : m_code(read()) {}

LastErrorKeeper::~LastErrorKeeper()
{
    write(m_code);
}

unsigned long LastErrorKeeper::read()
{
    return static_cast<unsigned long>(errno);
}

void LastErrorKeeper::write(unsigned long code)
{
    errno = static_cast<int>(code);
}
