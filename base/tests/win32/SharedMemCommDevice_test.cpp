#include <gtest/gtest.h>

#include <aclapi.h>

#include "base/win32/ScopedHandle.h"
#include "base/SharedMemCommDevice.h"
#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using testsupport::eventually;
using testsupport::CapturedEvent;

namespace {

// The mandatory label of a kernel object: true with its integrity level
// (the SID's last sub-authority) and access policy when it has one.
bool readLabel(HANDLE object, DWORD& level, DWORD& policy)
{
    PACL sacl = reinterpret_cast<PACL>(0xdeadbeef);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, &sacl, &descriptor) != ERROR_SUCCESS)
        return false;
    ScopedLocalMemory owner(descriptor);
    if (sacl == nullptr || sacl == reinterpret_cast<PACL>(0xdeadbeef))
        return false;
    for (DWORD i = 0; i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(sacl, i, &ace))
            continue;
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)
            continue;
        auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
        PSID sid = &label->SidStart;
        level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
        policy = label->Mask;
        return true;
    }
    return false;
}

class SharedMemChannelWin32Test : public ::testing::Test {
protected:
    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"ChannelWin32Test")};
    std::wstring m_channel = testsupport::uniqueName(L"ChannelWin32Test");
};

TEST_F(SharedMemChannelWin32Test, BlockAndLockAreOpenToLowIntegrityWriters)
{
    SharedMemCommDevice device(m_channel, SharedMemCommDevice::Writer);
    ASSERT_TRUE(device.setup());
    EXPECT_EQ(m_trace.count(1050910) + m_trace.count(1050911) + m_trace.count(1050912), 0u)
        << "lowering the integrity failed";

    ScopedKernelHandle mapping(
        OpenFileMappingW(READ_CONTROL, FALSE, device.getBlockName().c_str()));
    ScopedKernelHandle lock(OpenMutexW(READ_CONTROL, FALSE, device.getLockName().c_str()));
    ASSERT_TRUE(mapping.valid());
    ASSERT_TRUE(lock.valid());
    for (HANDLE object : {mapping.get(), lock.get()}) {
        DWORD level = 0xdeadbeef;
        DWORD policy = 0xdeadbeef;
        if (!readLabel(object, level, policy) && testsupport::TestProcess::runningUnderWine())
            GTEST_SKIP()
                << "Wine accepts a mandatory label on a kernel object but does not report it back";
        ASSERT_TRUE(readLabel(object, level, policy));
        EXPECT_EQ(level, static_cast<DWORD>(SECURITY_MANDATORY_LOW_RID));
        EXPECT_EQ(policy & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP,
                  static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
    }
}

TEST_F(SharedMemChannelWin32Test, ABlockTooSmallToMapLeavesTheDeviceIdle)
{
    const std::wstring blockName = Tools::createLocalObjectName(m_channel) + L".mem";
    // Someone else made a block of this name, far too small.
    ScopedKernelHandle squatter(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                   4096, blockName.c_str()));
    ASSERT_TRUE(squatter.valid());

    SharedMemCommDevice device(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(device.startThread(nullptr));
    CapturedEvent e{};
    ASSERT_TRUE(m_trace.waitFor(1050909, e));
    EXPECT_EQ(e.description, L"An exception occured while creating shared global memory");
    EXPECT_EQ(e.exceptionId, 1050904);
    EXPECT_NE(e.exceptionText.find(L"Error occurred mapping shared memory"), std::wstring::npos);
    ASSERT_TRUE(m_trace.waitFor(1051002, e)) << "the thread went on after the failed setup";
    ASSERT_TRUE(eventually([&] { return device.getThreadState() == Thread::Finished; }));
    EXPECT_FALSE(device.sendReceiveMsgs());
}

} // namespace
