#pragma once
#include <string>

#include "base/LogDevice.h"
#include "base/TCBaseApi.h"

// Appends each event's line, with headers, to one UTF-16LE text file. The
// file is opened without sharing for each event and closed again, so
// processes writing the same file take turns; when it cannot be opened (for
// example another process holds it) that event is skipped.
class TCBASE_API FileLogDevice : public LogDevice {
public:
    explicit FileLogDevice(const std::wstring& path = std::wstring()) : m_path(path) {}
    void Setup() override {}
    void Write(Event& event) override;
    void ShutDown() override {}

    const std::wstring& getPath() const { return m_path; }

    // Appends bytes to the file at path, creating it when missing and
    // refusing to share it while writing. False when it could not be opened.
    static bool appendExclusive(const std::wstring& path, const void* data, size_t size);

private:
    std::wstring m_path;
};
