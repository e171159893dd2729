#pragma once
// The automatic enrollment tests' fixture: the service on a framework of
// fakes, its token in its own registry key, the clock driven by the test.
#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "ServiceTestSupport.h"
#include "base/Registry.h"
#include "shared/framework/Clock.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/Base64Device.h"
#include "base/File.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerLogonService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace enrolltest {

using namespace servertest;
using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;
using State = AutoEnrollService::AutoEnrollState;

const int OrganisationId = 42;
const wchar_t EnrollmentName[] = L"autoenroll@42.org";
const wchar_t EnrollmentPassword[] = L"org-secret-9";

class AutoEnrollProbe : public AutoEnrollService {
public:
    using AutoEnrollService::AutoEnrollService;
    static void forgetThisProcess() { s_authFailureAttemptMade = false; }
    const SimpleTimer& timer() const { return m_timer; }
    using AutoEnrollService::setState;
    bool ready = true;

protected:
    bool userDetailsReady() const override { return ready; }
};

class AutoEnrollServiceTest : public ::testing::Test {
protected:
    AutoEnrollServiceTest()
    {
        AutoEnrollProbe::forgetThisProcess();
        m_system.setUserDetails(directoryUser(1));
    }
    ~AutoEnrollServiceTest() override { AutoEnrollProbe::forgetThisProcess(); }

    void configure(int id = OrganisationId, const std::wstring& password = EnrollmentPassword)
    {
        ASSERT_TRUE(m_machine.write(L"OrganisationID", id));
        ASSERT_TRUE(m_machine.write(L"OrganisationToken",
                                    AutoEnrollService::makeOrganisationToken(id, password)));
    }

    AutoEnrollProbe* start()
    {
        m_service = m_framework.add(new AutoEnrollProbe(m_system, m_logon, m_clock, m_key.path()));
        m_framework.setup();
        return m_service;
    }

    TavelinSessionDetails& session() { return m_system.getTavelinSessionDetails(); }

    // The service's timer fires.
    void tick()
    {
        m_service->onTimer();
        m_framework.drain();
    }

    // From a fresh start up to the request sent under the enrollment account.
    void enrollUpToTheRequest()
    {
        configure();
        start();
        tick();
        ASSERT_EQ(State::LoggingOn, m_service->getState());
        m_logon.succeed(7001);
        m_framework.drain();
        ASSERT_EQ(State::AwaitingResponse, m_service->getState());
    }

    void answer(const std::wstring& result, const wchar_t* userName = nullptr,
                const wchar_t* password = nullptr)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::AUTO_ENROLL_RESPONSE);
        if (!result.empty())
            msg->setAttributeValue(L"AutoEnrollmentResult", result);
        if (userName)
            msg->setAttributeValue(L"TavelUsername", std::wstring(userName));
        if (password)
            msg->setAttributeValue(L"UserPassword", std::wstring(password));
        m_framework.http().deliver(msg);
        m_framework.drain();
    }

    static Msg statusChange()
    {
        Msg msg;
        msg.setType(Msg::CONNECTION_STATUS_CHANGE);
        return msg;
    }
    static Msg response()
    {
        Msg msg;
        msg.setType(Msg::AUTO_ENROLL_RESPONSE);
        return msg;
    }

    testsupport::EventRecorder m_events;
    testsupport::TestKey m_key{L"AutoEnrollService", Registry::LocalMachine};
    Registry m_machine{Registry::LocalMachine, m_key.path()};
    ManualClock m_clock;
    TestSystem m_system{m_clock};
    TestFramework m_framework;
    FakeLogon m_logon{m_system, m_framework};
    AutoEnrollProbe* m_service = nullptr;
};

} // namespace enrolltest
