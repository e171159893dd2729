#pragma once
#include <string>
#include "base/TCBaseApi.h"

// The calling thread's last system error (GetLastError on Windows, errno
// natively) and the system's text for an error code. The lowest unit of
// base/: errors, platform wrappers and the logger all build on it.
namespace SystemError {

TCBASE_API unsigned long last();
TCBASE_API void set(unsigned long code);
// The system's text for the code, cut at its first line end; empty when the
// system has none.
TCBASE_API std::wstring text(unsigned long code);

// Puts the last error back as it was when the object was made, for code
// that must not disturb it (an exception being built at a throw site that
// still has to read the error of the call that failed).
class Keep {
public:
    Keep() : m_code(last()) {}
    explicit Keep(unsigned long code) : m_code(code) {}
    ~Keep() { set(m_code); }
    Keep(const Keep&) = delete;
    Keep& operator=(const Keep&) = delete;
    unsigned long code() const { return m_code; }

private:
    unsigned long m_code;
};

} // namespace SystemError
