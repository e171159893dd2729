#pragma once
// The operating-system side of File.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fileplatform {

// Whether c separates path components ("\" and "/" on Windows, "/" natively).
bool isSeparator(wchar_t c);
// Whether paths may begin with a drive ("C:").
bool hasDrives();

enum class FolderResult { Ok, TooLong, Failed };

// The system's temporary folder as the platform gives it.
FolderResult systemTempFolder(std::wstring& folder);
// The user's local application-data folder, created when missing.
bool localDataFolder(std::wstring& folder);
// Strips what a folder path may end with, keeping what makes it absolute.
std::wstring cleanFolder(const std::wstring& folder);
// Creates one folder; true when it exists afterwards (the system error is
// left set otherwise).
bool makeFolder(const std::wstring& path);
// Deletes the files in folder whose names end in "." + extension (any case).
// True when nothing was left to delete or every deletion worked.
bool deleteFilesOfType(const std::wstring& folder, const std::wstring& extension);

// An open file, closed (keeping the system error) when the object goes.
class OpenFile {
public:
    // Read opens an existing file, sharing it with readers; Write creates or
    // empties the file and holds it unshared.
    enum Mode { Read, Write };
    OpenFile(const std::wstring& path, Mode mode);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const;
    // The size of the file; false when it cannot be had or (natively) the
    // path is no regular file.
    bool size(int64_t& bytes) const;
    // Reads at most n bytes: the number read, 0 at the end, -1 on failure.
    int64_t read(uint8_t* data, size_t n);
    // Writes at most n bytes: the number written, 0 or -1 on failure.
    int64_t write(const uint8_t* data, size_t n);

private:
    intptr_t m_handle = -1; // the descriptor or HANDLE; -1 when none
};

} // namespace fileplatform
