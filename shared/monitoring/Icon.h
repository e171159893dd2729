#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/NativeHandle.h"
#include "base/ScopedGeneric.h"
#include "shared/TCShrdApi.h"
#include "shared/monitoring/IconFile.h"

// The icon of an executable: its first icon group, kept as an ".ico" file in
// the temporary folder (the "library") from which the GUI loads it and whose
// bytes go to the server.
class TCSHRD_API Icon {
public:
    Icon();
    // Copies take the images and the library path; each copy loads its own
    // handle on first use.
    Icon(const Icon& other);
    Icon& operator=(const Icon& other);
    Icon(Icon&& other) noexcept;
    Icon& operator=(Icon&& other) noexcept;
    virtual ~Icon();

    // Reads the first icon group of the executable (loaded as data, no code
    // runs). True when images were extracted. Throws SystemException 1062002
    // when the file cannot be loaded; failures inside the file are traced
    // (1062003) and give false.
    bool getIconFromExecutable(const wchar_t* path);

    // Writes the images to the temporary folder as name + the first free
    // four-digit index + ".ico" and remembers that path. False, writing
    // nothing, when there are no images or every index is taken. Throws
    // SystemException 1062001 when the file cannot be written.
    bool saveToLibrary(const wchar_t* name);

    // The library path; when none is known yet, adopts the first existing
    // name + index + ".ico" in the temporary folder. False, leaving path
    // untouched, when there is none.
    bool getLibraryFileName(const wchar_t* name, std::wstring& path);

    // The library file loaded as a 32 x 32 icon, loaded once; null when that
    // fails or no library is known. The object keeps ownership.
    native::Icon getHICON();

    // The library file's bytes (at most 4 MiB). False when no library is
    // known or it cannot be read.
    bool getIconBytes(ByteArray& bytes) const;

    const std::vector<IconImage>& getImages() const { return m_images; }
    const std::wstring& getLibraryPath() const { return m_libraryPath; }

protected:
    // Writes the images as an ".ico" file at path and remembers the path.
    // False with no images; throws SystemException 1062001 when the file
    // cannot be written (a partly written file is removed).
    bool saveIcon(const std::wstring& path);
    // Replaces the images by those of the module's first icon group; true
    // when there are any. Throws Exception 1062004 for a null module and
    // SystemException 1062005 to 1062010 when a resource cannot be had.
    bool extractIcon(native::Module module);
    // Finds the module's first icon group; false when it has none.
    bool getFirstIconID(native::Module module);
    // Asking the shell for an icon is not done: always false.
    bool requestShellIcon(const wchar_t* path);
    // Resource enumeration callback: keeps the first group name, then stops.
    static int TC_CALLBACK enumResNameProc(native::Module module, const wchar_t* type,
                                           wchar_t* name, intptr_t param);

    // Appends one image of the group from the icon resource's bytes, taking
    // as many bytes as the entry gives and never more than the resource
    // holds. An empty image, or one that would make the ".ico" file larger
    // than IconFile::MaxFileBytes, is traced (1062011) and skipped.
    bool addImage(const IconImage& entry, const void* data, size_t size);
    void clearImages();

    // The loaded icon, destroyed with the platform's call.
    struct IconTraits {
        using Handle = native::Icon;
        static Handle invalid() { return nullptr; }
        static bool isValid(Handle icon) { return icon != nullptr; }
        static void free(Handle icon);
    };
    ScopedGeneric<IconTraits> m_icon;
    std::wstring m_libraryPath;
    std::vector<IconImage> m_images;
    // IconFile::fileSize of the images, kept as they are added.
    uint64_t m_fileBytes = IconFile::FileHeaderBytes;
    // The first icon group: a string name, or an integer id when
    // m_firstGroupIsName is false.
    std::wstring m_firstGroupName;
    uint16_t m_firstGroupId = 0;
    bool m_firstGroupIsName = false;
    bool m_hasFirstGroup = false;

private:
    // Operating-system half, in win32/Icon.cpp and posix/Icon.cpp (with the
    // platform's answers to the calls above that read executables).
    // Creates or truncates the file and writes all bytes. False, with the
    // system error left set, when that fails; a partly written file is removed.
    static bool writeFile(const std::wstring& path, const ByteArray& bytes);
};
