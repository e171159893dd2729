#pragma once
#include <cstdint>
#include <string>

#include "shared/TCShrdApi.h"

class ByteArray;
class VersionBlock;

// The version data of an executable: the seven strings of its version
// resource, with blanks filled from the file name so that every field is
// usable in messages for the server.
class TCSHRD_API Version {
public:
    Version();
    virtual ~Version();

    // Reads the version resource of the file at path. Every field is filled
    // afresh, so an object may be reused for another file.
    //   false: no path, or the file has no version information (the fields
    //          then hold what fillBlanks derives from the path);
    //   true:  the resource was read.
    // Throws SystemException 1062501 when the version information cannot be
    // read and 1062502 when it has no translation; the fields are filled from
    // the path before either is thrown.
    bool getInfoFromExecutable(const wchar_t* path);

    const wchar_t* getOriginalFilename() const { return m_originalFilename.c_str(); }
    const wchar_t* getFileDescription() const { return m_fileDescription.c_str(); }
    const wchar_t* getInternalName() const { return m_internalName.c_str(); }
    const wchar_t* getFileVersion() const { return m_fileVersion.c_str(); }
    const wchar_t* getProductName() const { return m_productName.c_str(); }
    const wchar_t* getProductVersion() const { return m_productVersion.c_str(); }
    const wchar_t* getCompanyName() const { return m_companyName.c_str(); }

protected:
    // Fills the seven fields from a version block and its first translation;
    // the steps of getInfoFromExecutable after the block has been read.
    // Throws SystemException 1062502 when the block has no translation.
    bool readBlock(const VersionBlock& block, const wchar_t* path);

    // key under prefix, then under the US English tables "040904E4" and
    // "040904b0"; the first look-up that succeeds wins, even with an empty
    // value. False when none does (out is then empty).
    bool getString(const VersionBlock* block, const wchar_t* prefix, const wchar_t* key,
                   std::wstring& out);
    // Clears out, then looks prefix + key up (at most 1023 characters). Throws
    // Exception 1062503 for a null block, prefix or key.
    bool getStringInner(const VersionBlock* block, const wchar_t* prefix, const wchar_t* key,
                        std::wstring& out);
    // Derives the empty fields from the path; see the steps in Version.cpp.
    void fillBlanks(const wchar_t* path);

    void clear();

    std::wstring m_originalFilename;
    std::wstring m_fileDescription;
    std::wstring m_internalName;
    std::wstring m_fileVersion;
    std::wstring m_productName;
    std::wstring m_productVersion;
    std::wstring m_companyName;

private:
    // Operating-system half, in win32/Version.cpp and posix/Version.cpp:
    // fetching the raw version block.

    // Bytes needed for the file's version information; 0 when it has none or
    // the file cannot be read.
    static uint32_t resourceSize(const std::wstring& path);
    // Reads the version information into out (size bytes). False, with the
    // system error left set, when that fails.
    static bool readResource(const std::wstring& path, uint32_t size, ByteArray& out);
};
