#include <gtest/gtest.h>

#include <sstream>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "base/Tools.h"

namespace {

TEST(ExceptionTest, RecordsWhereItWasRaisedAndItsKind)
{
    const Exception plain(1234567, L"plain", TC_AT(L"Widget::frob"));
    EXPECT_EQ(plain.getExceptionType(), Exception::PlainKind);
    EXPECT_EQ(plain.getExceptionID(), 1234567);
    EXPECT_EQ(plain.getDescription(), L"plain");
    EXPECT_STREQ(plain.getFunction(), L"Widget::frob");
    EXPECT_EQ(std::wstring(plain.getFile()), L"base/tests/Exception_test.cpp");
    EXPECT_GT(plain.getLine(), 0);

    EXPECT_EQ(SystemException(1, L"s", TC_AT(L"f")).getExceptionType(), 1);
    EXPECT_EQ(CommsException(1, L"c", TC_AT(L"f")).getExceptionType(), 2);
}

TEST(ExceptionTest, ParametersAreNumberedAndSpacedAsInTheLog)
{
    Exception e(1, L"D", TC_AT(L"f"));
    e.addParameter(L"a");
    e.addParameter(L"b");
    EXPECT_EQ(e.getDescription(), L"D (Param 1: a)  (Param 2: b) ");
    e.addParameter(-42);
    EXPECT_EQ(e.getDescription(), L"D (Param 1: a)  (Param 2: b)  (Param 3: -42) ");
    EXPECT_EQ(e.getParameterCount(), 3);
}

TEST(ExceptionTest, ErrorInfoZeroLeavesTheDescriptionAlone)
{
    Exception e(1, L"D", TC_AT(L"f"));
    e.addErrorInfo(0);
    EXPECT_EQ(e.getDescription(), L"D");
}

TEST(ExceptionTest, ErrorInfoAppendsTheSystemTextAndCode)
{
    Exception e(1, L"D", TC_AT(L"f"));
    const unsigned long code = 2; // "file not found" on both platforms
    const std::wstring text = Tools::lookupErrorDescription(code);
    ASSERT_FALSE(text.empty());
    e.addErrorInfo(code);
    EXPECT_EQ(e.getDescription(), L"D : " + text + L" (2)");
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
}

TEST(ExceptionTest, SystemErrorInfoUsesTheThreadsLastError)
{
    Tools::setLastSystemError(5);
    SystemException e(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
    Tools::setLastSystemError(5);
    e.addSystemErrorInfo();
    const std::wstring suffix = L" (5)";
    ASSERT_GE(e.getDescription().size(), suffix.size());
    EXPECT_EQ(e.getDescription().substr(e.getDescription().size() - suffix.size()), suffix);
    EXPECT_EQ(e.getDescription().rfind(L"Error Initialising Mutex : ", 0), 0u);
}

// The throw sites build the exception first and then read the error of the
// call that failed: making the exception (its stack trace) must not touch it.
TEST(ExceptionTest, ConstructionLeavesTheThreadsLastErrorAlone)
{
    const unsigned long sentinel = 0x2A; // set again before each construction
    Tools::setLastSystemError(sentinel);
    const SystemException system(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
    EXPECT_EQ(Tools::getLastSystemError(), sentinel);
    Tools::setLastSystemError(sentinel);
    const Exception plain(1, L"plain", TC_AT(L"f"));
    EXPECT_EQ(Tools::getLastSystemError(), sentinel);
    Tools::setLastSystemError(sentinel);
    const CommsException comms(2, L"comms", TC_AT(L"f"));
    EXPECT_EQ(Tools::getLastSystemError(), sentinel);
    Tools::setLastSystemError(sentinel);
    const Exception translated(3, L"translated", nullptr, TC_AT(L"f"));
    EXPECT_EQ(Tools::getLastSystemError(), sentinel);
}

TEST(ExceptionTest, SystemErrorInfoIsTheErrorSetBeforeConstruction)
{
    Tools::setLastSystemError(5);
    SystemException e(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
    e.addSystemErrorInfo();
    EXPECT_EQ(e.getDescription(),
              L"Error Initialising Mutex : " + Tools::lookupErrorDescription(5) + L" (5)");
}

TEST(ExceptionTest, ToStringAndStreamAgree)
{
    Exception e(1050601, L"Unsupported Message Version", TC_AT(L"Msg::fromByteArray"));
    e.setExceptionType(2);
    const std::wstring expected =
        L"Type: 2 ID: 1050601 Desc: Unsupported Message Version StackTrace: " + e.getStackTrace();
    EXPECT_EQ(e.toString(), expected);
    std::wostringstream out;
    out << e;
    EXPECT_EQ(out.str(), expected);
}

TEST(ExceptionTest, ThrownInsideTheLibraryIsCaughtHere)
{
    // The parser throws inside TCBase; on 32-bit Windows that unwinder has to
    // know this program's frames to reach the handler.
    Msg message;
    const uint8_t twoBytes[2] = {1, 0};
    try {
        message.fromByteArray(ByteArray(twoBytes, 2));
        FAIL() << "a two-byte message parsed";
    } catch (const Exception& e) {
        EXPECT_EQ(e.getExceptionID(), 1050609);
        EXPECT_EQ(e.getExceptionType(), Exception::CommsKind);
    }
}

} // namespace

namespace {

// A helper that raises on its caller's behalf, as SecurityDevice's cipher
// steps and ComponentInstaller's tracing do.
[[noreturn]] void failOnBehalf(const SourceLocation& at)
{
    throw CommsException(7, L"helper", at);
}

TEST(ExceptionTest, ALocationValueNamesTheCallersLine)
{
    const int line = __LINE__ + 2;
    try {
        failOnBehalf(TC_HERE(L"Caller::run"));
        FAIL() << "nothing thrown";
    } catch (const CommsException& e) {
        EXPECT_EQ(line, e.getLine());
        EXPECT_STREQ(L"Caller::run", e.getFunction());
        EXPECT_EQ(std::wstring(e.getFile()), L"base/tests/Exception_test.cpp");
        EXPECT_EQ(Exception::CommsKind, e.getExceptionType());
    }
    const SourceLocation at = TC_HERE(L"f");
    EXPECT_EQ(SystemException(1, L"s", at).getExceptionType(), Exception::SystemKind);
    EXPECT_EQ(Exception(Exception::CommsKind, 1, L"s", at).getExceptionType(),
              Exception::CommsKind);
    EXPECT_EQ(Exception(1, L"s", at).getLine(), at.line);
}

} // namespace
