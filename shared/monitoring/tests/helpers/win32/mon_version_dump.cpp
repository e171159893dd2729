// Prints the version data the product reads from an executable, one
// "Key=value" line each in UTF-8, after "Result=1" or "Result=0".
//
//   mon_version_dump EXE
#include <cstdio>
#include <string>

#include "base/Exception.h"
#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/Version.h"
#include <shellapi.h>

namespace {

void line(const char* key, const wchar_t* value)
{
    const std::string text = Tools::narrowWideString(value);
    std::printf("%s=%s\n", key, text.c_str());
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2)
        return 1;
    try {
        Version version;
        const bool result = version.getInfoFromExecutable(argv[1]);
        std::printf("Result=%d\n", result ? 1 : 0);
        line("OriginalFilename", version.getOriginalFilename());
        line("FileDescription", version.getFileDescription());
        line("InternalName", version.getInternalName());
        line("FileVersion", version.getFileVersion());
        line("ProductName", version.getProductName());
        line("ProductVersion", version.getProductVersion());
        line("CompanyName", version.getCompanyName());
        return 0;
    } catch (const Exception& e) {
        std::printf("%s\n", Tools::narrowWideString(e.toString()).c_str());
        return 1;
    }
}
