#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "tools/tcrules/Tcrules.h"

int wmain(int argc, wchar_t** argv)
{
    // UTF-8 bytes with their own line ends, whatever the console's code page.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const UINT previous = GetConsoleOutputCP();
    if (previous != 0)
        SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf16::toUtf8(argv[i]));
    const int code = Tcrules::run(args);
    if (previous != 0)
        SetConsoleOutputCP(previous);
    return code;
}
