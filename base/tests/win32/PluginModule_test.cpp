#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include "testsupport/ChildProcess.h"

#include <oleauto.h>

// TestPlugin.dll is built by tc_plugin from a .def, an .rc and an .idl
// (base/tests/plugin/); these tests read back what the rule put in it.
namespace {

// The identities written in TestPlugin.idl.
const GUID kLibraryId = {
    0x6f1b7c62, 0x3e0a, 0x4d8e, {0x9a, 0x51, 0x2c, 0x4b, 0x8f, 0x0d, 0x1e, 0x23}};
const GUID kStateId = {
    0x2d7e9c13, 0x5b8a, 0x4f61, {0xa3, 0xc2, 0x9e, 0x0b, 0x4d, 0x6f, 0x7a, 0x85}};
const GUID kEntriesId = {
    0x0b9a3f57, 0x81c4, 0x4c2e, {0xb6, 0xd0, 0x5e, 0x7a, 0x2f, 0x9c, 0x4d, 0x11}};

std::wstring pluginPath()
{
    return testsupport::binFolder() + L"\\TestPlugin.dll";
}

struct ModuleFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using ComPtr = std::unique_ptr<T, ComRelease>;

std::wstring takeString(BSTR text)
{
    std::wstring copy = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

// The names in the module's export directory, read from the loaded image.
std::set<std::string> exportedNames(HMODULE module)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (entry.VirtualAddress == 0)
        return names;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

TEST(PluginModuleTest, ExportsWhatItsDefFileListsUndecoratedAndNothingElse)
{
    Module module(LoadLibraryW(pluginPath().c_str()));
    ASSERT_NE(module, nullptr) << "error " << GetLastError();

    EXPECT_EQ(exportedNames(module.get()),
              (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "TestPluginAnswer"}));
    EXPECT_EQ(GetProcAddress(module.get(), "TestPluginUnlisted"), nullptr);
    EXPECT_EQ(GetProcAddress(module.get(), "_DllCanUnloadNow@0"), nullptr);
    auto canUnload =
        reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(module.get(), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}

// The entry point makes TCBase throw and catches the exception inside the
// plug-in, which on 32-bit Windows only works when the plug-in's unwinder
// was joined with TCBase's at load.
TEST(PluginModuleTest, CatchesWhatTCBaseThrows)
{
    Module module(LoadLibraryW(pluginPath().c_str()));
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    auto answer =
        reinterpret_cast<long(__stdcall*)()>(GetProcAddress(module.get(), "TestPluginAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 1050609); // Msg::getNextInt: "Insufficient bytes to read int"
}

TEST(PluginModuleTest, CarriesTheVersionResourceOfItsRcFile)
{
    const std::wstring path = pluginPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"Ondrivex test plug-in");
}

TEST(PluginModuleTest, CarriesTheTypeLibraryOfItsIdlFile)
{
    ITypeLib* raw = nullptr;
    ASSERT_EQ(LoadTypeLibEx(pluginPath().c_str(), REGKIND_NONE, &raw), S_OK);
    ComPtr<ITypeLib> library(raw);

    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibraryId));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 2);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(takeString(name), L"TestPluginLib");
    EXPECT_EQ(takeString(help), L"Ondrivex test plug-in");

    ITypeInfo* rawInfo = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kStateId, &rawInfo), S_OK);
    ComPtr<ITypeInfo> state(rawInfo);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(state->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_ENUM);
    EXPECT_EQ(type->cVars, 2);
    state->ReleaseTypeAttr(type);

    rawInfo = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kEntriesId, &rawInfo), S_OK);
    ComPtr<ITypeInfo> entries(rawInfo);
    ASSERT_EQ(entries->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_MODULE);
    EXPECT_EQ(type->cFuncs, 1);
    entries->ReleaseTypeAttr(type);
}

} // namespace
