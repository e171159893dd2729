#include "client/AuthenticationURL.h"

#include <ctime>

void AuthenticationURL::localDate(int& year, int& month, int& day)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    year = local.tm_year + 1900;
    month = local.tm_mon + 1;
    day = local.tm_mday;
}
