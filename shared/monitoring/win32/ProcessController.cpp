#include "shared/monitoring/ProcessController.h"

#include "base/Event.h"
#include "base/SystemError.h"
#include "base/Logger.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"
#include <tlhelp32.h>
#include <userenv.h>

namespace {

struct EnvironmentTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { DestroyEnvironmentBlock(h); }
};
using ScopedEnvironment = ScopedGeneric<EnvironmentTraits>;

// Undoes ImpersonateLoggedOnUser when the scope ends, keeping the last error.
class Impersonation {
public:
    Impersonation() = default;
    ~Impersonation()
    {
        if (m_active) {
            const SystemError::Keep keep;
            RevertToSelf();
        }
    }
    Impersonation(const Impersonation&) = delete;
    Impersonation& operator=(const Impersonation&) = delete;
    bool begin(HANDLE token)
    {
        m_active = ImpersonateLoggedOnUser(token) != FALSE;
        return m_active;
    }

private:
    bool m_active = false;
};

// The rights the shell's token is opened with and the primary token is made
// with: enough to impersonate, duplicate, query and assign it to a process.
const DWORD ShellTokenAccess = 0x201EB;
const DWORD PrimaryTokenAccess = 0x2000F;
// New console, normal priority, Unicode environment block.
const DWORD CreationFlags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT;

void traceFailure(uint32_t id, const wchar_t* text, uint32_t processId)
{
    Event e(id, text, TC_AT(L"ProcessController::startProcess"));
    e.addDetails(L"ProcessID", static_cast<long long>(processId));
    e.addSystemErrorInfo();
    Logger::Trace(e);
}

} // namespace

bool ProcessController::snapshot(std::vector<ProcessController::ProcessEntry>& processes)
{
    processes.clear();
    ScopedKernelHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(snap.get(), &entry))
        return false;
    do {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        ProcessController::ProcessEntry process;
        process.id = entry.th32ProcessID;
        process.exeName = entry.szExeFile;
        processes.push_back(std::move(process));
        entry.dwSize = sizeof entry;
    } while (Process32NextW(snap.get(), &entry));
    return true;
}

bool ProcessController::sessionOf(uint32_t processId, uint32_t& session)
{
    DWORD found = 0;
    if (!ProcessIdToSessionId(processId, &found))
        return false;
    session = found;
    return true;
}

uint32_t ProcessController::activeConsoleSession(ConsoleLookup& result)
{
    // Looked up rather than linked, as on the systems that lack it the
    // service must still start.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        result = ConsoleLookup::NoKernel;
        return 0;
    }
    using Function = DWORD(WINAPI*)();
    Function function =
        reinterpret_cast<Function>(GetProcAddress(kernel, "WTSGetActiveConsoleSessionId"));
    if (function == nullptr) {
        result = ConsoleLookup::NoFunction;
        return 0;
    }
    result = ConsoleLookup::Ok;
    return function();
}

bool ProcessController::startAsUserOf(uint32_t shellId, const std::wstring& path)
{
    ScopedKernelHandle shell(OpenProcess(MAXIMUM_ALLOWED, FALSE, shellId));
    if (!shell) {
        traceFailure(1063901, L"Error retrieving Explorer process handle", shellId);
        return false;
    }
    ScopedKernelHandle shellToken;
    if (!OpenProcessToken(shell.get(), ShellTokenAccess, shellToken.receive())) {
        traceFailure(1063902, L"Error retrieving Explorer process token", shellId);
        return false;
    }
    Impersonation impersonation;
    if (!impersonation.begin(shellToken.get())) {
        traceFailure(1063903, L"Error impersonating logged on user", shellId);
        return false;
    }
    ScopedKernelHandle threadToken;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE, TRUE, threadToken.receive())) {
        traceFailure(1063904, L"Error opening user thread token", shellId);
        return false;
    }
    ScopedKernelHandle primary;
    if (!DuplicateTokenEx(threadToken.get(), PrimaryTokenAccess, nullptr, SecurityImpersonation,
                          TokenPrimary, primary.receive())) {
        traceFailure(1063905, L"Error duplicating user thread token", shellId);
        return false;
    }
    ScopedEnvironment environment;
    if (!CreateEnvironmentBlock(environment.receive(), primary.get(), FALSE)) {
        traceFailure(1063906, L"Error creating environment block", shellId);
        return false;
    }

    wchar_t desktop[] = L"winsta0\\default";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessAsUserW(primary.get(), path.c_str(), nullptr, nullptr, nullptr, FALSE,
                              CreationFlags, environment.get(), nullptr, &startup, &started)) {
        traceFailure(1063907, L"Error creating process as user", shellId);
        return false;
    }
    ScopedKernelHandle process(started.hProcess);
    ScopedKernelHandle thread(started.hThread);
    return true;
}
