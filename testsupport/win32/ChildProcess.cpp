#include "testsupport/ChildProcess.h"

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

namespace testsupport {

namespace {

// A pipe whose one end goes to a child: that end is inheritable, the
// test's own end is not.
bool makePipe(ScopedKernelHandle& readEnd, ScopedKernelHandle& writeEnd, bool childReads)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inherit, 0))
        return false;
    SetHandleInformation((childReads ? writeEnd : readEnd).get(), HANDLE_FLAG_INHERIT, 0);
    return true;
}

// Starts the command line (the program from application when given, else
// as the command line names it) reading input and writing to output (null:
// the test's own output and error); of the test's handles only inheritable
// ones, those among them, reach the child.
bool launch(const wchar_t* application, std::wstring commandLine, HANDLE input, HANDLE output,
            DWORD flags, PROCESS_INFORMATION& info)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output != nullptr ? output : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = output != nullptr ? output : GetStdHandle(STD_ERROR_HANDLE);
    return CreateProcessW(application, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr,
                          nullptr, &startup, &info) != FALSE;
}

} // namespace

std::wstring binFolder()
{
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    std::wstring path(buffer, n);
    path.erase(path.find_last_of(L"\\/"));
    return path;
}

std::wstring helperProgram(const std::wstring& name)
{
    return binFolder() + L"\\" + name + L".exe";
}

struct ChildProcess::Impl {
    ScopedKernelHandle process;
    ScopedKernelHandle input;
    DWORD id = 0;
};

ChildProcess::ChildProcess() : m_impl(new Impl) {}

ChildProcess::~ChildProcess()
{
    closeInput();
    int code = 0;
    if (m_impl->process && !wait(5000, code))
        kill();
}

bool ChildProcess::start(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    ScopedKernelHandle readEnd;
    ScopedKernelHandle writeEnd;
    if (!makePipe(readEnd, writeEnd, true))
        return false;
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& a : arguments)
        commandLine += L" \"" + a + L"\"";
    PROCESS_INFORMATION info{};
    if (!launch(program.c_str(), commandLine, readEnd.get(), nullptr, 0, info))
        return false;
    const ScopedKernelHandle thread(info.hThread);
    m_impl->process.reset(info.hProcess);
    m_impl->id = info.dwProcessId;
    m_impl->input = std::move(writeEnd);
    return true;
}

bool ChildProcess::started() const
{
    return static_cast<bool>(m_impl->process);
}

uint32_t ChildProcess::id() const
{
    return m_impl->id;
}

void ChildProcess::closeInput()
{
    m_impl->input.reset();
}

bool ChildProcess::wait(unsigned long timeoutMs, int& exitCode)
{
    if (!m_impl->process)
        return false;
    if (WaitForSingleObject(m_impl->process.get(), timeoutMs == Forever ? INFINITE : timeoutMs) !=
        WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(m_impl->process.get(), &code);
    exitCode = static_cast<int>(code);
    return true;
}

void ChildProcess::kill()
{
    if (m_impl->process) {
        TerminateProcess(m_impl->process.get(), 99);
        WaitForSingleObject(m_impl->process.get(), INFINITE);
    }
}

bool runCapturingOutput(const std::wstring& commandLine, std::string& output,
                        unsigned long& exitCode)
{
    ScopedKernelHandle readEnd;
    ScopedKernelHandle writeEnd;
    if (!makePipe(readEnd, writeEnd, false))
        return false;
    PROCESS_INFORMATION info{};
    const bool started = launch(nullptr, commandLine, GetStdHandle(STD_INPUT_HANDLE),
                                writeEnd.get(), CREATE_NO_WINDOW, info);
    // The child holds the only write end now: reading ends when it does.
    writeEnd.reset();
    if (!started)
        return false;
    ScopedKernelHandle process(info.hProcess);
    ScopedKernelHandle thread(info.hThread);
    output.clear();
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        output.append(chunk, got);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0xDEADBEEF;
    GetExitCodeProcess(process.get(), &code);
    exitCode = code;
    return true;
}

} // namespace testsupport
