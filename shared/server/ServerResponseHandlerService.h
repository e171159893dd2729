#pragma once
#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Service.h"

class System;

// Applies what the server's replies carry: the id of an executable, the id
// of the machine.
class TCSHRD_API ServerResponseHandlerService : public Service {
public:
    // The system is not owned and must outlive the service.
    explicit ServerResponseHandlerService(System& system);
    ~ServerResponseHandlerService() override;

    bool setup() override { return true; }
    // ACKNOWLEDGEMENT, UPDATE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;

protected:
    System& m_system;
};
