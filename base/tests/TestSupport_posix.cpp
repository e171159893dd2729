#include "TestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/Tools.h"

testsupport::ExclusiveFileHold::ExclusiveFileHold(const std::wstring& path)
{
    const int fd = ::open(Tools::narrowWideString(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_held = true;
    m_handle = fd;
}

testsupport::ExclusiveFileHold::~ExclusiveFileHold()
{
    if (m_held)
        ::close(static_cast<int>(m_handle));
}

#include <cstdlib>
#include <filesystem>

namespace {

// Natively the registry, the temporary folder and the user's data folder
// are ordinary folders; each test process gets its own, removed at exit.
struct IsolatedFolders {
    std::string root;
    IsolatedFolders()
    {
        char pattern[] = "/tmp/ondrivex-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            return;
        root = pattern;
        ::setenv("ONDRIVEX_REGISTRY_DIR", (root + "/registry").c_str(), 1);
        ::setenv("TMPDIR", (root + "/tmp").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        std::filesystem::create_directories(root + "/tmp");
        std::filesystem::create_directories(root + "/data");
    }
    ~IsolatedFolders()
    {
        std::error_code ignored;
        if (!root.empty())
            std::filesystem::remove_all(root, ignored);
    }
};

IsolatedFolders g_folders;

} // namespace
