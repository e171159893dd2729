#include "base/File.h"

#include <atomic>
#include <mutex>

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/Exception.h"
#include "base/SystemError.h"
#include "base/Tools.h"

namespace {

// The shell refuses longer patterns; 259 leaves room for the terminator
// pair it expects.
const size_t MaxPatternLength = 259;

// A folder found on first use and kept for the life of the process. Many
// threads may ask at once: the first fills it under the lock and publishes
// it, and the string is never changed or freed afterwards, so the
// references handed out stay valid. Until a folder is found every call asks
// the system again.
class FolderCache {
public:
    // The kept folder, or what find gives (kept when not empty); null when
    // there is none yet. find runs under the lock, at most one at a time.
    template <class Find>
    const std::wstring* get(Find find)
    {
        if (const std::wstring* kept = m_folder.load(std::memory_order_acquire))
            return kept;
        std::lock_guard<std::mutex> lock(m_fill);
        if (const std::wstring* kept = m_folder.load(std::memory_order_relaxed))
            return kept;
        std::wstring found = find();
        if (found.empty())
            return nullptr;
        const std::wstring* kept = new std::wstring(std::move(found));
        m_folder.store(kept, std::memory_order_release);
        return kept;
    }

private:
    std::atomic<const std::wstring*> m_folder{nullptr};
    std::mutex m_fill;
};

FolderCache& tempPathCache()
{
    static FolderCache* cache = new FolderCache; // outlives every caller
    return *cache;
}

FolderCache& dataPathCache()
{
    static FolderCache* cache = new FolderCache;
    return *cache;
}

const std::wstring& noFolder()
{
    static const std::wstring* none = new std::wstring;
    return *none;
}

void traceTooLarge(const std::wstring& path)
{
    Event e(1060407, L"File::load - file too large. Returning truncated file",
            TC_AT(L"File::load"));
    e.addDetails(L"File", path);
    EventSink::trace(e);
}

} // namespace

void File::save(const std::wstring& path, const ByteArray& bytes)
{
    OpenFile file(path, OpenFile::Write);
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
    OpenFile file(path, OpenFile::Read);
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
    while (start > 0 && !isSeparator(path[start - 1]))
        --start;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < start)
        return extension.empty();
    return Tools::equalsIgnoringCase(path.substr(dot + 1), extension);
}

const std::wstring& File::getTempPath()
{
    FolderResult result = FolderResult::Ok;
    unsigned long error = 0;
    const std::wstring* kept = tempPathCache().get([&] {
        std::wstring system;
        result = systemTempFolder(system);
        error = SystemError::last();
        if (result != FolderResult::Ok)
            return std::wstring();
        return cleanFolder(system) + Separator + L"Ondrivex";
    });
    if (kept != nullptr)
        return *kept;
    if (result == FolderResult::TooLong) {
        Event e(1060401, L"Temp path greater than MAX_PATH", TC_AT(L"File::getTempPath"));
        EventSink::trace(e);
    } else {
        Event e(1060402, L"Unable to retrieve Temp path", TC_AT(L"File::getTempPath"));
        SystemError::set(error);
        e.addSystemErrorInfo();
        EventSink::trace(e);
    }
    return noFolder();
}

void File::initTempPath(bool emptyIt)
{
    const std::wstring path = getTempPath();
    if (path.empty() || !makeFolder(path)) {
        SystemException e(1060403, L"Unable to create Temp directory",
                          TC_AT(L"File::initTempPath"));
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
    if (!deleteFilesOfType(path, L"ico")) {
        Event e(1060404, L"Temp directory clean failed", TC_AT(L"File::emptyDirectory"));
        e.addSystemErrorInfo();
        e.addDetails(L"Path", path);
        EventSink::trace(e);
    }
}

const std::wstring& File::getUsersLocalDataPath()
{
    unsigned long error = 0;
    const std::wstring* kept = dataPathCache().get([&] {
        std::wstring folder;
        const bool found = localDataFolder(folder) && !folder.empty();
        error = SystemError::last();
        if (!found)
            return std::wstring();
        return cleanFolder(folder) + Separator + L"Ondrivex";
    });
    if (kept != nullptr)
        return *kept;
    Event e(1060405, L"Unable to retrieve Data path", TC_AT(L"File::getUsersLocalDataPath"));
    SystemError::set(error);
    e.addSystemErrorInfo();
    EventSink::trace(e);
    // Not kept: the data folder may still turn up later.
    return getTempPath();
}

bool File::initUsersLocalDataPath()
{
    const std::wstring path = getUsersLocalDataPath();
    if (!path.empty() && makeFolder(path))
        return true;
    Event e(1060406, L"Unable to create users data path", TC_AT(L"File::initUsersLocalDataPath"));
    e.addDetails(L"Path", path);
    e.addSystemErrorInfo();
    EventSink::trace(e);
    return false;
}
