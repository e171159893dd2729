#pragma once
#include <string>

#include "base/Exception.h"
#include "shared/TCShrdApi.h"

// A failure of the system model (ids 10619xx and 10622xx): a record that an
// operation needs does not exist, or an application file cannot be used.
class TCSHRD_API MonitoringException : public Exception {
public:
    enum { MonitoringKind = 3 };

    MonitoringException(int id, const std::wstring& description, const wchar_t* file, int line,
                        const wchar_t* function);
    ~MonitoringException() override;
};
