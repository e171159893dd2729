#pragma once
#include "base/CommunicationDevice.h"
#include "shared/TCShrdApi.h"

// The in-process loop-back: a message pushed in comes out of the next
// popMessage, which is how one service tells the others. Its thread has
// nothing to do.
class TCSHRD_API InternalCommDevice : public CommunicationDevice {
public:
    InternalCommDevice();
    ~InternalCommDevice() override;

    bool setup() override { return true; }
    // Straight onto the incoming queue (under its lock). Takes ownership;
    // null throws Exception 1050201.
    void pushMessage(Msg* msg) override;
    using CommunicationDevice::pushMessage;
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return true; }
    CommMechanism getCommType() override { return Internal; }
    bool sendReceiveMsgs() override { return false; }
};
