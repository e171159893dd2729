// Writes the icon of an executable as the product writes it, for the check
// against icoutils.
//
//   mon_icon_dump EXE OUT.ico
//
// Prints one line per image ("WIDTHxHEIGHT BITS bits, SIZE bytes") and exits
// 0 when OUT.ico was written, 2 when the program has no icon, 1 on failure.
#include <cstdio>

#include "base/Exception.h"
#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/Icon.h"
#include <shellapi.h>

namespace {

class IconWriter : public Icon {
public:
    using Icon::saveIcon;
};

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3)
        return 1;
    try {
        IconWriter icon;
        if (!icon.getIconFromExecutable(argv[1]))
            return 2;
        for (const IconImage& image : icon.getImages())
            std::printf("%ux%u %u bits, %d bytes\n", image.width(), image.height(),
                        image.bitCount(), static_cast<int>(image.bytes.getSize()));
        return icon.saveIcon(argv[2]) ? 0 : 1;
    } catch (const Exception& e) {
        std::printf("%s\n", Tools::narrowWideString(e.toString()).c_str());
        return 1;
    }
}
