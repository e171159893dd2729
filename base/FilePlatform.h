#pragma once
// The operating-system side of File.
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

// Traces 1060407 for a file that load cuts short.
void traceTooLarge(const std::wstring& path);

} // namespace fileplatform
