#include "PlatformTestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/Tools.h"

extern char** environ;

namespace platformtest {

std::wstring binFolder()
{
    char buffer[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    path.erase(path.rfind('/'));
    return Tools::widenNarrowString(path);
}

std::wstring helperProgram(const std::wstring& name)
{
    return binFolder() + L"/" + name;
}

std::wstring mutexProbe()
{
    return helperProgram(L"mutex_probe_posix");
}

int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::vector<std::string> args{Tools::narrowWideString(program)};
    for (const std::wstring& a : arguments)
        args.push_back(Tools::narrowWideString(a));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void setEnvironment(const std::wstring& name, const std::wstring& value)
{
    ::setenv(Tools::narrowWideString(name).c_str(), Tools::narrowWideString(value).c_str(), 1);
}

// Natively the registry of a test process is a folder of its own (see
// TestSupport_posix.cpp), removed with it; the key needs no clean-up.
TestKey::TestKey(const std::wstring& stem, Registry::RootKey root)
    : m_root(root), m_path(L"Software\\OndrivexTests\\" + testsupport::uniqueName(stem))
{
}

TestKey::~TestKey() = default;

} // namespace platformtest
