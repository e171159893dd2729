#include "shared/monitoring/Icon.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/File.h"
#include "base/FileName.h"
#include "base/Logger.h"

namespace {

const int MaxIconBytes = 4194304;

} // namespace

Icon::Icon() = default;

Icon::Icon(const Icon& other)
    : m_libraryPath(other.m_libraryPath), m_images(other.m_images), m_fileBytes(other.m_fileBytes),
      m_firstGroupName(other.m_firstGroupName), m_firstGroupId(other.m_firstGroupId),
      m_firstGroupIsName(other.m_firstGroupIsName), m_hasFirstGroup(other.m_hasFirstGroup)
{}

Icon& Icon::operator=(const Icon& other)
{
    if (this != &other) {
        m_icon.reset();
        m_libraryPath = other.m_libraryPath;
        m_images = other.m_images;
        m_fileBytes = other.m_fileBytes;
        m_firstGroupName = other.m_firstGroupName;
        m_firstGroupId = other.m_firstGroupId;
        m_firstGroupIsName = other.m_firstGroupIsName;
        m_hasFirstGroup = other.m_hasFirstGroup;
    }
    return *this;
}

Icon::Icon(Icon&& other) noexcept
{
    *this = std::move(other);
}

Icon& Icon::operator=(Icon&& other) noexcept
{
    if (this != &other) {
        m_icon = std::move(other.m_icon);
        m_libraryPath = std::move(other.m_libraryPath);
        m_images = std::move(other.m_images);
        m_fileBytes = other.m_fileBytes;
        m_firstGroupName = std::move(other.m_firstGroupName);
        m_firstGroupId = other.m_firstGroupId;
        m_firstGroupIsName = other.m_firstGroupIsName;
        m_hasFirstGroup = other.m_hasFirstGroup;
        other.m_libraryPath.clear();
        other.clearImages();
        other.m_hasFirstGroup = false;
    }
    return *this;
}
Icon::~Icon() = default;

bool Icon::saveToLibrary(const wchar_t* name)
{
    if (name == nullptr)
        return false;
    FileName file(File::getTempPath(), name, L"ico");
    if (!file.getNextAvailableIndexedName())
        return false;
    return saveIcon(file.getFullPath());
}

bool Icon::getLibraryFileName(const wchar_t* name, std::wstring& path)
{
    if (m_libraryPath.empty() && name != nullptr) {
        FileName file(File::getTempPath(), name, L"ico");
        if (file.setFirstIndexedName())
            m_libraryPath = file.getFullPath();
    }
    if (m_libraryPath.empty())
        return false;
    path = m_libraryPath;
    return true;
}

bool Icon::getIconBytes(ByteArray& bytes) const
{
    if (m_libraryPath.empty()) {
        bytes.clear();
        return false;
    }
    return File::load(m_libraryPath, bytes, MaxIconBytes);
}

bool Icon::requestShellIcon(const wchar_t*)
{
    return false;
}

bool Icon::saveIcon(const std::wstring& path)
{
    ByteArray file;
    if (!IconFile::layout(m_images, file))
        return false;
    if (!writeFile(path, file)) {
        SystemException e(1062001, L"Unable to create file for icon", TC_AT(L"Icon::saveIcon"));
        e.addParameter(path);
        e.addSystemErrorInfo();
        throw e;
    }
    if (path != m_libraryPath)
        m_icon.reset(); // loaded from the previous library
    m_libraryPath = path;
    return true;
}

bool Icon::addImage(const IconImage& entry, const void* data, size_t size)
{
    const size_t wanted = entry.declaredBytes();
    const size_t taken = data == nullptr ? 0 : (wanted < size ? wanted : size);
    const char* reason = nullptr;
    if (taken == 0)
        reason = "empty";
    else if (m_fileBytes + IconFile::FileEntryBytes + taken > IconFile::MaxFileBytes)
        reason = "too large";
    if (reason != nullptr) {
        Event e(1062011, L"Corrupt icon image in executable", TC_AT(L"Icon::extractIcon"));
        e.addDetails(L"IconID", static_cast<long long>(entry.id()));
        e.addDetails(L"Size", static_cast<long long>(size));
        e.addDetails(L"Problem",
                     std::wstring(reason, reason + std::char_traits<char>::length(reason)));
        Logger::Trace(e);
        return false;
    }
    IconImage image = entry;
    image.bytes = ByteArray(data, static_cast<int32_t>(taken));
    m_images.push_back(std::move(image));
    m_fileBytes += IconFile::FileEntryBytes + taken;
    return true;
}

void Icon::clearImages()
{
    m_images.clear();
    m_fileBytes = IconFile::FileHeaderBytes;
}
