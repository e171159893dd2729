#include <gtest/gtest.h>

#include "base/win32/ScopedHandle.h"
#include "base/win32/ScopedLibrary.h"
#include "base/win32/WindowsSupport.h"

namespace {

bool isOpenHandle(HANDLE h)
{
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(ScopedHandleTest, KernelHandleIsClosedOnDestructionAndTheLastErrorKept)
{
    HANDLE raw = nullptr;
    {
        ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event.valid());
        raw = event.get();
        EXPECT_TRUE(isOpenHandle(raw));
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(isOpenHandle(raw));
}

TEST(ScopedHandleTest, ResetKeepsTheLastErrorEvenWhenClosingFails)
{
    // A handle closed behind the owner's back: the owner's CloseHandle then
    // fails with ERROR_INVALID_HANDLE, which must not reach the caller.
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, raw);
    CloseHandle(raw);
    ScopedKernelHandle owner(raw);
    SetLastError(ERROR_ACCESS_DENIED);
    owner.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(owner.valid());
}

TEST(ScopedHandleTest, KernelOwnerTakesNullAndInvalidHandleValueForNone)
{
    ScopedKernelHandle none;
    ScopedKernelHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none.valid());
    EXPECT_FALSE(invalid.valid());
    // CreateFile's failure value is no handle to close.
    ScopedKernelHandle missing(CreateFileW(L"Z:\\no\\such\\folder\\file.txt", GENERIC_READ, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing.valid());
}

TEST(ScopedHandleTest, FindOwnerTakesInvalidHandleValueForNone)
{
    WIN32_FIND_DATAW data{};
    ScopedFindHandle none(FindFirstFileW(L"Z:\\no\\such\\folder\\*", &data));
    EXPECT_FALSE(none.valid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, ScopedFindHandle().get());
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    ScopedFindHandle found(FindFirstFileW((std::wstring(system) + L"\\*").c_str(), &data));
    EXPECT_TRUE(found.valid());
}

TEST(ScopedHandleTest, RegistryKeyIsClosedAndTheLastErrorKept)
{
    ScopedRegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.receive()));
    ASSERT_TRUE(key.valid());
    const HKEY raw = key.get();
    SetLastError(ERROR_BAD_FORMAT);
    key.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FORMAT), GetLastError());
    DWORD subkeys = 0;
    EXPECT_NE(ERROR_SUCCESS,
              RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr));
}

TEST(ScopedHandleTest, EventSourceIsDeregisteredKeepingTheLastError)
{
    ScopedEventSource source(RegisterEventSourceW(nullptr, L"OndrivexTests"));
    ASSERT_TRUE(source.valid());
    SetLastError(ERROR_INVALID_DATA);
    source.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
    EXPECT_FALSE(source.valid());
}

TEST(ScopedHandleTest, IconIsDestroyedKeepingTheLastError)
{
    const BYTE andMask[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const BYTE xorMask[4] = {0, 0, 0, 0};
    ScopedIcon icon(CreateIcon(GetModuleHandleW(nullptr), 1, 1, 1, 1, andMask, xorMask));
    ASSERT_TRUE(icon.valid());
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    const ScopedGdiObject mask(info.hbmMask), colour(info.hbmColor);
    const HICON raw = icon.get();
    SetLastError(ERROR_OUTOFMEMORY);
    icon.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_OUTOFMEMORY), GetLastError());
    ICONINFO after{};
    EXPECT_FALSE(GetIconInfo(raw, &after));
}

TEST(ScopedLibraryTest, LooksUpTypedExportsAndFreesTheLibraryKeepingTheLastError)
{
    ScopedLibrary kernel(L"kernel32.dll");
    ASSERT_TRUE(kernel.valid());
    using GetId = DWORD(WINAPI*)();
    const GetId getId = kernel.function<GetId>("GetCurrentProcessId");
    ASSERT_NE(nullptr, getId);
    EXPECT_EQ(GetCurrentProcessId(), getId());
    EXPECT_EQ(nullptr, kernel.function<GetId>("NoSuchExportOfOndrivex"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    SetLastError(ERROR_NOT_READY);
    kernel.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError());
}

TEST(ScopedLibraryTest, AMissingLibraryGivesNoFunctions)
{
    ScopedLibrary missing(L"ondrivex-no-such-library.dll");
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, missing.function<FARPROC>("anything"));
}

} // namespace
