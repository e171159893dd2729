#include "testsupport/ChildProcess.h"

namespace testsupport {

int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    ChildProcess child;
    if (!child.start(program, arguments))
        return -1;
    child.closeInput();
    int code = -1;
    return child.wait(ChildProcess::Forever, code) ? code : -1;
}

} // namespace testsupport
