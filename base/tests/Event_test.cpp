#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Tools.h"

namespace {

TEST(EventTest, ConstructorsDefaultToErrorWithEmptyDetails)
{
    Event bare(7, TC_AT(L"A::b"));
    EXPECT_EQ(bare.getType(), Event::Error);
    EXPECT_EQ(bare.getDescription(), L"");
    EXPECT_EQ(bare.getDetails(), L"");
    EXPECT_EQ(bare.getException(), nullptr);

    Event info(8, L"hello", Event::Info, TC_AT(L"A::b"));
    EXPECT_EQ(info.getType(), Event::Info);

    const Exception e(1, L"x", TC_AT(L"f"));
    Event withException(9, &e, TC_AT(L"A::b"));
    EXPECT_EQ(withException.getException(), &e);
    EXPECT_EQ(withException.getType(), Event::Error);
}

TEST(EventTest, DetailsUseColonForTextAndColonBlankForNumbers)
{
    Event e(1, L"d", TC_AT(L"f"));
    e.addDetails(L"Path", L"C:\\x");
    e.addDetails(L"Code", 5);
    EXPECT_EQ(e.getDetails(), L" Path:C:\\x Code: 5");
}

TEST(EventTest, LineWithoutHeadersIsDescriptionBlankDetailsCrLf)
{
    Event e(1050702, L"Mutex Wait Abandoned", TC_AT(L"Mutex::lock"));
    e.addDetails(L"Name", L"m");
    EXPECT_EQ(e.toString(false), L"Mutex Wait Abandoned  Name:m\r\n");
    EXPECT_FALSE(e.getIncludeHeaders());
}

TEST(EventTest, LineWithHeadersStartsWithTimeLabelAndId)
{
    Event e(1050702, L"Mutex Wait Abandoned", TC_AT(L"Mutex::lock"));
    const std::string line = Tools::narrowWideString(e.toString(true));
    EXPECT_TRUE(std::regex_match(
        line,
        std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d Error   1050702 Mutex Wait Abandoned \r\n)")))
        << line;
}

TEST(EventTest, EveryTypeLabelIsEightCharacters)
{
    EXPECT_STREQ(Event::typeLabel(0), L"Info    ");
    EXPECT_STREQ(Event::typeLabel(1), L"Error   ");
    EXPECT_STREQ(Event::typeLabel(2), L"Warning ");
    EXPECT_STREQ(Event::typeLabel(7), L"Error   ");
    Event odd(1, L"x", 7, TC_AT(L"f"));
    EXPECT_NE(odd.toString(true).find(L" Error   1 x "), std::wstring::npos);
}

TEST(EventTest, AttachedExceptionFollowsTheDetails)
{
    const Exception ex(1050601, L"Unsupported Message Version", TC_AT(L"Msg::fromByteArray"));
    Event e(42, &ex, L"parse failed", TC_AT(L"f"));
    e.addDetails(L"Size", 3);
    EXPECT_EQ(e.toString(false), L"parse failed  Size: 3 Exception: " + ex.toString() + L"\r\n");
    std::wostringstream out;
    out << e;
    EXPECT_EQ(out.str(), e.toString(false));
}

TEST(EventTest, SystemErrorInfoAddsIdAndText)
{
    Event e(1, L"d", TC_AT(L"f"));
    Tools::setLastSystemError(2);
    e.addSystemErrorInfo();
    const std::wstring text = Tools::lookupErrorDescription(2);
    EXPECT_EQ(e.getDetails(), L" System Error ID: 2 System Error Description:" + text);
}

} // namespace

namespace {

Event eventOnBehalf(const SourceLocation& at)
{
    return Event(12, L"from a helper", Event::Warning, at);
}

TEST(EventTest, ALocationValueNamesTheCallersLine)
{
    const int line = __LINE__ + 1;
    const Event event = eventOnBehalf(TC_HERE(L"Caller::run"));
    EXPECT_EQ(line, event.getLine());
    EXPECT_STREQ(L"Caller::run", event.getFunction());
    EXPECT_EQ(Event::Warning, event.getType());
    EXPECT_EQ(std::wstring(L"from a helper"), event.getDescription());

    const SourceLocation at = TC_HERE(L"A::b");
    const Exception e(1, L"x", at);
    EXPECT_EQ(at.line, Event(1, at).getLine());
    EXPECT_EQ(L"d", Event(2, L"d", at).getDescription());
    EXPECT_EQ(&e, Event(3, &e, L"d", at).getException());
    EXPECT_EQ(&e, Event(4, &e, at).getException());
    EXPECT_STREQ(L"A::b", Event(4, &e, at).getFunction());
}

} // namespace
