#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "base/Tools.h"
#include "shared/monitoring/ProcessController.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class ProcessControllerProbe : public ProcessController {
public:
    using ProcessController::getProcessID;
};

class ProcessControllerPosixTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
};

TEST_F(ProcessControllerPosixTest, FindsARunningProgramByNameInAnyCase)
{
    testsupport::TempFolder folder(L"ProcessControllerPosixTest");
    const std::wstring name = testsupport::uniqueName(L"TcSleeper");
    const std::wstring program = folder.file(name);
    std::filesystem::copy_file("/bin/sleep", std::filesystem::path(program));
    testsupport::ChildProcess child;
    ASSERT_TRUE(child.start(program, {L"30"}));

    std::wstring lower = name;
    Tools::stringToLower(lower);
    // The child may still be the test's own image for a moment after the spawn.
    uint32_t found = ProcessController::NotFound;
    for (int i = 0; i < 500 && found == ProcessController::NotFound; ++i) {
        found = ProcessControllerProbe::getProcessID(lower.c_str());
        if (found == ProcessController::NotFound)
            usleep(10000);
    }
    EXPECT_EQ(child.id(), found);
    EXPECT_TRUE(ProcessController::isProcessRunning(name.c_str()));

    child.kill();
    EXPECT_FALSE(ProcessController::isProcessRunning(name.c_str()));
    EXPECT_TRUE(m_events.withId(1063908).empty());
}

TEST_F(ProcessControllerPosixTest, StartingWithoutAShellFailsWith1063911)
{
    // A Wine desktop running beside the tests has an explorer.exe process,
    // which this machine otherwise never has.
    if (ProcessController::isProcessRunning(L"explorer.exe"))
        GTEST_SKIP() << "an explorer.exe (a Wine desktop) runs on this machine";
    EXPECT_FALSE(ProcessController::startProcess(L"/bin/true"));
    const std::vector<testsupport::CapturedEvent> traced = m_events.withId(1063911);
    ASSERT_EQ(1u, traced.size());
    EXPECT_EQ(L"Can not find explorer.exe process", traced[0].description);
    EXPECT_NE(std::wstring::npos, traced[0].details.find(L"ProcessID"));
    EXPECT_FALSE(traced[0].logged);
    EXPECT_TRUE(m_events.withId(1063907).empty());
}

} // namespace
