#include "testsupport/TestProcess.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/Utf16.h"

namespace testsupport {

namespace {

// The folders of one test process, removed when it exits.
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

} // namespace

void TestProcess::isolate()
{
    static IsolatedFolders folders;
}

void TestProcess::setEnvironment(const std::wstring& name, const std::wstring& value)
{
    ::setenv(Utf16::toUtf8(name).c_str(), Utf16::toUtf8(value).c_str(), 1);
}

bool TestProcess::runningUnderWine()
{
    return false;
}

} // namespace testsupport
