#include <gtest/gtest.h>

#include <sstream>

#include "ServerTestSupport.h"
#include "shared/server/Base64Device.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/TcserverTool.h"

using namespace servertest;

namespace {

class ProfileAndEnrollmentTest : public ::testing::Test {
protected:
    ServerFixture f;
    int aliceId = f.addUser(L"alice", L"pw");

    // Runs the command line on the fixture's database.
    int tool(std::vector<std::string> args, std::string* out = nullptr)
    {
        args.insert(args.begin(), {"--db", f.dbPath()});
        std::istringstream in;
        std::ostringstream o, e;
        const int code = TcserverTool::run(args, in, o, e);
        if (out)
            *out = o.str();
        EXPECT_TRUE(code != 0 || e.str().empty()) << e.str();
        return code;
    }

    // An organisation made by the command line; the password the token
    // carries, read back as the client reads it.
    std::wstring addOrganisation(int id, bool approval)
    {
        std::string token;
        std::vector<std::string> args = {"org", "add", std::to_string(id)};
        if (approval)
            args.push_back("--approval");
        EXPECT_EQ(0, tool(args, &token));
        while (!token.empty() && token.back() == '\n')
            token.pop_back();
        ByteArray encrypted;
        Base64Device::unBase64Data(token, encrypted);
        EXPECT_GT(encrypted.getSize(), 0) << token;
        return SecurityDevice::decryptString(encrypted, L"autoenroll@" + std::to_wstring(id) + L".org");
    }

    static Msg enrollRequest(int organisationId, const std::wstring& sid)
    {
        Msg msg;
        msg.setType(Msg::AUTO_ENROLL_REQUEST);
        msg.setAttributeValue(L"SID", sid);
        msg.setAttributeValue(L"GUID", std::wstring(L"{0A1B}"));
        msg.setAttributeValue(L"WindowsUserName", std::wstring(L"bsmith"));
        msg.setAttributeValue(L"UserDomain", std::wstring(L"OFFICE"));
        msg.setAttributeValue(L"DisplayName", std::wstring(L"Smith, Bea"));
        msg.setAttributeValue(L"EmailAddress", std::wstring(L"bea.smith@office.example"));
        msg.setAttributeValue(L"OrganisationID", organisationId);
        msg.setAttributeValue(L"LocalIPAddress", std::wstring(L"10.0.0.7"));
        msg.setAttributeValue(L"MachineName", std::wstring(L"DESK-9"));
        return msg;
    }
};

TEST_F(ProfileAndEnrollmentTest, UserDetailsAreStoredWithTheirGroupsAndReplacedByTheNext)
{
    auto client = f.loggedOn(L"alice", L"pw");
    Msg msg;
    msg.setType(Msg::USER_INFO_UPDATE);
    const wchar_t* names[] = {L"WindowsUserName", L"UserDomain", L"SID", L"FirstName", L"SurName",
                              L"DisplayName", L"NamePrefix", L"JobTitle", L"ManagerSID", L"Department",
                              L"Division", L"TelephoneNumber", L"MobileNumber"};
    for (const wchar_t* name : names)
        msg.setAttributeValue(name, std::wstring(L"v:") + name);
    for (int i = 0; i < 3; ++i) {
        msg.setAttributeValue(L"ADGroupName_" + std::to_wstring(i), L"group " + std::to_wstring(i));
        msg.setAttributeValue(L"ADGroupGUID_" + std::to_wstring(i), L"{guid " + std::to_wstring(i) + L"}");
    }
    // A gap ends the list: group 4 without a group 3 is not one.
    msg.setAttributeValue(L"ADGroupName_4", std::wstring(L"stray"));
    auto reply = client->sendSecure(msg);
    ASSERT_NE(nullptr, reply);
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, reply->getType());

    auto d = f.db().userDetails(aliceId);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(L"v:WindowsUserName", d->windowsUserName);
    EXPECT_EQ(L"v:UserDomain", d->userDomain);
    EXPECT_EQ(L"v:SID", d->sid);
    EXPECT_EQ(L"v:FirstName", d->firstName);
    EXPECT_EQ(L"v:SurName", d->surName);
    EXPECT_EQ(L"v:DisplayName", d->displayName);
    EXPECT_EQ(L"v:NamePrefix", d->namePrefix);
    EXPECT_EQ(L"v:JobTitle", d->jobTitle);
    EXPECT_EQ(L"v:ManagerSID", d->managerSid);
    EXPECT_EQ(L"v:Department", d->department);
    EXPECT_EQ(L"v:Division", d->division);
    EXPECT_EQ(L"v:TelephoneNumber", d->telephoneNumber);
    EXPECT_EQ(L"v:MobileNumber", d->mobileNumber);
    ASSERT_EQ(3u, d->groups.size());
    EXPECT_EQ(L"group 2", d->groups[2].first);
    EXPECT_EQ(L"{guid 2}", d->groups[2].second);
    EXPECT_EQ(f.now, d->updated);

    Msg next;
    next.setType(Msg::USER_INFO_UPDATE);
    next.setAttributeValue(L"WindowsUserName", std::wstring(L"alice2"));
    next.setAttributeValue(L"ADGroupName_0", std::wstring(L"only"));
    next.setAttributeValue(L"ADGroupGUID_0", std::wstring(L"{1}"));
    client->sendSecure(next);
    d = f.db().userDetails(aliceId);
    EXPECT_EQ(L"alice2", d->windowsUserName);
    EXPECT_EQ(L"", d->department);
    ASSERT_EQ(1u, d->groups.size());
    EXPECT_EQ(L"only", d->groups[0].first);
}

TEST_F(ProfileAndEnrollmentTest, TheProfileSetOnTheCommandLineIsSentOnRequest)
{
    ASSERT_EQ(0, tool({"profile", "alice", "AllowPhoneOverrideActivity", "1"}));
    ASSERT_EQ(0, tool({"profile", "Alice", "MaximumMeetingTimeSpan", "90"}));
    ASSERT_EQ(0, tool({"profile", "alice", "MaximumMeetingTimeSpan", "120"}));
    // The server sends what it is given, also names a client must not obey.
    ASSERT_EQ(0, tool({"profile", "alice", "..\\Policies\\Evil", "7"}));
    ASSERT_EQ(0, tool({"profile", "alice", "Greeting", "--text", "hello"}));
    ASSERT_EQ(0, tool({"profile", "alice", "MsgType", "1"}));
    EXPECT_EQ(1, tool({"profile", "alice", "HideClientGUI", "yes"}));
    EXPECT_EQ(2, tool({"profile", "nobody", "HideClientGUI", "1"}));
    std::string listing;
    ASSERT_EQ(0, tool({"profile", "alice"}, &listing));
    EXPECT_EQ("..\\Policies\\Evil\t7\nAllowPhoneOverrideActivity\t1\nGreeting\t\"hello\"\n"
              "MaximumMeetingTimeSpan\t120\nMsgType\t1\n",
              listing);

    auto client = f.loggedOn(L"alice", L"pw");
    Msg request;
    request.setType(Msg::CLIENT_PROFILE_REQUEST);
    auto reply = client->sendSecure(request);
    ASSERT_NE(nullptr, reply) << "the response is an envelope under the session key";
    EXPECT_EQ(Msg::CLIENT_PROFILE_RESPONSE, reply->getType());
    EXPECT_EQ(1, intOf(*reply, L"AllowPhoneOverrideActivity"));
    EXPECT_EQ(120, intOf(*reply, L"MaximumMeetingTimeSpan"));
    EXPECT_EQ(7, intOf(*reply, L"..\\Policies\\Evil"));
    EXPECT_EQ(L"hello", stringOf(*reply, L"Greeting"));
    EXPECT_EQ(4, reply->getIntAttributeCount()) << "three settings and the message's own type";
    ASSERT_TRUE(client->lastReply()->isSecure());

    ASSERT_EQ(0, tool({"profile", "alice", "..\\Policies\\Evil", "--remove"}));
    EXPECT_EQ(2, tool({"profile", "alice", "..\\Policies\\Evil", "--remove"}));
    reply = client->sendSecure(request);
    EXPECT_FALSE(reply->containsIntAttribute(L"..\\Policies\\Evil"));
}

TEST_F(ProfileAndEnrollmentTest, AnOrganisationWithoutApprovalEnrollsAtOnce)
{
    const std::wstring password = addOrganisation(42, false);
    EXPECT_EQ(24u, password.size());
    EXPECT_EQ(2, tool({"org", "add", "42"}));
    EXPECT_EQ(1, tool({"org", "add", "0"}));

    auto enroller = f.client();
    ASSERT_TRUE(enroller->logOn(L"autoenroll@42.org", password));
    auto reply = enroller->sendSecure(enrollRequest(42, L"S-1-5-21-7-1001"));
    ASSERT_NE(nullptr, reply);
    ASSERT_EQ(Msg::AUTO_ENROLL_RESPONSE, reply->getType());
    EXPECT_EQ(L"Success", stringOf(*reply, L"AutoEnrollmentResult"));
    const std::wstring name = stringOf(*reply, L"TavelUsername");
    const std::wstring userPassword = stringOf(*reply, L"UserPassword");
    EXPECT_EQ(L"bea.smith@office.example", name);
    EXPECT_EQ(24u, userPassword.size());

    auto person = f.client();
    ASSERT_TRUE(person->logOn(name, userPassword));
    EXPECT_NE(f.db().findUser(L"autoenroll@42.org")->id, person->userId());
    person->sendSecure(stateChange(L"SystemStateIdle"));
    EXPECT_EQ(1u, f.db().activity(person->userId(), 0, INT64_MAX).size());

    auto all = f.db().enrollments();
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ("enrolled", all[0].state);
    EXPECT_EQ(person->userId(), all[0].userId);
    EXPECT_EQ(L"DESK-9", all[0].machineName);
    EXPECT_EQ(L"10.0.0.7", all[0].localIpAddress);
    EXPECT_EQ(L"Smith, Bea", all[0].displayName);

    // Enrolling again (the credentials were lost) gives the same account a
    // new password; the old one stops working.
    reply = enroller->sendSecure(enrollRequest(42, L"S-1-5-21-7-1001"));
    EXPECT_EQ(name, stringOf(*reply, L"TavelUsername"));
    const std::wstring newPassword = stringOf(*reply, L"UserPassword");
    EXPECT_NE(userPassword, newPassword);
    EXPECT_FALSE(f.client()->logOn(name, userPassword));
    EXPECT_TRUE(f.client()->logOn(name, newPassword));
    EXPECT_EQ(1u, f.db().enrollments().size());
}

TEST_F(ProfileAndEnrollmentTest, AnOrganisationWithApprovalKeepsThePersonPendingUntilApproved)
{
    const std::wstring password = addOrganisation(7, true);
    auto enroller = f.loggedOn(L"autoenroll@7.org", password);
    for (int attempt = 0; attempt < 2; ++attempt) {
        f.now += 300;
        auto reply = enroller->sendSecure(enrollRequest(7, L"S-1-5-21-7-1001"));
        ASSERT_NE(nullptr, reply);
        EXPECT_EQ(L"AutoEnrollmentPending", stringOf(*reply, L"AutoEnrollmentResult"));
        EXPECT_FALSE(reply->containsStringAttribute(L"UserPassword"));
    }
    std::string listing;
    ASSERT_EQ(0, tool({"enroll", "list"}, &listing));
    EXPECT_EQ("1\t7\tpending\tOFFICE\\bsmith\tS-1-5-21-7-1001\tSmith, Bea\tDESK-9\t-\n", listing);

    ASSERT_EQ(0, tool({"enroll", "approve", "1"}));
    EXPECT_EQ(2, tool({"enroll", "approve", "2"}));
    auto reply = enroller->sendSecure(enrollRequest(7, L"S-1-5-21-7-1001"));
    EXPECT_EQ(L"Success", stringOf(*reply, L"AutoEnrollmentResult"));
    EXPECT_TRUE(f.client()->logOn(stringOf(*reply, L"TavelUsername"), stringOf(*reply, L"UserPassword")));
}

TEST_F(ProfileAndEnrollmentTest, ARefusedPersonIsToldSo)
{
    const std::wstring password = addOrganisation(7, true);
    auto enroller = f.loggedOn(L"autoenroll@7.org", password);
    enroller->sendSecure(enrollRequest(7, L"S-1-5-21-7-1001"));
    ASSERT_EQ(0, tool({"enroll", "refuse", "1"}));
    auto reply = enroller->sendSecure(enrollRequest(7, L"S-1-5-21-7-1001"));
    EXPECT_EQ(L"AutoEnrollmentRefused", stringOf(*reply, L"AutoEnrollmentResult"));
    EXPECT_EQ(L"RefusedByAdministrator", stringOf(*reply, L"Reason"));
    EXPECT_FALSE(reply->containsStringAttribute(L"UserPassword"));
}

TEST_F(ProfileAndEnrollmentTest, OnlyAnOrganisationsOwnEnrollmentAccountEnrolls)
{
    addOrganisation(7, false);
    const std::wstring other = addOrganisation(8, false);
    auto alice = f.loggedOn(L"alice", L"pw");
    EXPECT_EQ(L"AutoEnrollmentRefused",
              stringOf(*alice->sendSecure(enrollRequest(7, L"S-1")), L"AutoEnrollmentResult"));
    auto eight = f.loggedOn(L"autoenroll@8.org", other);
    auto reply = eight->sendSecure(enrollRequest(7, L"S-1"));
    EXPECT_EQ(L"AutoEnrollmentRefused", stringOf(*reply, L"AutoEnrollmentResult"));
    EXPECT_EQ(L"NotAnEnrollmentAccount", stringOf(*reply, L"Reason"));
    EXPECT_TRUE(f.db().enrollments().empty());
}

TEST_F(ProfileAndEnrollmentTest, ANameTakenByAnotherAccountIsNotHandedOver)
{
    const std::wstring password = addOrganisation(7, false);
    f.addUser(L"bea.smith@office.example", L"hers");
    auto enroller = f.loggedOn(L"autoenroll@7.org", password);
    auto reply = enroller->sendSecure(enrollRequest(7, L"S-1"));
    EXPECT_EQ(L"AutoEnrollmentRefused", stringOf(*reply, L"AutoEnrollmentResult"));
    EXPECT_EQ(L"NameInUse", stringOf(*reply, L"Reason"));
    EXPECT_TRUE(f.client()->logOn(L"bea.smith@office.example", L"hers"));
}

} // namespace
