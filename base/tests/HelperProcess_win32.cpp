#include "HelperProcess.h"

#include "base/ScopedHandle_win32.h"
#include "base/WindowsSupport.h"

namespace testsupport {

struct HelperProcess::Impl {
    ScopedKernelHandle process;
    ScopedKernelHandle input;
};

HelperProcess::HelperProcess() : m_impl(new Impl) {}

HelperProcess::~HelperProcess()
{
    closeInput();
    int code = 0;
    if (m_impl->process && !wait(5000, code))
        kill();
}

std::wstring binaryFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

bool HelperProcess::start(const std::wstring& name, const std::vector<std::wstring>& arguments)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    ScopedKernelHandle readEnd;
    ScopedKernelHandle writeEnd;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inherit, 0))
        return false;
    // Only the helper's end is inherited.
    SetHandleInformation(writeEnd.get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring program = binaryFolder() + name + L".exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const auto& a : arguments)
        commandLine += L" " + a;

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readEnd.get();
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    m_impl->process.reset(pi.hProcess);
    m_impl->input = std::move(writeEnd);
    return true;
}

void HelperProcess::closeInput()
{
    m_impl->input.reset();
}

bool HelperProcess::wait(unsigned long timeoutMs, int& exitCode)
{
    if (!m_impl->process)
        return false;
    if (WaitForSingleObject(m_impl->process.get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(m_impl->process.get(), &code);
    exitCode = static_cast<int>(code);
    return true;
}

void HelperProcess::kill()
{
    if (m_impl->process) {
        TerminateProcess(m_impl->process.get(), 99);
        WaitForSingleObject(m_impl->process.get(), INFINITE);
    }
}

} // namespace testsupport
