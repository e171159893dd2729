#include "client/CCustomCommandLineInfo.h"

#include <gtest/gtest.h>

namespace {

CCustomCommandLineInfo parsed(const std::vector<std::wstring>& arguments)
{
    CCustomCommandLineInfo info;
    info.parse(arguments);
    return info;
}

TEST(CCustomCommandLineInfoTest, NothingSetWithoutArguments)
{
    CCustomCommandLineInfo info = parsed({});
    EXPECT_FALSE(info.m_stopClient);
    EXPECT_FALSE(info.m_installStart);
    EXPECT_FALSE(info.m_uninstallService);
}

TEST(CCustomCommandLineInfoTest, EachOptionBareWithSlashOrDash)
{
    for (const wchar_t* prefix : {L"", L"/", L"-"}) {
        std::wstring p(prefix);
        EXPECT_TRUE(parsed({p + L"installstart"}).m_installStart) << prefix;
        EXPECT_TRUE(parsed({p + L"stopClient"}).m_stopClient) << prefix;
        EXPECT_TRUE(parsed({p + L"uninstallservice"}).m_uninstallService) << prefix;
    }
}

TEST(CCustomCommandLineInfoTest, OnlyTheLastArgumentCounts)
{
    CCustomCommandLineInfo info = parsed({L"stopClient", L"other"});
    EXPECT_FALSE(info.m_stopClient);
    EXPECT_FALSE(info.m_installStart);
    info = parsed({L"installstart", L"/uninstallservice"});
    EXPECT_FALSE(info.m_installStart);
    EXPECT_TRUE(info.m_uninstallService);
}

TEST(CCustomCommandLineInfoTest, NamesAreCaseSensitive)
{
    EXPECT_FALSE(parsed({L"stopclient"}).m_stopClient);
    EXPECT_FALSE(parsed({L"InstallStart"}).m_installStart);
    EXPECT_FALSE(parsed({L"//installstart"}).m_installStart);
}

} // namespace
