#include <gtest/gtest.h>

#include <map>

#include "shared/monitoring/ProcessController.h"

namespace {

class ProcessControllerProbe : public ProcessController {
public:
    using ProcessController::chooseProcess;
};

// Sessions of the processes in the tests below; unknown ids fail the look-up.
std::map<uint32_t, uint32_t>& sessions()
{
    static std::map<uint32_t, uint32_t> table;
    return table;
}

bool lookUp(uint32_t id, uint32_t& session)
{
    const auto found = sessions().find(id);
    if (found == sessions().end())
        return false;
    session = found->second;
    return true;
}

std::vector<ProcessController::ProcessEntry> list(
    std::initializer_list<std::pair<uint32_t, const wchar_t*>> entries)
{
    std::vector<ProcessController::ProcessEntry> out;
    for (const auto& e : entries) {
        ProcessController::ProcessEntry p;
        p.id = e.first;
        p.exeName = e.second;
        out.push_back(p);
    }
    return out;
}

class ProcessControllerTest : public ::testing::Test {
protected:
    void SetUp() override { sessions() = {{100, 0}, {200, 3}, {300, 1}, {400, 1}, {500, 2}}; }
};

TEST_F(ProcessControllerTest, PrefersAMatchInTheConsoleSession)
{
    const auto processes = list({{100, L"Ondrivex.exe"},
                                 {200, L"ondrivex.exe"},
                                 {300, L"ONDRIVEX.EXE"},
                                 {400, L"Ondrivex.exe"}});
    EXPECT_EQ(300u, ProcessControllerProbe::chooseProcess(processes, L"Ondrivex.exe", 1, &lookUp));
    EXPECT_EQ(200u, ProcessControllerProbe::chooseProcess(processes, L"Ondrivex.exe", 3, &lookUp));
}

TEST_F(ProcessControllerTest, OtherwiseTheFirstMatchAnywhere)
{
    const auto processes =
        list({{100, L"svchost.exe"}, {200, L"Ondrivex.exe"}, {500, L"Ondrivex.exe"}});
    EXPECT_EQ(200u, ProcessControllerProbe::chooseProcess(processes, L"ondrivex.exe", 1, &lookUp));
    EXPECT_EQ(ProcessController::NotFound,
              ProcessControllerProbe::chooseProcess(processes, L"Ondrivex", 1, &lookUp));
    EXPECT_EQ(ProcessController::NotFound,
              ProcessControllerProbe::chooseProcess({}, L"Ondrivex.exe", 1, &lookUp));
}

TEST_F(ProcessControllerTest, AProcessOfUnknownSessionCountsAsConsole)
{
    // 777 has no session entry: it ended, or may not be asked.
    const auto processes =
        list({{200, L"explorer.exe"}, {777, L"Explorer.EXE"}, {300, L"explorer.exe"}});
    EXPECT_EQ(777u, ProcessControllerProbe::chooseProcess(processes, L"explorer.exe", 1, &lookUp));
    EXPECT_EQ(200u, ProcessControllerProbe::chooseProcess(processes, L"explorer.exe", 1, nullptr));
}

} // namespace
