#include "base/Execute.h"

#include <cerrno>
#include <chrono>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "base/Tools.h"

extern char** environ;

namespace {

// Splits the argument text as a Windows command line would for the simple
// cases the system uses: blanks separate, double quotes group.
std::vector<std::string> splitArguments(const std::wstring& arguments)
{
    std::vector<std::string> out;
    std::wstring current;
    bool quoted = false;
    bool have = false;
    for (wchar_t c : arguments) {
        if (c == L'"') {
            quoted = !quoted;
            have = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (have)
                out.push_back(Tools::narrowWideString(current));
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have)
        out.push_back(Tools::narrowWideString(current));
    return out;
}

} // namespace

int Execute::startAndWait(const std::wstring& program, const std::wstring& arguments,
                          unsigned long waitMilliseconds)
{
    const std::string path = Tools::narrowWideString(program);
    std::vector<std::string> args = splitArguments(arguments);
    args.insert(args.begin(), path);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return 1;
        if (done < 0 && errno != EINTR)
            return 1; // already reaped elsewhere: it has ended
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Left running; someone still has to collect it when it ends, or it
    // would stay behind as a zombie for the life of this process.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}
