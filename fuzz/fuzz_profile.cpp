// A client profile from arbitrary server bytes. Whatever the message holds,
// the profile keeps only known settings as integers, and the user's registry
// afterwards holds values of known names directly under the profile's key
// and nowhere else.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/ClientProfile.h"

namespace {

const wchar_t KeyPath[] = L"Software\\OndrivexFuzz";
std::string g_registryFile;
std::string g_folder;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Every stored line: "<key path> TAB <value name> TAB <type> TAB <hex>".
void checkStore()
{
    std::ifstream in(g_registryFile);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        require(tab != std::string::npos);
        require(line.compare(0, tab, "Software\\OndrivexFuzz") == 0);
        const size_t next = line.find('\t', tab + 1);
        require(next != std::string::npos);
        const std::string name = line.substr(tab + 1, next - tab - 1);
        require(ClientProfile::isKnownSetting(std::wstring(name.begin(), name.end())));
        require(line.compare(next, 3, "\t4\t") == 0); // DWORD
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A registry of the fuzzer's own, away from the developer's.
    char folder[] = "/tmp/ondrivex-fuzz-profile-XXXXXX";
    require(mkdtemp(folder) != nullptr);
    setenv("ONDRIVEX_REGISTRY_DIR", folder, 1);
    g_folder = folder;
    g_registryFile = g_folder + "/HKEY_CURRENT_USER.reg";
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(g_folder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    Msg response;
    try {
        response.fromByteArray(ByteArray(data, static_cast<int32_t>(size)));
    } catch (const Exception&) {
        return 0;
    }
    ClientProfile profile(KeyPath);
    profile.extractClientProfileInfo(response);
    require(profile.getStringAttributeCount() == 0);
    require(profile.getByteArrayAttributeCount() == 0);
    require(profile.getIntAttributeCount() <= 6);
    for (int i = 0; i < profile.getIntAttributeCount(); ++i) {
        int value = 0;
        require(profile.getAttributeValue(i, value));
    }
    checkStore();
    return 0;
}
