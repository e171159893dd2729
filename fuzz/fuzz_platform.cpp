// Outside text reaching the platform wrappers: the registry store file as
// found on disk, UTF-8 from the system, and paths. The first byte picks the
// subject; the rest is the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "base/FileName.h"
#include "base/Registry.h"
#include "base/Tools.h"

namespace {

std::string g_folder;
std::string g_store;

void removeStore()
{
    ::unlink(g_store.c_str());
    ::unlink((g_folder + "/HKEY_CURRENT_USER.lock").c_str());
    ::rmdir(g_folder.c_str());
}

void setUpStore()
{
    if (!g_store.empty())
        return;
    char folder[] = "/tmp/ondrivex-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        std::abort();
    ::setenv("ONDRIVEX_REGISTRY_DIR", folder, 1);
    g_folder = folder;
    g_store = g_folder + "/HKEY_CURRENT_USER.reg";
    std::atexit(removeStore);
}

void checkStore(const std::string& content)
{
    setUpStore();
    FILE* f = std::fopen(g_store.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    // Whatever the file holds, a write keeps every value that could be read
    // before it and adds its own.
    Registry registry(Registry::CurrentUser, L"a");
    const wchar_t* names[] = {L"b", L"B", L"", L"c\\d"};
    int before[4];
    for (int i = 0; i < 4; ++i)
        before[i] = registry.read(names[i], -12345);
    if (!registry.write(L"fuzz\\written", 77))
        std::abort();
    for (int i = 0; i < 4; ++i) {
        if (registry.read(names[i], -12345) != before[i])
            std::abort();
    }
    if (registry.read(L"fuzz\\written", 0) != 77)
        std::abort();
}

void checkUtf8(const std::string& text)
{
    const std::wstring wide = Tools::widenNarrowString(text);
    const std::string narrow = Tools::narrowWideString(wide);
    // Decoding replaces what it cannot read; what it gives is stable.
    if (Tools::widenNarrowString(narrow) != wide)
        std::abort();
    bool ascii = true;
    for (unsigned char c : text)
        ascii = ascii && c < 0x80;
    if (ascii && narrow != text)
        std::abort();
}

void checkPath(const std::string& text)
{
    const std::wstring path = Tools::widenNarrowString(text);
    const FileName once(path);
    const FileName twice(once.getFullPath());
    if (twice.getFullPath() != once.getFullPath() || twice.getFolder() != once.getFolder() ||
        twice.getName() != once.getName() || twice.getExtension() != once.getExtension())
        std::abort();
    const std::wstring cleaned = Tools::cleanString(path);
    if (Tools::cleanString(cleaned) != cleaned)
        std::abort();
    std::wstring user, domain;
    Tools::parseUserName(path, user, domain);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        checkStore(input);
        break;
    case 1:
        checkUtf8(input);
        break;
    default:
        checkPath(input);
        break;
    }
    return 0;
}
