#include "base/Execute.h"

#include "base/File.h"
#include "base/Tools.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
const unsigned long Execute::WaitMilliseconds;

void Execute::splitCommand(const std::wstring& command, std::wstring& program,
                           std::wstring& arguments)
{
    program.clear();
    arguments.clear();
    size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return;
    size_t end;
    if (command[start] == L'"') {
        ++start;
        end = command.find(L'"', start);
        program =
            command.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        end = end == std::wstring::npos ? command.size() : end + 1;
    } else {
        end = command.find_first_of(L" \t", start);
        if (end == std::wstring::npos)
            end = command.size();
        program = command.substr(start, end - start);
    }
    const size_t rest = command.find_first_not_of(L" \t", end);
    if (rest != std::wstring::npos)
        arguments = command.substr(rest);
}

bool Execute::exec(const std::wstring& command, const std::wstring& folder)
{
    std::wstring program, arguments;
    splitCommand(command, program, arguments);
    if (program.empty())
        return false;
    std::wstring base = folder;
    if (base.empty()) {
        base = Tools::getExecutablePath();
        const size_t last = base.find_last_of(File::Separator[0] == L'\\' ? L"\\/" : L"/");
        base = last == std::wstring::npos ? std::wstring() : base.substr(0, last);
    }
    const std::wstring path = base.empty() ? program : base + File::Separator + program;
    return startAndWait(path, arguments, WaitMilliseconds) == 1;
}
