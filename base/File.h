#pragma once
#include <cstdint>
#include <string>

#include "base/ByteArray.h"

// Files and the system's folders. Only initTempPath throws.
class File {
public:
    static bool exists(const std::wstring& path);          // regular files only
    static bool directoryExists(const std::wstring& path);
    static bool isOfType(const std::wstring& path, const std::wstring& extension);
    // A new, unique, empty file in the system temporary folder.
    static bool createTempFileName(std::wstring& out, const std::wstring& prefix = L"obt");
    static void save(const std::wstring& path, const ByteArray& bytes);
    static bool load(const std::wstring& path, ByteArray& bytes, int maximum);
    static int64_t getLastModificationTime(const std::wstring& path);

    static const std::wstring& getTempPath();      // system temp + "\Ondrivex"
    static void initTempPath(bool emptyIt);
    static void emptyDirectory(const std::wstring& path); // deletes *.ico
    static const std::wstring& getUsersLocalDataPath(); // local app data + "\Ondrivex"
    static bool initUsersLocalDataPath();
    // Path separator of the platform ("\\" on Windows, "/" natively).
    static const wchar_t* const Separator;
};
