#include "base/Execute.h"

#include <vector>

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

int Execute::startAndWait(const std::wstring& program, const std::wstring& arguments,
                          unsigned long waitMilliseconds)
{
    // The program goes in quotes, so a folder with blanks ("C:\Program
    // Files\...") cannot be taken for a shorter program followed by arguments.
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info))
        return -1;
    ScopedKernelHandle process(info.hProcess);
    ScopedKernelHandle thread(info.hThread);
    return WaitForSingleObject(process.get(), waitMilliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}
