#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QueueTestSupport.h"
#include "base/ByteArray.h"
#include "base/File.h"
#include "base/Msg.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/QueueFile.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using namespace queuetest;

namespace {

const int Table = FileMsgQueue::s_TABLE_SIZE;

Msg* stateChange(int index, const std::wstring& state = L"Available")
{
    auto* msg = new Msg;
    msg->setType(Msg::SYSTEM_STATE_CHANGE);
    msg->setAttributeValue(L"EventTime", 1700000000 + index);
    msg->setAttributeValue(L"Index", index);
    msg->setAttributeValue(L"SystemState", state);
    return msg;
}

// The same message built by hand, attributes in the order a writer emits them.
Bytes stateChangeWire(int index, const std::wstring& state = L"Available")
{
    return wireForm({intAttribute(L"EventTime", 1700000000 + index), intAttribute(L"Index", index),
                     intAttribute(L"MsgType", Msg::SYSTEM_STATE_CHANGE),
                     stringAttribute(L"SystemState", state)});
}

int indexOf(const Msg* msg)
{
    int index = -1;
    if (msg != nullptr)
        msg->getAttributeValue(L"Index", index);
    return index;
}

// Pops until empty; the indexes in order (-1 for a message without one).
std::vector<int> drain(FileMsgQueue& queue)
{
    std::vector<int> out;
    while (Msg* msg = queue.popMessage()) {
        out.push_back(indexOf(msg));
        delete msg;
    }
    return out;
}

Bytes zeros(size_t n)
{
    return Bytes(n, 0);
}

class FileMsgQueueTest : public ::testing::Test {
protected:
    FileMsgQueueTest() : m_name(testsupport::uniqueName(L"queue") + L".dat")
    {
        File::initTempPath(false);
        m_path = File::getTempPath() + File::Separator + m_name;
        testsupport::removeFile(m_path);
    }
    ~FileMsgQueueTest() override
    {
        testsupport::removeFile(m_path);
        testsupport::removeFile(m_path + L".shift");
    }

    Bytes file() const { return testsupport::readFile(m_path); }
    int64_t fileSize() const
    {
        QueueFile f(m_path);
        int64_t n = -1;
        if (f.open(false))
            f.size(n);
        return n;
    }
    void writeQueueFile(const Bytes& bytes) const { testsupport::writeFile(m_path, bytes); }

    std::wstring m_name;
    std::wstring m_path;
};

TEST_F(FileMsgQueueTest, NewQueueFileIsATableOfZeros)
{
    FileMsgQueue queue(m_name);
    EXPECT_EQ(queue.getPath(), m_path);
    EXPECT_EQ(file(), zeros(Table));
    EXPECT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 0);
    queue.close();
    EXPECT_EQ(file(), zeros(Table));
}

TEST_F(FileMsgQueueTest, SizeIsZeroBeforeTheFileIsOpened)
{
    writeQueueFile(queueFile({{Table, 0}}, {}));
    FileMsgQueue queue(m_name);
    EXPECT_EQ(queue.getSize(), 0);
}

TEST_F(FileMsgQueueTest, PushThenPopGivesTheMessageBackAndRecreatesTheFile)
{
    FileMsgQueue queue(m_name);
    std::unique_ptr<Msg> original(stateChange(7, L"Meeting"));
    queue.pushMessage(new Msg(*original));
    EXPECT_EQ(queue.getSize(), 1);
    EXPECT_GT(file().size(), static_cast<size_t>(Table));
    std::unique_ptr<Msg> popped(queue.popMessage());
    ASSERT_NE(popped, nullptr);
    ByteArray a, b;
    original->toByteArray(a);
    popped->toByteArray(b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(queue.getSize(), 0);
    EXPECT_EQ(file(), zeros(Table));
    EXPECT_EQ(queue.popMessage(), nullptr);
    EXPECT_EQ(file(), zeros(Table));
}

TEST_F(FileMsgQueueTest, WrittenFileFollowsTheLayoutFieldByField)
{
    {
        FileMsgQueue queue(m_name);
        for (int i = 0; i < 3; ++i)
            queue.pushMessage(stateChange(i, i == 1 ? L"Phone" : L"Available"));
    }
    const Bytes bytes = file();
    int32_t expectedOffset = Table;
    for (int i = 0; i < 3; ++i) {
        const Bytes wire = stateChangeWire(i, i == 1 ? L"Phone" : L"Available");
        const Bytes digest = independentSha1(wire);
        ASSERT_EQ(digest.size(), 20u);
        const int32_t offset = getInt(bytes, static_cast<size_t>(8 * i));
        const int32_t length = getInt(bytes, static_cast<size_t>(8 * i + 4));
        EXPECT_EQ(offset, expectedOffset) << "pair " << i;
        EXPECT_EQ(length, static_cast<int32_t>(wire.size() + 20)) << "pair " << i;
        ASSERT_LE(static_cast<size_t>(offset + length), bytes.size());
        EXPECT_EQ(Bytes(bytes.begin() + offset, bytes.begin() + offset + length - 20), wire)
            << "record " << i;
        EXPECT_EQ(Bytes(bytes.begin() + offset + length - 20, bytes.begin() + offset + length),
                  digest)
            << "digest " << i;
        expectedOffset = offset + length;
    }
    EXPECT_EQ(bytes.size(), static_cast<size_t>(expectedOffset));
    EXPECT_TRUE(std::all_of(bytes.begin() + 24, bytes.begin() + Table, [](uint8_t b) {
        return b == 0;
    })) << "pairs after the last must be zero";
}

TEST_F(FileMsgQueueTest, TwoPushesAndOnePopLeaveTheFirstRecordAsDeadSpace)
{
    FileMsgQueue queue(m_name);
    queue.pushMessage(stateChange(1));
    queue.pushMessage(stateChange(2));
    const Bytes before = file();
    const int32_t firstLength = getInt(before, 4);
    delete queue.popMessage();
    const Bytes after = file();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(getInt(after, 0), Table + firstLength);
    EXPECT_EQ(getInt(after, 4), getInt(before, 12));
    EXPECT_EQ(getInt(after, 8), 0);
    EXPECT_TRUE(std::equal(after.begin() + Table, after.end(), before.begin() + Table))
        << "records must not move";
    EXPECT_EQ(drain(queue), std::vector<int>({2}));
}

TEST_F(FileMsgQueueTest, FileBuiltByHandFromTheLayoutIsRead)
{
    const Bytes r0 = record(stateChangeWire(10));
    const Bytes r1 = record(wireForm({intAttribute(L"Index", 11), intAttribute(L"MsgType", 3),
                                      stringAttribute(L"FileDescription", L"Editor")}));
    // Dead space before the first record, as an earlier pop leaves it.
    const int32_t first = Table + 64;
    const int32_t second = first + static_cast<int32_t>(r0.size());
    writeQueueFile(queueFile(
        {{first, static_cast<int32_t>(r0.size())}, {second, static_cast<int32_t>(r1.size())}},
        {{Table, Bytes(64, 0xAB)}, {first, r0}, {second, r1}}));
    FileMsgQueue queue(m_name);
    ASSERT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 2);
    queue.close();
    std::unique_ptr<Msg> a(queue.popMessage());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getType(), Msg::SYSTEM_STATE_CHANGE);
    EXPECT_EQ(indexOf(a.get()), 10);
    std::wstring state;
    EXPECT_TRUE(a->getAttributeValue(L"SystemState", state));
    EXPECT_EQ(state, L"Available");
    std::unique_ptr<Msg> b(queue.popMessage());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getType(), Msg::APPLICATION_CHANGE);
    EXPECT_EQ(indexOf(b.get()), 11);
    EXPECT_EQ(queue.popMessage(), nullptr);
}

TEST_F(FileMsgQueueTest, QueueLeftByAnEarlierRunIsPickedUpInOrder)
{
    {
        FileMsgQueue earlier(m_name);
        for (int i = 0; i < 5; ++i)
            earlier.pushMessage(stateChange(i));
        delete earlier.popMessage();
    }
    FileMsgQueue queue(m_name);
    ASSERT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 4);
    queue.close();
    EXPECT_EQ(drain(queue), std::vector<int>({1, 2, 3, 4}));
}

TEST_F(FileMsgQueueTest, The3201stPushDropsTheOldest)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    for (int i = 0; i < FileMsgQueue::s_CAPACITY; ++i)
        queue.pushMessage(stateChange(i));
    EXPECT_EQ(queue.getSize(), 3200);
    EXPECT_EQ(events.count(1063503), 0u);
    queue.pushMessage(stateChange(3200));
    EXPECT_EQ(queue.getSize(), 3200);
    EXPECT_EQ(events.count(1063503), 1u);
    const std::vector<int> order = drain(queue);
    ASSERT_EQ(order.size(), 3200u);
    for (int i = 0; i < 3200; ++i)
        ASSERT_EQ(order[static_cast<size_t>(i)], i + 1) << "at " << i;
}

TEST_F(FileMsgQueueTest, OneCorruptRecordInTheMiddleIsDroppedAlone)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    for (int i = 0; i < 5; ++i)
        queue.pushMessage(stateChange(i));
    Bytes bytes = file();
    const int32_t offset = getInt(bytes, 2 * 8);
    bytes[static_cast<size_t>(offset) + 30] ^=
        0x01; // inside the message, so its digest no longer matches
    writeQueueFile(bytes);

    EXPECT_EQ(drain(queue), std::vector<int>({0, 1, 3, 4}));
    const auto dropped = events.withId(1063501);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_NE(dropped[0].details.find(L"Offset: " + std::to_wstring(offset)), std::wstring::npos)
        << dropped[0].details;
    EXPECT_NE(dropped[0].details.find(L"digest mismatch"), std::wstring::npos)
        << dropped[0].details;
}

TEST_F(FileMsgQueueTest, ARecordThatDoesNotParseIsDroppedAlone)
{
    testsupport::EventRecorder events;
    // A right digest over bytes that are no message (version 2).
    Bytes bad = stateChangeWire(1);
    bad[0] = 2;
    const Bytes r0 = record(stateChangeWire(0)), r1 = record(bad), r2 = record(stateChangeWire(2));
    const int32_t o1 = Table + static_cast<int32_t>(r0.size()),
                  o2 = o1 + static_cast<int32_t>(r1.size());
    writeQueueFile(queueFile({{Table, static_cast<int32_t>(r0.size())},
                              {o1, static_cast<int32_t>(r1.size())},
                              {o2, static_cast<int32_t>(r2.size())}},
                             {{Table, r0}, {o1, r1}, {o2, r2}}));
    FileMsgQueue queue(m_name);
    EXPECT_EQ(drain(queue), std::vector<int>({0, 2}));
    const auto dropped = events.withId(1063501);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_NE(dropped[0].details.find(L"1050601"), std::wstring::npos) << dropped[0].details;
}

TEST_F(FileMsgQueueTest, TableEntriesThatCannotBeRecordsAreDroppedAlone)
{
    testsupport::EventRecorder events;
    const Bytes r0 = record(stateChangeWire(0)), r1 = record(stateChangeWire(1)),
                r2 = record(stateChangeWire(2));
    const auto n0 = static_cast<int32_t>(r0.size()), n1 = static_cast<int32_t>(r1.size()),
               n2 = static_cast<int32_t>(r2.size());
    const int32_t o1 = Table + n0, o2 = o1 + n1;
    const int32_t end = o2 + n2;
    writeQueueFile(queueFile({{Table, n0},
                              {end + 100, 50},  // past the end of the file
                              {o1, 0x7FFFFFFF}, // huge length
                              {o1, n1},
                              {100, 40},    // inside the table
                              {o1 + 4, n1}, // overlaps the one before
                              {o2, 12},     // shorter than a digest
                              {-5, 30},     // negative offset
                              {o2, -1},     // negative length
                              {o2, n2}},
                             {{Table, r0}, {o1, r1}, {o2, r2}}));
    FileMsgQueue queue(m_name);
    ASSERT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 3);
    queue.close();
    EXPECT_EQ(events.count(1063502), 7u);
    // The checked table is what the file holds now: three pairs, then zeros.
    const Bytes bytes = file();
    EXPECT_EQ(getInt(bytes, 0), Table);
    EXPECT_EQ(getInt(bytes, 8), o1);
    EXPECT_EQ(getInt(bytes, 16), o2);
    EXPECT_EQ(getInt(bytes, 24), 0);
    EXPECT_EQ(drain(queue), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(events.count(1063501), 0u);
}

TEST_F(FileMsgQueueTest, PairsAfterTheEndOfTheListAreIgnoredAndCleared)
{
    const Bytes r0 = record(stateChangeWire(0));
    Bytes bytes =
        queueFile({{Table, static_cast<int32_t>(r0.size())}, {0, 0}, {Table, 40}}, {{Table, r0}});
    writeQueueFile(bytes);
    FileMsgQueue queue(m_name);
    ASSERT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 1);
    queue.close();
    EXPECT_EQ(getInt(file(), 16), 0);
    EXPECT_EQ(drain(queue), std::vector<int>({0}));
}

TEST_F(FileMsgQueueTest, AFileTooShortForTheTableIsRecreated)
{
    testsupport::EventRecorder events;
    writeQueueFile(Bytes(100, 0x5A));
    FileMsgQueue queue(m_name);
    EXPECT_TRUE(queue.open());
    EXPECT_EQ(queue.getSize(), 0);
    queue.close();
    EXPECT_EQ(file(), zeros(Table));
    EXPECT_EQ(events.count(1063506), 1u);
    queue.pushMessage(stateChange(1));
    EXPECT_EQ(drain(queue), std::vector<int>({1}));
}

// A disk that fails where the test says.
class FailingFile : public QueueFile {
public:
    explicit FailingFile(const std::wstring& path) : QueueFile(path) {}
    bool writeAt(int64_t offset, const void* data, size_t n) override
    {
        if (failRecordWrites > 0 && offset >= FileMsgQueue::s_TABLE_SIZE) {
            --failRecordWrites;
            // Half the record reaches the disk, then it is full.
            QueueFile::writeAt(offset, data, n / 2);
            return false;
        }
        return QueueFile::writeAt(offset, data, n);
    }
    bool replaceWith(const std::wstring& source) override
    {
        if (failReplace)
            return false;
        return QueueFile::replaceWith(source);
    }
    int failRecordWrites = 0;
    bool failReplace = false;
};

TEST_F(FileMsgQueueTest, AFailedPushLeavesNoEntryForAHalfWrittenRecord)
{
    testsupport::EventRecorder events;
    auto owned = std::make_unique<FailingFile>(m_path);
    FailingFile* disk = owned.get();
    FileMsgQueue queue(std::move(owned));
    queue.pushMessage(stateChange(0));
    const Bytes before = file();
    disk->failRecordWrites = 1;
    queue.pushMessage(stateChange(1));
    EXPECT_EQ(events.count(1063504), 1u);
    EXPECT_EQ(queue.getSize(), 1);
    const Bytes after = file();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + Table, after.begin()))
        << "the table must not change";
    EXPECT_GT(after.size(), before.size()) << "the test's disk should have written half a record";

    // The next push takes the half-written record's place.
    queue.pushMessage(stateChange(2));
    EXPECT_EQ(drain(queue), std::vector<int>({0, 2}));
    EXPECT_EQ(events.count(1063501), 0u);
}

// Big enough for compaction to be reached in a few dozen pushes.
Msg* bulky(int index)
{
    Msg* msg = stateChange(index);
    std::vector<uint8_t> payload(1024 * 1024, static_cast<uint8_t>(index));
    msg->setAttributeValue(L"Payload",
                           new ByteArray(payload.data(), static_cast<int32_t>(payload.size())));
    return msg;
}

TEST_F(FileMsgQueueTest, CompactionMovesTheLiveRecordsToTheFront)
{
    testsupport::EventRecorder events;
    FileMsgQueue queue(m_name);
    int pushed = 0;
    while (fileSize() <= FileMsgQueue::s_COMPACTION_THRESHOLD)
        queue.pushMessage(bulky(pushed++));
    for (int i = 0; i < 3; ++i)
        delete queue.popMessage();
    const Bytes before = file();
    const int32_t first = getInt(before, 0);
    ASSERT_GT(first, Table);

    queue.pushMessage(bulky(pushed++)); // finds the file above the threshold
    const Bytes after = file();
    EXPECT_EQ(getInt(after, 0), Table);
    const int newest = queue.getSize() - 1;
    const int32_t newLength = getInt(after, static_cast<size_t>(8 * newest + 4));
    EXPECT_EQ(after.size(),
              before.size() - static_cast<size_t>(first - Table) + static_cast<size_t>(newLength));
    EXPECT_LT(after.size(), before.size()) << "the dead space must be gone";
    // Every live record moved by the same amount and kept its bytes.
    for (int i = 0; i < queue.getSize() - 1; ++i) {
        const int32_t oldOffset = getInt(before, static_cast<size_t>(8 * i));
        const int32_t length = getInt(before, static_cast<size_t>(8 * i + 4));
        EXPECT_EQ(getInt(after, static_cast<size_t>(8 * i)), oldOffset - (first - Table));
        EXPECT_EQ(getInt(after, static_cast<size_t>(8 * i + 4)), length);
    }
    EXPECT_FALSE(testsupport::fileExists(m_path + L".shift"));
    EXPECT_EQ(events.count(1063505), 0u);
    std::vector<int> expected;
    for (int i = 3; i < pushed; ++i)
        expected.push_back(i);
    EXPECT_EQ(drain(queue), expected);
}

TEST_F(FileMsgQueueTest, ACompactionThatCannotReplaceTheQueueLeavesItWhole)
{
    testsupport::EventRecorder events;
    auto owned = std::make_unique<FailingFile>(m_path);
    FailingFile* disk = owned.get();
    FileMsgQueue queue(std::move(owned));
    int pushed = 0;
    while (fileSize() <= FileMsgQueue::s_COMPACTION_THRESHOLD)
        queue.pushMessage(bulky(pushed++));
    delete queue.popMessage();
    disk->failReplace = true;
    queue.pushMessage(bulky(pushed++));
    EXPECT_EQ(events.count(1063505), 1u);
    EXPECT_FALSE(testsupport::fileExists(m_path + L".shift"));
    EXPECT_GT(getInt(file(), 0), Table) << "the queue must be the old file";
    std::vector<int> expected;
    for (int i = 1; i < pushed; ++i)
        expected.push_back(i);
    EXPECT_EQ(drain(queue), expected);
}

TEST_F(FileMsgQueueTest, DumpListsEveryMessageWithoutRemovingIt)
{
    FileMsgQueue queue(m_name);
    queue.pushMessage(stateChange(0, L"Meeting"));
    auto* app = new Msg;
    app->setType(Msg::APPLICATION_CHANGE);
    app->setAttributeValue(L"EventTime", 1700000100);
    app->setAttributeValue(L"FileDescription", std::wstring(L"Text Editor"));
    queue.pushMessage(app);
    const Bytes before = file();

    std::wostringstream out;
    out << queue;

    auto when = [](int seconds) {
        std::time_t t = seconds;
        std::string text = std::ctime(&t);
        text.pop_back(); // its line end
        return std::wstring(text.begin(), text.end());
    };
    EXPECT_EQ(out.str(), L"Message Queue:\r\n0: " + when(1700000000) +
                             L" State Change Meeting\r\n1: " + when(1700000100) +
                             L" Application Change Text Editor\r\n");
    EXPECT_EQ(file(), before);
    EXPECT_EQ(queue.getSize(), 2);
}

} // namespace
