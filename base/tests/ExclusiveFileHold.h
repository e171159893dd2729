#pragma once
// Holds a file open for writing without sharing, as another process writing
// the same log would.
#include <cstdint>
#include <string>

namespace testsupport {

class ExclusiveFileHold {
public:
    explicit ExclusiveFileHold(const std::wstring& path);
    ~ExclusiveFileHold();
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;
    bool held() const { return m_held; }

private:
    bool m_held = false;
    intptr_t m_handle = -1;
};

} // namespace testsupport
