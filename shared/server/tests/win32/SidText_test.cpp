#include <gtest/gtest.h>

#include <vector>

#include "base/win32/WindowsSupport.h"
#include <oleauto.h>
#include <sddl.h>

#include "shared/server/win32/SidText.h"

namespace {

// The system's own conversion is the independent reader for ordinary SIDs.
std::wstring systemText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return L"(failed)";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

TEST(SidTextTest, MatchesTheSystemForWellKnownAndAccountSids)
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    EXPECT_EQ(SidText::fromSid(admins), L"S-1-5-32-544");
    EXPECT_EQ(SidText::fromSid(admins), systemText(admins));
    FreeSid(admins);

    PSID domainUser = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 5, 21, 4294967295u, 123456789, 987654321, 1001, 0, 0,
                                         0, &domainUser));
    EXPECT_EQ(SidText::fromSid(domainUser), L"S-1-5-21-4294967295-123456789-987654321-1001");
    EXPECT_EQ(SidText::fromSid(domainUser), systemText(domainUser));
    FreeSid(domainUser);

    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPECT_EQ(SidText::fromSid(everyone), L"S-1-1-0");
    FreeSid(everyone);
}

TEST(SidTextTest, AuthorityBeyondThirtyTwoBitsIsWrittenInHex)
{
    SID_IDENTIFIER_AUTHORITY big = {{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&big, 1, 7, 0, 0, 0, 0, 0, 0, 0, &sid));
    EXPECT_EQ(SidText::fromSid(sid), L"S-1-0x123456789abc-7");
    FreeSid(sid);
}

TEST(SidTextTest, InvalidSidsGiveEmptyText)
{
    EXPECT_EQ(SidText::fromSid(nullptr), L"");
    BYTE garbage[16] = {9, 1, 0, 0, 0, 0, 0, 5, 1, 0, 0, 0};
    EXPECT_EQ(SidText::fromSid(garbage), L"");
}

SAFEARRAY* byteArray(const BYTE* bytes, ULONG n)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, n);
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    memcpy(data, bytes, n);
    SafeArrayUnaccessData(array);
    return array;
}

TEST(SidTextTest, DirectoryVariantHoldingASid)
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &sid));
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = byteArray(static_cast<BYTE*>(sid), GetLengthSid(sid));
    std::wstring text = L"stale";
    EXPECT_TRUE(SidText::fromVariant(&value, text));
    EXPECT_EQ(text, L"S-1-5-32-545");
    VariantClear(&value);

    // A SID whose stated length runs past the bytes is refused.
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = byteArray(static_cast<BYTE*>(sid), GetLengthSid(sid) - 4);
    text = L"stale";
    EXPECT_FALSE(SidText::fromVariant(&value, text));
    VariantClear(&value);
    FreeSid(sid);

    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"S-1-5-32-545");
    EXPECT_FALSE(SidText::fromVariant(&value, text));
    VariantClear(&value);
}

} // namespace
