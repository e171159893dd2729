#include <fcntl.h>
#include <io.h>

#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "tools/tcmsg/Tcmsg.h"

std::FILE* Tcmsg::openForReading(const std::string& path)
{
    return _wfopen(Utf16::fromUtf8(path).c_str(), L"rb");
}

int wmain(int argc, wchar_t** argv)
{
    // The listing carries its own CR LF line ends and is UTF-8: no text-mode
    // translation, and a console shows it in UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const UINT previousCodePage = GetConsoleOutputCP();
    if (previousCodePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf16::toUtf8(argv[i]));
    const int code = Tcmsg::run(args);
    if (previousCodePage != 0)
        SetConsoleOutputCP(previousCodePage); // the console outlives us
    return code;
}
