// Writes values into the file-backed registry alongside other writers:
//   base_registry_writer <key path> <value prefix> <count>
// Exit 0 when every write reported success.
#include <cstdlib>
#include <string>

#include "base/Registry.h"
#include "base/Tools.h"

int main(int argc, char** argv)
{
    if (argc < 4)
        return 3;
    Registry registry(Registry::CurrentUser, Tools::widenNarrowString(argv[1]));
    const std::wstring prefix = Tools::widenNarrowString(argv[2]);
    const int count = std::atoi(argv[3]);
    int failures = 0;
    for (int i = 0; i < count; ++i)
        failures += registry.write(prefix + std::to_wstring(i), i) ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
