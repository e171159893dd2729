#include "HelperProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <thread>

#include "base/Tools.h"

extern char** environ;

namespace testsupport {

struct HelperProcess::Impl {
    pid_t pid = -1;
    int input = -1;
    bool reaped = false;
    int status = 0;
};

HelperProcess::HelperProcess() : m_impl(new Impl) {}

HelperProcess::~HelperProcess()
{
    closeInput();
    int code = 0;
    if (m_impl->pid > 0 && !wait(5000, code))
        kill();
}

std::wstring binaryFolder()
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string s(path, n > 0 ? static_cast<size_t>(n) : 0);
    return Tools::widenNarrowString(s.substr(0, s.rfind('/') + 1));
}

bool HelperProcess::start(const std::wstring& name, const std::vector<std::wstring>& arguments)
{
    int fds[2];
    // Close-on-exec, so that a later helper does not inherit this one's
    // write end and keep it from seeing the end of its input.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const std::string program = Tools::narrowWideString(binaryFolder() + name);
    std::vector<std::string> args{program};
    for (const auto& a : arguments)
        args.push_back(Tools::narrowWideString(a));
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        return false;
    }
    m_impl->pid = pid;
    m_impl->input = fds[1];
    return true;
}

void HelperProcess::closeInput()
{
    if (m_impl->input >= 0) {
        ::close(m_impl->input);
        m_impl->input = -1;
    }
}

bool HelperProcess::wait(unsigned long timeoutMs, int& exitCode)
{
    if (m_impl->pid <= 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_impl->reaped) {
        const pid_t r = ::waitpid(m_impl->pid, &m_impl->status, WNOHANG);
        if (r == m_impl->pid) {
            m_impl->reaped = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    exitCode = WIFEXITED(m_impl->status) ? WEXITSTATUS(m_impl->status) : 128 + WTERMSIG(m_impl->status);
    return true;
}

void HelperProcess::kill()
{
    if (m_impl->pid > 0 && !m_impl->reaped) {
        ::kill(m_impl->pid, SIGKILL);
        ::waitpid(m_impl->pid, &m_impl->status, 0);
        m_impl->reaped = true;
    }
}

} // namespace testsupport
