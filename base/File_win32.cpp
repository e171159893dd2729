#include "base/File.h"

#include <vector>

#include "base/FilePlatform.h"
#include "base/ScopedHandle_win32.h"
#include "base/Tools.h"
#include "base/WindowsSupport.h"

#include <shellapi.h>
#include <shlobj.h>

const wchar_t* const File::Separator = L"\\";

bool fileplatform::isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool fileplatform::hasDrives()
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

void File::save(const std::wstring& path, const ByteArray& bytes)
{
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const uint8_t* data = bytes.getData();
    int32_t left = bytes.getSize();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(file.get(), data, static_cast<DWORD>(left), &written, nullptr) || written == 0)
            return;
        data += written;
        left -= static_cast<int32_t>(written);
    }
}

bool File::load(const std::wstring& path, ByteArray& bytes, int maximum)
{
    bytes.clear();
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return false;
    const int64_t limit = maximum > 0 ? maximum : 0;
    int64_t wanted = size.QuadPart;
    if (wanted > limit) {
        fileplatform::traceTooLarge(path);
        wanted = limit;
    }
    if (wanted == 0)
        return true;
    uint8_t* data = bytes.getBuffer(static_cast<int32_t>(wanted));
    int64_t done = 0;
    while (done < wanted) {
        DWORD got = 0;
        if (!ReadFile(file.get(), data + done, static_cast<DWORD>(wanted - done), &got, nullptr)) {
            bytes.clear();
            return false;
        }
        if (got == 0)
            break; // the file shrank since it was sized
        done += got;
    }
    if (done < wanted)
        bytes.resize(static_cast<int32_t>(done));
    return true;
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

fileplatform::FolderResult fileplatform::systemTempFolder(std::wstring& folder)
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

bool fileplatform::localDataFolder(std::wstring& folder)
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

std::wstring fileplatform::cleanFolder(const std::wstring& folder)
{
    return Tools::cleanString(folder);
}

bool fileplatform::makeFolder(const std::wstring& path)
{
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && File::directoryExists(path))
        return true;
    SetLastError(error);
    return false;
}

bool fileplatform::deleteFilesOfType(const std::wstring& folder, const std::wstring& extension)
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
