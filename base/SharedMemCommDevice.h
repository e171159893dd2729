#pragma once
#include <cstdint>
#include <string>

#include "base/CommunicationDevice.h"
#include "base/Mutex.h"
#include "base/SharedMemoryBlock.h"
#include "base/TCBaseApi.h"

// Carries messages from the add-ins to the client of the same user through
// a named shared block with room for one serialised message, guarded by a
// named lock. Writers (the add-ins) only send, the one reader (the client)
// only receives.
//
// Block layout (BlockSize bytes, zero-filled by whichever end comes first):
//   offset 0  1 byte   full flag: 0 empty, anything else holds a message
//   offset 1  3 bytes  reserved, zero
//   offset 4  4 bytes  message length, unsigned little-endian
//   offset 8  IpcLimit bytes of room for the message's wire form
//
// Low-integrity processes (a browser in protected mode) may write the block,
// so the reader treats what it finds there as untrusted input: it copies the
// message out under the lock and parses the copy, and gives the block up
// (clears the flag) whatever the length or data, so the channel never
// stays blocked by one bad message.
class TCBASE_API SharedMemCommDevice : public CommunicationDevice {
public:
    enum ReaderWriter { Reader = 0, Writer = 1 };

    static constexpr uint32_t IpcLimit = 0x40000; // the largest message, 262144 bytes
    static constexpr uint32_t BlockSize = IpcLimit + 8;
    static constexpr uint32_t FlagOffset = 0;
    static constexpr uint32_t LengthOffset = 4;
    static constexpr uint32_t DataOffset = 8;

    // Builds the object names from the channel name ("ContextInfo"); opens
    // nothing yet: setup, on the device thread, does.
    SharedMemCommDevice(const std::wstring& channelName, ReaderWriter role);
    // Stops the thread (50 ms grace), then unmaps the block.
    ~SharedMemCommDevice() override;

    // createSharedMem.
    bool setup() override;
    bool canSendMsgs() override { return m_role == Writer; }
    bool canReceiveMsgs() override { return m_role == Reader; }
    CommMechanism getCommType() override { return SharedMemory; }
    // False while no block is mapped. Otherwise one sendMsg (writer) or
    // readMsg (reader). Channel failures are traced (1050901, 1050908) and
    // give false; the thread goes on.
    bool sendReceiveMsgs() override;

    ReaderWriter getRole() const { return m_role; }
    // Tools::createLocalObjectName(channel) + ".mem" and + ".mtx".
    const std::wstring& getBlockName() const { return m_blockName; }
    const std::wstring& getLockName() const { return m_lockName; }

    // Lowers a kernel object's integrity label to low, no write-up, so that
    // low-integrity processes can open it. Failures are traced (1050910 to
    // 1050912) and give false; callers go on regardless. Natively there is
    // no such label and this does nothing.
    static bool reduceIntegrity(native::Handle handle);

protected:
    // Opens (creating when needed) the lock and the block and maps the block.
    // A failure is traced (1050909) and gives false, nothing left open.
    bool createSharedMem();
    void cleanUpSharedMem();
    // Moves the oldest outbound message into the block, waiting while the
    // block is full; false when there is nothing to send. A message larger
    // than IpcLimit is destroyed and CommsException 1050905 thrown.
    bool sendMsg();
    // Moves a message from the block onto the inbound queue; false when the
    // block is empty. Throws CommsException 1050906 or 1050907 for a length
    // it cannot take, or the format's CommsException for data that do not
    // parse; in every case the block has been given up first.
    bool readMsg();

private:
    uint8_t* m_pView = nullptr;
    ReaderWriter m_role;
    Mutex m_blockLock;
    std::wstring m_blockName;
    SharedMemoryBlock m_mapping; // the block's mapping handle and view
    std::wstring m_lockName;
};
