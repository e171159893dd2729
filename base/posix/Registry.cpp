#include "base/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SystemError.h"
#include "base/posix/PosixSupport.h"
#include "base/posix/ScopedFd.h"
#include "base/Utf16.h"

// Each root key is one text file, "<ROOT>.reg", beside a lock file
// "<ROOT>.lock" that serialises writers (threads and processes alike):
//
//   ONDRIVEX-REGISTRY 1
//   <key path> TAB <value name> TAB <type> TAB <data as hex> LF
//
// Key path and value name are UTF-8 with control characters and "%" written
// as %XX. Data holds the bytes the Win32 registry would hold (strings as
// terminated UTF-16LE), so the same values read the same on every build.
// A writer rewrites the whole file into a temporary one and renames it over
// the old, so a reader needs no lock and never sees half a write. Lines that
// cannot be parsed are skipped rather than failing the whole store.

namespace {

const char* const Header = "ONDRIVEX-REGISTRY 1";

struct Entry {
    std::wstring key; // components joined by single backslashes
    std::wstring name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

const char* rootFileStem(Registry::RootKey root)
{
    switch (root) {
    case Registry::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case Registry::CurrentUser:
        return "HKEY_CURRENT_USER";
    case Registry::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case Registry::Users:
        return "HKEY_USERS";
    }
    return nullptr;
}

std::string storeFolder()
{
    const char* dir = std::getenv("ONDRIVEX_REGISTRY_DIR");
    if (dir != nullptr && *dir != '\0')
        return dir;
    const std::string home = PosixSupport::homeFolder();
    return home.empty() ? std::string() : home + "/.ondrivex/registry";
}

// Key paths compare like the Win32 registry's: without regard to (ASCII)
// case and with empty components ignored.
std::wstring normaliseKey(const std::wstring& keyPath)
{
    std::wstring joined;
    size_t pos = 0;
    while (pos < keyPath.size()) {
        const size_t start = keyPath.find_first_not_of(L'\\', pos);
        if (start == std::wstring::npos)
            break;
        size_t end = keyPath.find(L'\\', start);
        if (end == std::wstring::npos)
            end = keyPath.size();
        if (!joined.empty())
            joined += L'\\';
        joined.append(keyPath, start, end - start);
        pos = end;
    }
    return joined;
}

bool sameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return true;
}

bool mustEscape(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '%';
}

std::string escape(const std::wstring& text)
{
    return PosixSupport::percentEscape(Utf16::toUtf8(text), mustEscape);
}

bool unescape(const std::string& text, std::wstring& out)
{
    std::string utf8;
    if (!PosixSupport::percentUnescape(text, utf8))
        return false;
    out = Utf16::fromUtf8(utf8);
    return true;
}

bool parseLine(const std::string& line, Entry& entry)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 4 || fields[2].empty() || fields[2].size() > 10 ||
        fields[3].size() % 2 != 0)
        return false;
    uint64_t type = 0;
    for (char c : fields[2]) {
        if (c < '0' || c > '9')
            return false;
        type = type * 10 + static_cast<uint64_t>(c - '0');
    }
    if (type > 0xFFFFFFFFu)
        return false;
    std::vector<uint8_t> data(fields[3].size() / 2);
    for (size_t i = 0; i < data.size(); ++i) {
        const int hi = PosixSupport::hexDigitValue(fields[3][2 * i]);
        const int lo = PosixSupport::hexDigitValue(fields[3][2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        data[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    std::wstring key, name;
    if (!unescape(fields[0], key) || !unescape(fields[1], name))
        return false;
    entry.key = normaliseKey(key);
    entry.name = name;
    entry.type = static_cast<uint32_t>(type);
    entry.data.swap(data);
    return true;
}

// Reads the store; a missing file is an empty store. False only when the
// file exists but cannot be read, so that a writer never replaces a store
// it could not see.
bool loadStore(const std::string& path, std::vector<Entry>& entries)
{
    entries.clear();
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        Entry entry;
        if (line != Header && parseLine(line, entry))
            entries.push_back(std::move(entry));
    }
    return true;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool saveStore(const std::string& folder, const std::string& path,
               const std::vector<Entry>& entries)
{
    static const char* const digits = "0123456789abcdef";
    std::string text = Header;
    text += '\n';
    for (const Entry& e : entries) {
        text += escape(e.key) + '\t' + escape(e.name) + '\t' + std::to_string(e.type) + '\t';
        for (uint8_t b : e.data) {
            text += digits[b >> 4];
            text += digits[b & 0xF];
        }
        text += '\n';
    }
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    {
        ScopedFd fd(
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd)
            return false;
        if (!writeAll(fd.get(), text) || ::fsync(fd.get()) != 0) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const SystemError::Keep keep;
        ::unlink(temp.c_str());
        return false;
    }
    ScopedFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.get());
    return true;
}

std::vector<Entry>::iterator findEntry(std::vector<Entry>& entries, const std::wstring& key,
                                       const std::wstring& name)
{
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (sameName(it->key, key) && sameName(it->name, name))
            return it;
    }
    return entries.end();
}

// Runs change on the store under the writers' lock and saves the result
// when change reports that it altered something.
template <class Change>
bool update(Registry::RootKey root, Change change)
{
    const char* stem = rootFileStem(root);
    const std::string folder = storeFolder();
    if (stem == nullptr || !PosixSupport::makeFolders(folder))
        return false;
    const std::string path = folder + "/" + stem + ".reg";
    ScopedFd lock(::open((folder + "/" + stem + ".lock").c_str(),
                         O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock)
        return false;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    std::vector<Entry> entries;
    if (!loadStore(path, entries) || !change(entries))
        return false;
    return saveStore(folder, path, entries);
    // The lock goes with the descriptor.
}

} // namespace

bool Registry::queryStored(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                           uint32_t& type, std::vector<uint8_t>& data)
{
    const char* stem = rootFileStem(root);
    const std::string folder = storeFolder();
    if (stem == nullptr || folder.empty())
        return false;
    std::vector<Entry> entries;
    if (!loadStore(folder + "/" + stem + ".reg", entries))
        return false;
    auto it = findEntry(entries, normaliseKey(keyPath), valueName);
    if (it == entries.end())
        return false;
    type = it->type;
    data = it->data;
    return true;
}

bool Registry::setStored(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                         uint32_t type, const std::vector<uint8_t>& data)
{
    const std::wstring key = normaliseKey(keyPath);
    return update(root, [&](std::vector<Entry>& entries) {
        auto it = findEntry(entries, key, valueName);
        if (it == entries.end()) {
            Entry e;
            e.key = key;
            e.name = valueName;
            entries.push_back(e);
            it = entries.end() - 1;
        }
        it->type = type;
        it->data = data;
        return true;
    });
}

bool Registry::removeStored(RootKey root, const std::wstring& keyPath,
                            const std::wstring& valueName)
{
    const std::wstring key = normaliseKey(keyPath);
    return update(root, [&](std::vector<Entry>& entries) {
        auto it = findEntry(entries, key, valueName);
        if (it == entries.end())
            return false;
        entries.erase(it);
        return true;
    });
}
