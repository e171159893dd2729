#include "base/File.h"

#include <vector>

#include "base/win32/ScopedHandle.h"
#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"

#include <shellapi.h>
#include <shlobj.h>

const wchar_t* const File::Separator = L"\\";

bool File::isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool File::hasDrives()
{
    return true;
}

bool File::exists(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool File::directoryExists(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool File::createTempFileName(std::wstring& out, const std::wstring& prefix)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return false;
    wchar_t name[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder, prefix.c_str(), 0, name) == 0)
        return false;
    out = name;
    return true;
}

File::OpenFile::Traits::Handle File::OpenFile::Traits::invalid()
{
    return scoped::KernelTraits::invalid();
}

bool File::OpenFile::Traits::isValid(Handle h)
{
    return scoped::KernelTraits::isValid(h);
}

void File::OpenFile::Traits::free(Handle h)
{
    scoped::KernelTraits::free(h);
}

File::OpenFile::OpenFile(const std::wstring& path, Mode mode)
{
    const bool reading = mode == Read;
    m_handle.reset(CreateFileW(
        path.c_str(), reading ? GENERIC_READ : GENERIC_WRITE, reading ? FILE_SHARE_READ : 0,
        nullptr, reading ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool File::OpenFile::size(int64_t& bytes) const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_handle.get(), &size))
        return false;
    bytes = size.QuadPart;
    return true;
}

int64_t File::OpenFile::read(uint8_t* data, size_t n)
{
    DWORD got = 0;
    const DWORD wanted = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
    if (!ReadFile(m_handle.get(), data, wanted, &got, nullptr))
        return -1;
    return got;
}

int64_t File::OpenFile::write(const uint8_t* data, size_t n)
{
    DWORD put = 0;
    const DWORD wanted = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
    if (!WriteFile(m_handle.get(), data, wanted, &put, nullptr))
        return -1;
    return put;
}

int64_t File::getLastModificationTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // 100 ns ticks since 1601-01-01.
    const uint64_t unixEpoch = 116444736000000000ULL;
    if (t.QuadPart < unixEpoch)
        return 0;
    return static_cast<int64_t>((t.QuadPart - unixEpoch) / 10000000ULL);
}

File::FolderResult File::systemTempFolder(std::wstring& folder)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0)
        return FolderResult::Failed;
    if (length > MAX_PATH)
        return FolderResult::TooLong;
    folder.assign(buffer, length);
    return FolderResult::Ok;
}

bool File::localDataFolder(std::wstring& folder)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                        SHGFP_TYPE_CURRENT, buffer);
    if (FAILED(hr)) {
        SetLastError(static_cast<DWORD>(hr));
        return false;
    }
    folder = buffer;
    return true;
}

std::wstring File::cleanFolder(const std::wstring& folder)
{
    return Tools::cleanString(folder);
}

bool File::makeFolder(const std::wstring& path)
{
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && File::directoryExists(path))
        return true;
    SetLastError(error);
    return false;
}

bool File::deleteFilesOfType(const std::wstring& folder, const std::wstring& extension)
{
    const std::wstring pattern = folder + L"\\*." + extension;
    // The shell reports a pattern that matches nothing as a failure; an
    // already clean folder is not one.
    WIN32_FIND_DATAW found{};
    ScopedFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    search.reset();

    std::vector<wchar_t> from(pattern.begin(), pattern.end());
    from.push_back(L'\0');
    from.push_back(L'\0'); // the list ends with an empty entry
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_FILESONLY;
    const int rc = SHFileOperationW(&operation);
    if (rc != 0) {
        SetLastError(static_cast<DWORD>(rc));
        return false;
    }
    return !operation.fAnyOperationsAborted;
}
