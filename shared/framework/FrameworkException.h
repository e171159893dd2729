#pragma once
#include <string>

#include "base/Exception.h"
#include "shared/TCShrdApi.h"

// A failure of the application framework (ids 10600xx and 1061101).
class TCSHRD_API FrameworkException : public Exception {
public:
    enum { FrameworkKind = 4 };

    FrameworkException(int id, const std::wstring& description, const wchar_t* file, int line,
                       const wchar_t* function);
    ~FrameworkException() override;
};
