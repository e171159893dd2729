// The queue on Windows: where it lives, its hidden attribute as another
// program sees it, and other processes holding the file.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/File.h"
#include "base/Msg.h"
#include "base/win32/WindowsSupport.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/QueueFile.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

Msg* stateChange(int index, int padding = 0)
{
    auto* msg = new Msg;
    msg->setType(Msg::SYSTEM_STATE_CHANGE);
    msg->setAttributeValue(L"Index", index);
    msg->setAttributeValue(L"SystemState", std::wstring(L"Available"));
    if (padding > 0) {
        std::vector<uint8_t> bytes(static_cast<size_t>(padding), 0x5A);
        msg->setAttributeValue(L"Payload", new ByteArray(bytes.data(), padding));
    }
    return msg;
}

std::vector<int> drain(FileMsgQueue& queue)
{
    std::vector<int> out;
    while (Msg* msg = queue.popMessage()) {
        int index = -1;
        msg->getAttributeValue(L"Index", index);
        out.push_back(index);
        delete msg;
    }
    return out;
}

std::vector<int> range(int from, int to)
{
    std::vector<int> out;
    for (int i = from; i < to; ++i)
        out.push_back(i);
    return out;
}

// The attribute letters that the system's attrib.exe shows for the file.
std::string attribFlags(const std::wstring& path)
{
    std::string output;
    unsigned long exitCode = 0;
    if (!testsupport::runCapturingOutput(L"attrib.exe \"" + path + L"\"", output, exitCode))
        return "(attrib.exe did not start)";
    // "A    H        C:\...\name": the letters before the path.
    const size_t drive = output.find(":\\");
    if (drive == std::string::npos || drive < 1) {
        for (char& c : output)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return "(unexpected: " + output + ")";
    }
    return output.substr(0, drive - 1);
}

int64_t sizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class FileMsgQueueWindowsTest : public ::testing::Test {
protected:
    FileMsgQueueWindowsTest() : m_name(testsupport::uniqueName(L"queue") + L".dat")
    {
        File::initTempPath(false);
        m_path = File::getTempPath() + L"\\" + m_name;
        m_marker = m_path + L".held";
        removeAll();
    }
    ~FileMsgQueueWindowsTest() override
    {
        m_holder.reset();
        removeAll();
    }
    void removeAll()
    {
        SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        testsupport::removeFile(m_path);
        testsupport::removeFile(m_path + L".shift");
        testsupport::removeFile(m_marker);
    }
    // Starts the helper holding the queue file; false when it gave up.
    bool hold(const wchar_t* mode)
    {
        m_holder = std::make_unique<testsupport::ChildProcess>();
        if (!m_holder->start(testsupport::helperProgram(L"srv_queue_holder"),
                             {m_path, m_marker, mode}))
            return false;
        return testsupport::eventually([&] {
                   int code = 0;
                   return testsupport::fileExists(m_marker) || m_holder->wait(0, code);
               }) &&
               testsupport::fileExists(m_marker);
    }
    void release()
    {
        int code = -1;
        m_holder->closeInput();
        ASSERT_TRUE(m_holder->wait(20000, code));
        EXPECT_EQ(code, 0);
        m_holder.reset();
    }

    std::wstring m_name, m_path, m_marker;
    std::unique_ptr<testsupport::ChildProcess> m_holder;
};

TEST_F(FileMsgQueueWindowsTest, TheQueueLivesHiddenInTheWindowsTemporaryFolder)
{
    wchar_t system[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, system), 0u);
    FileMsgQueue queue(m_name);
    const std::wstring folder = m_path.substr(0, m_path.rfind(L'\\'));
    EXPECT_TRUE(testsupport::sameFolder(folder, std::wstring(system) + L"Ondrivex")) << folder;
    EXPECT_EQ(queue.getPath(), m_path);
    EXPECT_NE(attribFlags(m_path).find('H'), std::string::npos)
        << "new file: " << attribFlags(m_path);

    // Still hidden after the file was recreated by a pop that emptied it.
    queue.pushMessage(stateChange(1));
    delete queue.popMessage();
    EXPECT_NE(attribFlags(m_path).find('H'), std::string::npos)
        << "recreated: " << attribFlags(m_path);
}

TEST_F(FileMsgQueueWindowsTest, TheQueueStaysHiddenThroughCompaction)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    int pushed = 0;
    while (sizeOf(m_path) <= FileMsgQueue::s_COMPACTION_THRESHOLD)
        queue.pushMessage(stateChange(pushed++, 1 << 20));
    delete queue.popMessage();
    queue.pushMessage(stateChange(pushed++, 1 << 20));
    EXPECT_EQ(events.count(1063505), 0u) << "compaction should have run";
    EXPECT_LT(sizeOf(m_path), int64_t(pushed) << 20);
    EXPECT_NE(attribFlags(m_path).find('H'), std::string::npos) << attribFlags(m_path);
    EXPECT_EQ(drain(queue), range(1, pushed));
}

TEST_F(FileMsgQueueWindowsTest, ASecondProcessHoldingTheFileDoesNotCorruptIt)
{
    FileMsgQueue queue(m_name);
    for (int i = 0; i < 3; ++i)
        queue.pushMessage(stateChange(i));
    ASSERT_TRUE(hold(L"hold"));
    for (int i = 3; i < 6; ++i)
        queue.pushMessage(stateChange(i));
    ASSERT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 6);
    queue.close();
    // Emptying the queue recreates the file while the other process has it.
    EXPECT_EQ(drain(queue), range(0, 6));
    queue.pushMessage(stateChange(6));
    queue.pushMessage(stateChange(7));
    release();
    EXPECT_EQ(drain(queue), range(6, 8));
}

TEST_F(FileMsgQueueWindowsTest, ACompactionWhileAnotherProcessHoldsTheFileLosesNothing)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    int pushed = 0;
    while (sizeOf(m_path) <= FileMsgQueue::s_COMPACTION_THRESHOLD)
        queue.pushMessage(stateChange(pushed++, 1 << 20));
    delete queue.popMessage();
    ASSERT_TRUE(hold(L"hold"));
    // Windows refuses to replace a file another process holds without
    // sharing its deletion; then compaction waits for a later push.
    queue.pushMessage(stateChange(pushed++, 1 << 20));
    release();
    EXPECT_FALSE(testsupport::fileExists(m_path + L".shift"));
    EXPECT_EQ(drain(queue), range(1, pushed));
    if (events.count(1063505) == 0)
        std::printf("note: the held queue file was replaced (compaction ran)\n");
}

TEST_F(FileMsgQueueWindowsTest, ARecordAreaLockedByAnotherProcessLosesOnlyThePushedMessage)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    queue.pushMessage(stateChange(0));
    ASSERT_TRUE(hold(L"lock"));
    const std::vector<uint8_t> before = testsupport::readFile(m_path); // the table is not locked
    queue.pushMessage(stateChange(1));
    const bool refused = events.count(1063504) == 1;
    // A pop cannot read the locked record: it stays for later.
    Msg* early = queue.popMessage();
    delete early;
    release();
    if (!refused) {
        EXPECT_EQ(events.count(1063504), 0u);
        GTEST_SKIP()
            << "Wine does not enforce byte-range locks on writes; Windows refuses the write";
    }
    EXPECT_EQ(early, nullptr);
    EXPECT_EQ(events.count(1063507), 1u);
    EXPECT_EQ(std::vector<uint8_t>(testsupport::readFile(m_path).begin(),
                                   testsupport::readFile(m_path).begin() + 8),
              std::vector<uint8_t>(before.begin(), before.begin() + 8));
    queue.pushMessage(stateChange(2));
    EXPECT_EQ(drain(queue), std::vector<int>({0, 2}));
    EXPECT_EQ(events.count(1063501), 0u);
}

} // namespace
