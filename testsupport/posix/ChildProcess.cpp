#include "testsupport/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "base/posix/ScopedFd.h"
#include "base/Utf16.h"

extern char** environ;

namespace testsupport {

std::wstring binFolder()
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string s(path, n > 0 ? static_cast<size_t>(n) : 0);
    s.erase(s.rfind('/'));
    return Utf16::fromUtf8(s);
}

std::wstring helperProgram(const std::wstring& name)
{
    return binFolder() + L"/" + name;
}

struct ChildProcess::Impl {
    pid_t pid = -1;
    ScopedFd input;
    bool reaped = false;
    int status = 0;
};

ChildProcess::ChildProcess() : m_impl(new Impl) {}

ChildProcess::~ChildProcess()
{
    closeInput();
    int code = 0;
    if (m_impl->pid > 0 && !wait(5000, code))
        kill();
}

bool ChildProcess::start(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    int fds[2];
    // Close-on-exec, so that a later child does not inherit this one's
    // write end and keep it from seeing the end of its input.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    std::vector<std::string> args{Utf16::toUtf8(program)};
    for (const std::wstring& a : arguments)
        args.push_back(Utf16::toUtf8(a));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    const ScopedFd readEnd(fds[0]);
    ScopedFd writeEnd(fds[1]);
    if (rc != 0)
        return false;
    m_impl->pid = pid;
    m_impl->input = std::move(writeEnd);
    return true;
}

bool ChildProcess::started() const
{
    return m_impl->pid > 0;
}

uint32_t ChildProcess::id() const
{
    return m_impl->pid > 0 ? static_cast<uint32_t>(m_impl->pid) : 0;
}

void ChildProcess::closeInput()
{
    m_impl->input.reset();
}

bool ChildProcess::wait(unsigned long timeoutMs, int& exitCode)
{
    if (m_impl->pid <= 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_impl->reaped) {
        const int flags = timeoutMs == Forever ? 0 : WNOHANG;
        const pid_t r = ::waitpid(m_impl->pid, &m_impl->status, flags);
        if (r == m_impl->pid) {
            m_impl->reaped = true;
            break;
        }
        if (r < 0 && errno != EINTR)
            return false;
        if (timeoutMs != Forever) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    exitCode =
        WIFEXITED(m_impl->status) ? WEXITSTATUS(m_impl->status) : 128 + WTERMSIG(m_impl->status);
    return true;
}

void ChildProcess::kill()
{
    if (m_impl->pid > 0 && !m_impl->reaped) {
        ::kill(m_impl->pid, SIGKILL);
        while (::waitpid(m_impl->pid, &m_impl->status, 0) < 0 && errno == EINTR) {
        }
        m_impl->reaped = true;
    }
}

} // namespace testsupport
