#pragma once
#include <cstdint>
#include <string>

#include "base/ByteArray.h"
#include "base/NativeHandle.h"
#include "base/ScopedGeneric.h"
#include "base/TCBaseApi.h"

// Files and the system's folders. Only initTempPath throws. The folder
// strings are computed on first use and kept for the life of the process;
// any thread may ask for them, and the references stay valid.
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

private:
    // FileName reads paths with the platform's separators and drives.
    friend class FileName;

    // Operating-system half, in win32/File.cpp and posix/File.cpp.

    // Whether c separates path components ("\" and "/" on Windows, "/" natively).
    static bool isSeparator(wchar_t c);
    // Whether paths may begin with a drive ("C:").
    static bool hasDrives();

    enum class FolderResult { Ok, TooLong, Failed };
    // The system's temporary folder as the platform gives it.
    static FolderResult systemTempFolder(std::wstring& folder);
    // The user's local application-data folder, created when missing.
    static bool localDataFolder(std::wstring& folder);
    // Strips what a folder path may end with, keeping what makes it absolute.
    static std::wstring cleanFolder(const std::wstring& folder);
    // Creates one folder; true when it exists afterwards (the system error is
    // left set otherwise).
    static bool makeFolder(const std::wstring& path);
    // Deletes the files in folder whose names end in "." + extension (any
    // case). True when nothing was left to delete or every deletion worked.
    static bool deleteFilesOfType(const std::wstring& folder, const std::wstring& extension);

    // An open file, closed (keeping the system error) when the object goes.
    class OpenFile {
    public:
        // Read opens an existing file, sharing it with readers; Write creates
        // or empties the file and holds it unshared.
        enum Mode { Read, Write };
        OpenFile(const std::wstring& path, Mode mode);

        bool isOpen() const { return m_handle.valid(); }
        // The size of the file; false when it cannot be had or (natively) the
        // path is no regular file.
        bool size(int64_t& bytes) const;
        // Reads at most n bytes: the number read, 0 at the end, -1 on failure.
        int64_t read(uint8_t* data, size_t n);
        // Writes at most n bytes: the number written, 0 or -1 on failure.
        int64_t write(const uint8_t* data, size_t n);

    private:
        // A HANDLE on Windows, a descriptor natively.
        struct Traits {
            using Handle = native::Handle;
            static Handle invalid();
            static bool isValid(Handle h);
            static void free(Handle h);
        };
        ScopedGeneric<Traits> m_handle;
    };
};
