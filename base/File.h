#pragma once
#include <cstdint>
#include <string>

#include "base/ByteArray.h"
#include "base/TCBaseApi.h"

// Files and the system's folders. Only initTempPath throws. The folder
// strings are computed on first use and kept for the life of the process.
class TCBASE_API File {
public:
    // Both false for an empty path.
    static bool exists(const std::wstring& path); // regular files only
    static bool directoryExists(const std::wstring& path);
    // The path's extension (after the last dot of its last component),
    // compared case-insensitively with extension given without its dot.
    static bool isOfType(const std::wstring& path, const std::wstring& extension);
    // A new, unique, empty file in the system temporary folder; its full
    // path in out. False, with out unchanged, when none could be made.
    static bool createTempFileName(std::wstring& out, const std::wstring& prefix = L"obt");
    // Creates or truncates the file and writes all bytes; errors are ignored.
    static void save(const std::wstring& path, const ByteArray& bytes);
    // Clears bytes, then reads the file, at most maximum bytes of it (a
    // larger file is traced 1060407 and cut). False when the file cannot be
    // opened, sized or read; bytes are empty then.
    static bool load(const std::wstring& path, ByteArray& bytes, int maximum);
    // Seconds since 1970-01-01 UTC, 0 when unknown.
    static int64_t getLastModificationTime(const std::wstring& path);

    // The system temporary folder + Separator + "Ondrivex"; empty (traced
    // 1060401 or 1060402) when the system folder cannot be had.
    static const std::wstring& getTempPath();
    // Creates the temporary folder when missing (throws SystemException
    // 1060403 when it cannot) and, when emptyIt, empties it.
    static void initTempPath(bool emptyIt);
    // Deletes every "*.ico" file in the folder; a failure is traced 1060404.
    static void emptyDirectory(const std::wstring& path);
    // The user's local application-data folder + Separator + "Ondrivex"; the
    // temporary folder when that cannot be had (traced 1060405).
    static const std::wstring& getUsersLocalDataPath();
    // Creates that folder when missing. False (traced 1060406) when it does
    // not exist afterwards.
    static bool initUsersLocalDataPath();
    // Path separator of the platform ("\\" on Windows, "/" natively).
    static const wchar_t* const Separator;
};
