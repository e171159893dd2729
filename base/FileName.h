#pragma once
#include <string>

#include "base/TCBaseApi.h"

// A file path and its parts, kept consistent: full path; drive (without
// colon, Windows only); folder (with its leading separator, without a
// trailing one; a root folder is the separator alone); name; extension
// (without dot); drive-and-folder (drive + ":" + folder).
//
// Splitting strips trailing separators and punctuation from the path and
// cleans the drive, name and extension (Tools::cleanString); composing puts
// a separator between folder and name. A path such as \\server\share\a.txt
// or /tmp/a.txt keeps its leading separators.
class TCBASE_API FileName {
public:
    FileName();
    explicit FileName(const std::wstring& fullPath);
    // The folder path is split at its first ":" into drive and folder
    // (Windows); the full path is composed from the parts.
    FileName(const std::wstring& folderPath, const std::wstring& name,
             const std::wstring& extension);
    FileName(const std::wstring& drive, const std::wstring& folder, const std::wstring& name,
             const std::wstring& extension);
    virtual ~FileName();
    FileName(const FileName&) = default;
    FileName& operator=(const FileName&) = default;

    const std::wstring& getFullPath() const { return m_fullPath; }
    const std::wstring& getDrive() const { return m_drive; }
    const std::wstring& getFolder() const { return m_folder; }
    const std::wstring& getName() const { return m_name; }
    const std::wstring& getExtension() const { return m_extension; }
    const std::wstring& getDriveAndFolder() const { return m_driveAndFolder; }

    // Each re-splits the full path (the part setters compose it first).
    void setFullPath(const std::wstring& path);
    void setDrive(const std::wstring& drive);
    void setFolder(const std::wstring& folder);
    void setName(const std::wstring& name);
    void setExtension(const std::wstring& extension);

    operator const std::wstring&() const { return m_fullPath; }
    bool operator==(const FileName& other) const { return m_fullPath == other.m_fullPath; }
    bool operator!=(const FileName& other) const { return m_fullPath != other.m_fullPath; }
    bool operator<(const FileName& other) const { return m_fullPath < other.m_fullPath; }

    bool isOfType(const std::wstring& extension) const;
    bool exists() const;

    static std::wstring cleanPath(const std::wstring& text);

    // Sets the name to the current name followed by 0001, 0002, ... 9999 and
    // stops at the first whose file does not exist (true). When all exist
    // the name is restored and the result is false.
    bool getNextAvailableIndexedName();
    // The same, stopping at the first whose file exists.
    bool setFirstIndexedName();

private:
    void split(const std::wstring& path);
    static std::wstring compose(const std::wstring& drive, const std::wstring& folder,
                                const std::wstring& name, const std::wstring& extension);
    bool findIndexedName(bool wantExisting);

    std::wstring m_fullPath;
    std::wstring m_drive;
    std::wstring m_folder;
    std::wstring m_name;
    std::wstring m_extension;
    std::wstring m_driveAndFolder;
};
