#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using Sink = std::shared_ptr<testsupport::EventJournal>;

// Lets a raised access violation resume after RaiseException, so the test
// survives the fault once the handler under test has seen it.
LONG CALLBACK resumeAfterRaise(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
        pointers->ExceptionRecord->ExceptionInformation[1] == 0x1234)
        return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

class ProcessorExceptionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Logger::initialise(testsupport::uniqueName(L"ProcessorExceptionTest"));
        Logger::addCustomTraceDevice(new testsupport::CaptureDevice(m_sink));
        m_resume = AddVectoredExceptionHandler(0, resumeAfterRaise);
    }
    void TearDown() override
    {
        RemoveVectoredExceptionHandler(m_resume);
        Registry(Registry::LocalMachine).deleteValue(L"Win32ExceptionHandler");
        Logger::shutDown();
    }
    void registerWithMode(int mode)
    {
        ASSERT_TRUE(Registry(Registry::LocalMachine).write(L"Win32ExceptionHandler", mode));
        Exception::registerWin32ExceptionHandler();
        ASSERT_EQ(Exception::getWin32ExceptionMode(), mode);
    }
    static void raiseAccessViolation()
    {
        const ULONG_PTR info[2] = {1, 0x1234}; // a write to address 0x1234
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, info);
    }

    testsupport::MachineSettingsLock m_machineSettings;
    Sink m_sink = std::make_shared<testsupport::EventJournal>();
    PVOID m_resume = nullptr;
};

TEST_F(ProcessorExceptionTest, ModeOneTracesTheFaultWithItsParameters)
{
    registerWithMode(1);
    raiseAccessViolation();
    ASSERT_EQ(m_sink->size(), 1u);
    const testsupport::CapturedEvent& event = m_sink->at(0);
    EXPECT_EQ(event.id, 1051402u);
    EXPECT_EQ(event.description, L"Win32 exception translate function called");
    EXPECT_NE(event.exception.find(L"ID: 1051401 Desc: Win32 exception (Param 1: 0xc0000005) "
                                   L" (Param 2: 0x0) "),
              std::wstring::npos)
        << event.exception;
    // Then the address and the record's two parameters.
    EXPECT_NE(event.exception.find(L"(Param 4: 0x1)  (Param 5: 0x1234) "), std::wstring::npos)
        << event.exception;
}

TEST_F(ProcessorExceptionTest, ModeTwoLeavesTheFaultAlone)
{
    registerWithMode(2);
    raiseAccessViolation();
    EXPECT_TRUE(m_sink->empty());
}

TEST_F(ProcessorExceptionTest, ModeZeroInstallsNothing)
{
    registerWithMode(0);
    raiseAccessViolation();
    EXPECT_TRUE(m_sink->empty());
}

TEST_F(ProcessorExceptionTest, SoftwareExceptionsAreNotProcessorFaults)
{
    registerWithMode(1);
    // The debugger-output exception is raised and handled inside the system.
    OutputDebugStringW(L"not a fault");
    EXPECT_TRUE(m_sink->empty());
}

TEST(ProcessorExceptionTranslateTest, BuildsTheExceptionFromARecord)
{
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    record.ExceptionFlags = 1;
    record.ExceptionAddress = reinterpret_cast<PVOID>(0x401000);
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    const Exception e = Exception::translate(record.ExceptionCode, &pointers);
    EXPECT_EQ(e.getExceptionID(), 1051401);
    EXPECT_STREQ(e.getFunction(), L"Exception::translate");
    EXPECT_EQ(e.getDescription(),
              L"Win32 exception (Param 1: 0xc0000094)  (Param 2: 0x1)  (Param 3: 0x401000) ");
    EXPECT_EQ(e.getParameterCount(), 3);
}

} // namespace
