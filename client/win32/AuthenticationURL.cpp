#include "client/AuthenticationURL.h"

#include "base/win32/WindowsSupport.h"

void AuthenticationURL::localDate(int& year, int& month, int& day)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    year = now.wYear;
    month = now.wMonth;
    day = now.wDay;
}
