#include <fcntl.h>
#include <io.h>

#include "base/WindowsSupport.h"
#include "tools/tcmsg/Platform.h"

namespace {

std::string toUtf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

} // namespace

namespace tcmsg {

std::FILE* openForReading(const std::string& path) {
    return _wfopen(fromUtf8(path).c_str(), L"rb");
}

} // namespace tcmsg

int wmain(int argc, wchar_t** argv) {
    // The listing carries its own CR LF line ends and is UTF-8: no text-mode
    // translation, and a console shows it in UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const UINT previousCodePage = GetConsoleOutputCP();
    if (previousCodePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(toUtf8(argv[i]));
    const int code = tcmsg::run(args);
    if (previousCodePage != 0)
        SetConsoleOutputCP(previousCodePage); // the console outlives us
    return code;
}
