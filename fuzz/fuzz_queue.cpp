// Opens arbitrary queue files and pops them empty. Whatever the file holds,
// the queue must neither crash nor allocate beyond the file's size, every
// message it gives back must carry a digest-checked record, and the table it
// leaves behind must name only records that are really there.
//
// The input is not the file itself, whose 25,600-byte table would leave a
// fuzzer no room for records: its first byte n (below 255) is the number of
// (offset, length) pairs that follow, and the rest goes to the record area
// at 25,600. A first byte of 255 makes the remaining bytes the whole file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/File.h"
#include "base/Msg.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/QueueLayout.h"
#include "shared/server/QueueFile.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

const wchar_t* const Name = L"fuzz_queue.dat";

std::vector<uint8_t> fileFrom(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    if (data[0] == 255)
        return std::vector<uint8_t>(data + 1, data + size);
    size_t pairBytes = static_cast<size_t>(data[0]) * 8;
    if (pairBytes > size - 1)
        pairBytes = size - 1;
    std::vector<uint8_t> file(FileMsgQueue::s_TABLE_SIZE, 0);
    std::memcpy(file.data(), data + 1, pairBytes);
    file.insert(file.end(), data + 1 + pairBytes, data + size);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    static const bool folder = (File::initTempPath(false), true);
    (void)folder;
    const std::wstring path = File::getTempPath() + File::Separator + Name;
    {
        QueueFile file(path);
        require(file.open(true));
        const std::vector<uint8_t> bytes = fileFrom(data, size);
        require(bytes.empty() || file.writeAt(0, bytes.data(), bytes.size()));
    }

    FileMsgQueue queue(Name);
    require(queue.open());
    const int queued = queue.getSize();
    require(queued >= 0 && queued <= FileMsgQueue::s_CAPACITY);
    queue.close();

    int popped = 0;
    while (Msg* msg = queue.popMessage()) {
        std::unique_ptr<Msg> owned(msg);
        ++popped;
        require(popped <= queued);
        // A message given back round-trips through its record.
        ByteArray record;
        QueueLayout::encodeRecord(*owned, record);
        std::wstring reason;
        std::unique_ptr<Msg> again(QueueLayout::decodeRecord(record, reason));
        require(again != nullptr);
    }
    require(queue.getSize() == 0);

    // The emptied queue still works.
    auto* msg = new Msg;
    msg->setType(Msg::SYSTEM_STATE_CHANGE);
    msg->setAttributeValue(L"SystemState", std::wstring(L"Available"));
    queue.pushMessage(msg);
    std::unique_ptr<Msg> back(queue.popMessage());
    require(back != nullptr && back->getType() == Msg::SYSTEM_STATE_CHANGE);
    require(queue.popMessage() == nullptr);
    return 0;
}
