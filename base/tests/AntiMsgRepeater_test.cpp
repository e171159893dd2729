#include <gtest/gtest.h>

#include "base/AntiMsgRepeater.h"

namespace {

Msg make(Msg::MsgType type)
{
    Msg msg;
    msg.setType(type);
    return msg;
}

Msg report(int hwnd, const std::wstring& s1, const std::wstring& s2, const std::wstring& s3,
           const std::wstring& quality)
{
    Msg msg = make(Msg::PLUGIN_INFO);
    msg.setAttributeValue(L"HWND", hwnd);
    msg.setAttributeValue(L"ContextString1", s1);
    msg.setAttributeValue(L"ContextString2", s2);
    msg.setAttributeValue(L"ContextString3", s3);
    msg.setAttributeValue(L"PluginInfoQuality", quality);
    return msg;
}

Msg appChange(const std::wstring& s2, const char* hash)
{
    Msg msg = make(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"ContextString1", std::wstring(L"one"));
    msg.setAttributeValue(L"ContextString2", s2);
    msg.setAttributeValue(L"ContextString3", std::wstring(L"three"));
    if (hash != nullptr)
        msg.setAttributeValue(L"ApplicationHash", new ByteArray(hash, 4));
    return msg;
}

// True when b repeats a after a was recorded.
bool repeats(const Msg& a, const Msg& b)
{
    AntiMsgRepeater repeater;
    repeater.setLastSentMsgDetails(&a);
    return repeater.isEquivalentToLastSentMsg(&b);
}

TEST(AntiMsgRepeaterTest, OtherTypesRepeatOnTheTypeAlone)
{
    Msg a = make(Msg::SYSTEM_EVENT);
    a.setAttributeValue(L"Event", 1);
    Msg b = make(Msg::SYSTEM_EVENT);
    b.setAttributeValue(L"Event", 2);
    b.setAttributeValue(L"Other", std::wstring(L"x"));
    EXPECT_TRUE(repeats(a, b));
    EXPECT_FALSE(repeats(a, make(Msg::USER_INFO_UPDATE)));
}

TEST(AntiMsgRepeaterTest, SystemStateChangesCompareTheState)
{
    Msg a = make(Msg::SYSTEM_STATE_CHANGE);
    a.setAttributeValue(L"SystemState", std::wstring(L"Idle"));
    a.setAttributeValue(L"Extra", 1);
    Msg same = make(Msg::SYSTEM_STATE_CHANGE);
    same.setAttributeValue(L"SystemState", std::wstring(L"Idle"));
    Msg other = make(Msg::SYSTEM_STATE_CHANGE);
    other.setAttributeValue(L"SystemState", std::wstring(L"Locked"));
    EXPECT_TRUE(repeats(a, same));
    EXPECT_FALSE(repeats(a, other));
    EXPECT_FALSE(repeats(a, make(Msg::SYSTEM_STATE_CHANGE))) << "a missing state reads as empty";
}

TEST(AntiMsgRepeaterTest, ApplicationChangesCompareHashesOnlyWhenBothHaveOne)
{
    EXPECT_TRUE(repeats(appChange(L"doc", "AAAA"), appChange(L"doc", "AAAA")));
    EXPECT_FALSE(repeats(appChange(L"doc", "AAAA"), appChange(L"doc", "AAAB")));
    EXPECT_TRUE(repeats(appChange(L"doc", "AAAA"), appChange(L"doc", nullptr)));
    EXPECT_TRUE(repeats(appChange(L"doc", nullptr), appChange(L"doc", "AAAB")));
    EXPECT_FALSE(repeats(appChange(L"doc", "AAAA"), appChange(L"other", "AAAA")));
}

TEST(AntiMsgRepeaterTest, PluginReportsCompareWindowContextAndQuality)
{
    const Msg a = report(7, L"a", L"b", L"c", L"FirstClass");
    EXPECT_TRUE(repeats(a, report(7, L"a", L"b", L"c", L"FirstClass")));
    EXPECT_FALSE(repeats(a, report(7, L"a", L"b", L"c", L"SecondClass")));
    EXPECT_FALSE(repeats(a, report(8, L"a", L"b", L"c", L"FirstClass")));
    EXPECT_FALSE(repeats(a, report(7, L"a", L"x", L"c", L"FirstClass")));
    EXPECT_FALSE(repeats(a, report(7, L"a", L"b", L"x", L"FirstClass")));

    // A missing window counts as window 0; a missing string as empty.
    Msg bare = make(Msg::PLUGIN_INFO);
    EXPECT_TRUE(repeats(report(0, L"", L"", L"", L""), bare));
    EXPECT_FALSE(repeats(report(1, L"", L"", L"", L""), bare));
}

TEST(AntiMsgRepeaterTest, RecordingKeepsACopyAndIgnoresNull)
{
    AntiMsgRepeater repeater;
    Msg first = report(1, L"a", L"b", L"c", L"FirstClass");
    repeater.setLastSentMsgDetails(&first);
    first.setAttributeValue(L"ContextString1", std::wstring(L"changed after recording"));
    EXPECT_FALSE(repeater.isEquivalentToLastSentMsg(&first));
    const Msg again = report(1, L"a", L"b", L"c", L"FirstClass");
    EXPECT_TRUE(repeater.isEquivalentToLastSentMsg(&again));

    repeater.setLastSentMsgDetails(nullptr);
    EXPECT_TRUE(repeater.isEquivalentToLastSentMsg(&again)) << "null replaced the recorded message";
    EXPECT_FALSE(repeater.isEquivalentToLastSentMsg(nullptr));
}

TEST(AntiMsgRepeaterTest, AFreshRepeaterTakesNoRealReportForARepeat)
{
    AntiMsgRepeater repeater;
    const Msg a = report(0, L"", L"", L"", L"");
    EXPECT_FALSE(repeater.isEquivalentToLastSentMsg(&a));
    const Msg state = make(Msg::SYSTEM_STATE_CHANGE);
    EXPECT_FALSE(repeater.isEquivalentToLastSentMsg(&state));
}

} // namespace
