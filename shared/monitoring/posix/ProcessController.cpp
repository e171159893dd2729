#include "shared/monitoring/ProcessController.h"

#include "base/posix/ScopedFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Tools.h"

namespace {

bool isNumber(const char* text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

// The executable's file name: the link to the image where it may be read,
// else the kernel's (possibly shortened) command name.
std::string exeNameOf(const std::string& pid)
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) {
        std::string path(target, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        const size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

bool ProcessController::snapshot(std::vector<ProcessController::ProcessEntry>& processes)
{
    processes.clear();
    const ScopedDir owner(::opendir("/proc"));
    if (!owner)
        return false;
    DIR* proc = owner.get();
    while (const dirent* entry = ::readdir(proc)) {
        if (!isNumber(entry->d_name))
            continue;
        const std::string name = exeNameOf(entry->d_name);
        if (name.empty())
            continue; // ended meanwhile
        ProcessController::ProcessEntry process;
        process.id = static_cast<uint32_t>(std::strtoul(entry->d_name, nullptr, 10));
        process.exeName = Tools::widenNarrowString(name);
        processes.push_back(std::move(process));
    }
    return true;
}

// There are no logon sessions in the Windows sense: every process counts as
// one of the console session.
bool ProcessController::sessionOf(uint32_t, uint32_t&)
{
    return false;
}

uint32_t ProcessController::activeConsoleSession(ConsoleLookup& result)
{
    result = ConsoleLookup::Ok;
    return 0;
}

bool ProcessController::startAsUserOf(uint32_t shellId, const std::wstring&)
{
    errno = ENOSYS;
    Event e(1063907, L"Error creating process as user", TC_AT(L"ProcessController::startProcess"));
    e.addDetails(L"ProcessID", static_cast<long long>(shellId));
    e.addSystemErrorInfo();
    Logger::Trace(e);
    return false;
}
