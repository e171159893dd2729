#include "base/SharedMemCommDevice.h"

#include <cstring>
#include <new>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/LittleEndian.h"
#include "base/Logger.h"
#include "base/Tools.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr uint32_t SharedMemCommDevice::IpcLimit;
constexpr uint32_t SharedMemCommDevice::BlockSize;
constexpr uint32_t SharedMemCommDevice::FlagOffset;
constexpr uint32_t SharedMemCommDevice::LengthOffset;
constexpr uint32_t SharedMemCommDevice::DataOffset;

namespace {

// The flag and the length go through volatile loads and stores: other
// processes change them behind the compiler's back, and a value checked once
// must not be fetched again afterwards. The message bytes themselves are
// copied with plain memcpy, under the block's lock, once the flag and length
// have been read.
uint8_t loadByte(const uint8_t* p)
{
    return *static_cast<const volatile uint8_t*>(p);
}

void storeByte(uint8_t* p, uint8_t value)
{
    *static_cast<volatile uint8_t*>(p) = value;
}

uint32_t loadLength(const uint8_t* p)
{
    return LittleEndian::readU32Volatile(p);
}

void storeLength(uint8_t* p, uint32_t value)
{
    LittleEndian::writeU32Volatile(p, value);
}

} // namespace

SharedMemCommDevice::SharedMemCommDevice(const std::wstring& channelName, ReaderWriter role)
    : m_role(role)
{
    const std::wstring base = Tools::createLocalObjectName(channelName);
    m_blockName = base + L".mem";
    m_lockName = base + L".mtx";
}

SharedMemCommDevice::~SharedMemCommDevice()
{
    terminate(50);
    cleanUpSharedMem();
}

bool SharedMemCommDevice::setup()
{
    return createSharedMem();
}

bool SharedMemCommDevice::createSharedMem()
{
    cleanUpSharedMem();
    try {
        m_blockLock.initialise(m_lockName);
        reduceIntegrity(m_blockLock.getHandle());
        if (!m_mapping.create(m_blockName, BlockSize)) {
            SystemException e(1050903, L"Error occurred creating the virtual file mapping",
                              TC_AT(L"SharedMemCommDevice::createSharedMem"));
            e.addSystemErrorInfo();
            throw e;
        }
        reduceIntegrity(m_mapping.getHandle());
        if (!m_mapping.map()) {
            SystemException e(1050904, L"Error occurred mapping shared memory",
                              TC_AT(L"SharedMemCommDevice::createSharedMem"));
            e.addSystemErrorInfo();
            throw e;
        }
        m_pView = m_mapping.data();
        return true;
    } catch (const SystemException& e) {
        Event event(1050909, &e, L"An exception occured while creating shared global memory",
                    TC_AT(L"SharedMemCommDevice::createSharedMem"));
        Logger::Trace(event);
        cleanUpSharedMem();
        return false;
    }
}

void SharedMemCommDevice::cleanUpSharedMem()
{
    m_pView = nullptr;
    m_mapping.close();
}

bool SharedMemCommDevice::sendReceiveMsgs()
{
    if (m_pView == nullptr)
        return false;
    try {
        return m_role == Writer ? sendMsg() : readMsg();
    } catch (const SystemException& e) {
        Event event(1050901, &e, L"A System exception occured while sending and receiving data",
                    TC_AT(L"SharedMemCommDevice::sendReceiveMsgs"));
        Logger::Trace(event);
        return false;
    } catch (const CommsException& e) {
        // readMsg has already given the block up for every failure of its
        // own, under the lock. Clearing the flag here, after the lock was
        // released, could wipe a message that a writer put in meanwhile.
        Event event(1050908, &e, L"A Comms exception occured while sending and receiving data",
                    TC_AT(L"SharedMemCommDevice::sendReceiveMsgs"));
        Logger::Trace(event);
        return false;
    }
}

bool SharedMemCommDevice::sendMsg()
{
    std::unique_ptr<Msg> msg(popMessage(m_outQ, m_outLock));
    if (!msg)
        return false;

    ByteArray bytes;
    int64_t size = -1; // unknown: too large for the wire form's length field
    try {
        size = msg->getSerializedSizeRequirement();
        if (size <= IpcLimit)
            msg->toByteArray(bytes);
    } catch (const std::bad_alloc&) {
        size = -1;
    }
    if (size < 0 || size > IpcLimit) {
        msg.reset();
        CommsException e(1050905, L"Msg bigger than IPC limit: ",
                         TC_AT(L"SharedMemCommDevice::sendMsg"));
        e.addParameter(size < 0 ? std::wstring(L"more than 2147483647") : std::to_wstring(size));
        throw e;
    }

    uint8_t* const flag = m_pView + FlagOffset;
    for (;;) {
        {
            AutoMutex guard(m_blockLock);
            if (loadByte(flag) == 0) {
                if (bytes.getSize() > 0)
                    std::memcpy(m_pView + DataOffset, bytes.getData(),
                                static_cast<size_t>(bytes.getSize()));
                storeLength(m_pView + LengthOffset, static_cast<uint32_t>(bytes.getSize()));
                storeByte(flag, 1);
                break;
            }
        }
        // The block is full. Waiting with the lock held would keep the
        // reader, the only one that can empty it, out for the whole wait.
        sleep(10);
    }
    return true;
}

bool SharedMemCommDevice::readMsg()
{
    uint8_t* const flag = m_pView + FlagOffset;
    // An unlocked look only decides whether to take the lock.
    if (loadByte(flag) == 0)
        return false;

    ByteArray bytes;
    {
        AutoMutex guard(m_blockLock);
        if (loadByte(flag) == 0)
            return false;
        const uint32_t length = loadLength(m_pView + LengthOffset);
        if (length > IpcLimit) {
            storeByte(flag, 0);
            CommsException e(1050906, L"Msg size exceeds IPC buffer limit: ",
                             TC_AT(L"SharedMemCommDevice::readMsg"));
            e.addParameter(std::to_wstring(length));
            throw e;
        }
        if (length > 0) {
            try {
                std::memcpy(bytes.getBuffer(static_cast<int32_t>(length)), m_pView + DataOffset,
                            length);
            } catch (const std::bad_alloc&) {
                storeByte(flag, 0);
                CommsException e(1050907, L"Unable to allocate space for the received message: ",
                                 TC_AT(L"SharedMemCommDevice::readMsg"));
                e.addParameter(std::to_wstring(length));
                throw e;
            }
        }
        storeByte(flag, 0);
    }

    std::unique_ptr<Msg> msg(new Msg);
    msg->fromByteArray(bytes);
    pushMessage(msg.release(), m_inQ, m_inLock);
    return true;
}
