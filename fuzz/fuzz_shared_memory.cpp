// The reading end of the add-in channel against arbitrary block contents.
// The block can be written by low-integrity processes, so whatever it holds
// the reader must neither crash nor leak, must give the block up (flag 0)
// after every look at a full block, and may queue at most one message.
//
// Input: the block's bytes from offset 0 (flag, reserved, length, data);
// bytes past the input's end are zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "base/SharedMemCommDevice.h"
#include "base/SharedMemoryBlock.h"
#include "base/Tools.h"

namespace {

struct Channel {
    std::wstring channel = L"FuzzChannel" + std::to_wstring(static_cast<long>(getpid()));
    std::wstring blockName = Tools::createLocalObjectName(channel) + L".mem";
    SharedMemoryBlock peer;
    std::unique_ptr<SharedMemCommDevice> reader;
    size_t dirty = SharedMemCommDevice::BlockSize; // bytes the last input may have set

    Channel()
    {
        SharedMemoryBlock::remove(blockName);
        reader.reset(new SharedMemCommDevice(channel, SharedMemCommDevice::Reader));
        // The reader's steps run on the fuzzing thread; its own is never started.
        if (!reader->setup() || !peer.create(blockName, SharedMemCommDevice::BlockSize) ||
            !peer.map())
            std::abort();
        // Natively the name would outlive the process.
        SharedMemoryBlock::remove(blockName);
    }
};

Channel& channel()
{
    static Channel* c = new Channel;
    return *c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Channel& c = channel();
    uint8_t* block = c.peer.data();
    const size_t n = size < SharedMemCommDevice::BlockSize ? size : SharedMemCommDevice::BlockSize;
    if (c.dirty > n)
        std::memset(block + n, 0, c.dirty - n);
    if (n > 0)
        std::memcpy(block, data, n);
    c.dirty = n;

    const bool full = block[0] != 0;
    const bool took = c.reader->sendReceiveMsgs();
    if (block[0] != 0)
        std::abort(); // the block was left full: the channel would be stuck
    if (took && !full)
        std::abort();

    std::unique_ptr<Msg> msg(c.reader->popMessage());
    if (took != (msg != nullptr))
        std::abort();
    if (c.reader->popMessage() != nullptr)
        std::abort();
    if (msg) {
        // What the reader accepted must be a message it can send on.
        ByteArray again;
        msg->toByteArray(again);
        Msg copy;
        copy.fromByteArray(again);
    }
    return 0;
}
