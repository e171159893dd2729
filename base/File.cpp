#include "base/File.h"

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/Exception.h"
#include "base/FilePlatform.h"
#include "base/Tools.h"

namespace {

// The shell refuses longer patterns; 259 leaves room for the terminator
// pair it expects.
const size_t MaxPatternLength = 259;

std::wstring& tempPathCache()
{
    static std::wstring path;
    return path;
}

std::wstring& dataPathCache()
{
    static std::wstring path;
    return path;
}

void traceTooLarge(const std::wstring& path)
{
    Event e(1060407, L"File::load - file too large. Returning truncated file", TC_AT(L"File::load"));
    e.addDetails(L"File", path);
    EventSink::trace(e);
}

} // namespace

void File::save(const std::wstring& path, const ByteArray& bytes)
{
    fileplatform::OpenFile file(path, fileplatform::OpenFile::Write);
    if (!file.isOpen())
        return;
    const uint8_t* data = bytes.getData();
    size_t left = bytes.getSize() > 0 ? static_cast<size_t>(bytes.getSize()) : 0;
    while (left > 0) {
        const int64_t n = file.write(data, left);
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<size_t>(n);
    }
}

bool File::load(const std::wstring& path, ByteArray& bytes, int maximum)
{
    bytes.clear();
    fileplatform::OpenFile file(path, fileplatform::OpenFile::Read);
    int64_t size = 0;
    if (!file.isOpen() || !file.size(size))
        return false;
    const int64_t limit = maximum > 0 ? maximum : 0;
    int64_t wanted = size;
    if (wanted > limit) {
        traceTooLarge(path);
        wanted = limit;
    }
    if (wanted == 0)
        return true;
    uint8_t* data = bytes.getBuffer(static_cast<int32_t>(wanted));
    int64_t done = 0;
    while (done < wanted) {
        const int64_t n = file.read(data + done, static_cast<size_t>(wanted - done));
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break; // the file shrank since it was sized
        done += n;
    }
    if (done < wanted)
        bytes.resize(static_cast<int32_t>(done));
    return true;
}

bool File::isOfType(const std::wstring& path, const std::wstring& extension)
{
    size_t start = path.size();
    while (start > 0 && !fileplatform::isSeparator(path[start - 1]))
        --start;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < start)
        return extension.empty();
    return Tools::equalsIgnoringCase(path.substr(dot + 1), extension);
}

const std::wstring& File::getTempPath()
{
    std::wstring& cached = tempPathCache();
    if (!cached.empty())
        return cached;
    std::wstring system;
    switch (fileplatform::systemTempFolder(system)) {
    case fileplatform::FolderResult::Ok:
        cached = fileplatform::cleanFolder(system) + Separator + L"Ondrivex";
        break;
    case fileplatform::FolderResult::TooLong: {
        Event e(1060401, L"Temp path greater than MAX_PATH", TC_AT(L"File::getTempPath"));
        EventSink::trace(e);
        break;
    }
    case fileplatform::FolderResult::Failed: {
        Event e(1060402, L"Unable to retrieve Temp path", TC_AT(L"File::getTempPath"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        break;
    }
    }
    return cached;
}

void File::initTempPath(bool emptyIt)
{
    const std::wstring path = getTempPath();
    if (path.empty() || !fileplatform::makeFolder(path)) {
        SystemException e(1060403, L"Unable to create Temp directory", TC_AT(L"File::initTempPath"));
        e.addSystemErrorInfo();
        e.addParameter(path);
        throw e;
    }
    if (emptyIt)
        emptyDirectory(path);
}

void File::emptyDirectory(const std::wstring& path)
{
    const std::wstring pattern = path + Separator + L"*.ico";
    if (pattern.size() >= MaxPatternLength)
        return;
    if (!fileplatform::deleteFilesOfType(path, L"ico")) {
        Event e(1060404, L"Temp directory clean failed", TC_AT(L"File::emptyDirectory"));
        e.addSystemErrorInfo();
        e.addDetails(L"Path", path);
        EventSink::trace(e);
    }
}

const std::wstring& File::getUsersLocalDataPath()
{
    std::wstring& cached = dataPathCache();
    if (!cached.empty())
        return cached;
    std::wstring folder;
    if (fileplatform::localDataFolder(folder) && !folder.empty()) {
        cached = fileplatform::cleanFolder(folder) + Separator + L"Ondrivex";
    } else {
        Event e(1060405, L"Unable to retrieve Data path", TC_AT(L"File::getUsersLocalDataPath"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        // Not cached: the data folder may still turn up later.
        return getTempPath();
    }
    return cached;
}

bool File::initUsersLocalDataPath()
{
    const std::wstring path = getUsersLocalDataPath();
    if (!path.empty() && fileplatform::makeFolder(path))
        return true;
    Event e(1060406, L"Unable to create users data path", TC_AT(L"File::initUsersLocalDataPath"));
    e.addDetails(L"Path", path);
    e.addSystemErrorInfo();
    EventSink::trace(e);
    return false;
}
