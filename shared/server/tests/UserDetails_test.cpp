#include <gtest/gtest.h>

#include "base/Tools.h"
#include "shared/server/ADGroup.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserDetails.h"
#include "shared/server/UserStatus.h"

namespace {

struct Split {
    std::wstring first, last;
};

Split split(const std::wstring& displayName, std::wstring first = L"", std::wstring last = L"")
{
    UserDetails::getFirstnameLastnameFromDisplayName(displayName, first, last);
    return {first, last};
}

TEST(UserDetailsTest, DisplayNameSplits)
{
    Split s = split(L"Smith, Anna");
    EXPECT_EQ(s.first, L"Anna");
    EXPECT_EQ(s.last, L"Smith");
    s = split(L"Anna Maria Smith");
    EXPECT_EQ(s.first, L"Anna");
    EXPECT_EQ(s.last, L"Maria Smith");
    s = split(L"Anna");
    EXPECT_EQ(s.first, L"Anna");
    EXPECT_EQ(s.last, L"");
    // ", " wins over the blank that precedes it.
    s = split(L"van Dijk, Jan Peter");
    EXPECT_EQ(s.first, L"Jan Peter");
    EXPECT_EQ(s.last, L"van Dijk");
    // A comma without a blank is no separator.
    s = split(L"Smith,Anna");
    EXPECT_EQ(s.first, L"Smith,Anna");
    EXPECT_EQ(s.last, L"");
}

TEST(UserDetailsTest, NamesAlreadySetStay)
{
    Split s = split(L"Smith, Anna", L"Annie");
    EXPECT_EQ(s.first, L"Annie");
    EXPECT_EQ(s.last, L"Smith");
    s = split(L"Anna Smith", L"", L"Smythe");
    EXPECT_EQ(s.first, L"Anna");
    EXPECT_EQ(s.last, L"Smythe");
}

// Where no directory answers (natively, and under Wine), the lookup still
// ends, with the account name as display name and the names cut from it.
TEST(UserDetailsTest, LookupEndsAndFillsWhatTheAccountGives)
{
    UserDetails details;
    details.getDetails();
    ASSERT_TRUE(details.waitUntilReady(60000));
    EXPECT_TRUE(details.isReady());

    std::wstring user, domain;
    if (Tools::getUserName(user, domain)) {
        EXPECT_EQ(details.getUsername(), user);
        EXPECT_EQ(details.getDomain(), domain);
    }
    EXPECT_FALSE(details.getDisplayName().empty());
    EXPECT_FALSE(details.getFirstName().empty());
    const std::wstring sid = details.getSID();
    if (!sid.empty())
        EXPECT_EQ(sid.rfind(L"S-1-", 0), 0u) << std::string(sid.begin(), sid.end());
    if (details.getFullDName().empty()) {
        // Without a directory only display name and the split are filled.
        EXPECT_EQ(details.getEmail(), L"");
        EXPECT_TRUE(details.getADGroupList().empty());
    }

    UserDetails copy(details);
    EXPECT_TRUE(copy.isReady());
    EXPECT_EQ(copy.getUsername(), details.getUsername());
    EXPECT_EQ(copy.getFirstName(), details.getFirstName());
    EXPECT_EQ(copy.getSID(), details.getSID());
}

TEST(UserDetailsTest, SecondRequestWhileBusyAndDestructionWhileBusyAreSafe)
{
    {
        UserDetails details;
        details.getDetails();
        details.getDetails();
        UserDetails copy(details); // waits for the lookup
        EXPECT_TRUE(copy.isReady());
        details.getDetails(); // a new lookup, left running at destruction
    }
    UserDetails fresh;
    EXPECT_TRUE(fresh.isReady());
    EXPECT_EQ(fresh.getUsername(), L"");
}

TEST(ADGroupTest, NameKeepsWhatFollowsTheCommonNamePrefix)
{
    ADGroup group(L"CN=Sales,OU=Groups", L"{guid}");
    EXPECT_EQ(group.getName(), L"Sales,OU=Groups");
    EXPECT_EQ(group.getGUID(), L"{guid}");
    group.setName(L"Plain name");
    EXPECT_EQ(group.getName(), L"Plain name");
    // Lower case is looked for first, wherever it is.
    group.setName(L"CN=Outer,cn=Inner");
    EXPECT_EQ(group.getName(), L"Inner");
    group.setName(L"Cn=Mixed");
    EXPECT_EQ(group.getName(), L"Cn=Mixed");
    ADGroup empty;
    EXPECT_EQ(empty.getName(), L"");
    EXPECT_EQ(empty.getGUID(), L"");
}

TEST(UserStatusTest, ReasonFollowsTheDeclaredState)
{
    UserStatus status;
    EXPECT_FALSE(status.idle() || status.locked() || status.onPhone() || status.atMeeting() ||
                 status.isPrivate());
    EXPECT_EQ(status.start(), 0);
    EXPECT_EQ(status.duration(), 0);
    EXPECT_EQ(status.reason(), L"");

    status.atMeeting(true, L"Board meeting");
    EXPECT_TRUE(status.atMeeting());
    EXPECT_EQ(status.reason(), L"Board meeting");
    status.onPhone(true);
    EXPECT_TRUE(status.onPhone());
    EXPECT_EQ(status.reason(), L"");
    status.onPhone(false, L"Call with supplier");
    EXPECT_FALSE(status.onPhone());
    EXPECT_EQ(status.reason(), L"Call with supplier");
    status.atMeeting(false);
    EXPECT_EQ(status.reason(), L"");

    const int64_t before = Tools::getCurrentTime();
    status.duration(1800);
    EXPECT_EQ(status.duration(), 1800);
    EXPECT_GE(status.start(), before);
    EXPECT_LE(status.start(), Tools::getCurrentTime());
}

class SessionDetailsTest : public ::testing::Test {};

TEST_F(SessionDetailsTest, DescriptionsAndUnknownValues)
{
    const wchar_t* statuses[] = {L"NotConnected",   L"ProxyWizardRunning", L"Connecting",
                                 L"Authenticating", L"Connected",          L"ConnectionError"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(TavelinSessionDetails::getConnectionStatusDescription(i), statuses[i]);
    const wchar_t* errors[] = {L"NotSet",
                               L"ResolveFailed",
                               L"ConnectFailed",
                               L"ConnectTimedOut",
                               L"LogOnProcessFailed",
                               L"AuthenticationFailed",
                               L"SecureSessionFailed",
                               L"ClientAppTooOld",
                               L"AccountSuspended"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(TavelinSessionDetails::getConnectionErrorDescription(i), errors[i]);
    EXPECT_EQ(TavelinSessionDetails::getConnectionStatusDescription(6), L"Unknown");
    EXPECT_EQ(TavelinSessionDetails::getConnectionStatusDescription(-1), L"Unknown");
    EXPECT_EQ(TavelinSessionDetails::getConnectionErrorDescription(9), L"Unknown");
    EXPECT_EQ(TavelinSessionDetails::getConnectionErrorDescription(
                  TavelinSessionDetails::ConnectionError::AuthenticationFailed),
              L"AuthenticationFailed");
}

TEST_F(SessionDetailsTest, ConnectingLoggedOnAndReset)
{
    using Status = TavelinSessionDetails::ConnectionStatus;
    TavelinSessionDetails session;
    EXPECT_EQ(session.getUserID(), -1);
    EXPECT_EQ(session.getMachineID(), -1);
    EXPECT_EQ(session.getConnectionStatus(), Status::NotConnected);
    EXPECT_EQ(session.getConnectionError(), TavelinSessionDetails::ConnectionError::NotSet);

    const Status all[] = {Status::NotConnected, Status::ProxyWizardRunning,
                          Status::Connecting,   Status::Authenticating,
                          Status::Connected,    Status::ConnectionError};
    for (Status s : all) {
        session.setConnectionStatus(s);
        EXPECT_EQ(session.isLoggedOn(), s == Status::Connected);
        EXPECT_EQ(session.isConnecting(), s == Status::ProxyWizardRunning ||
                                              s == Status::Connecting ||
                                              s == Status::Authenticating);
    }

    session.setUserID(12);
    session.setMachineID(34);
    session.setUserName(L"anna");
    session.setUserPassword(L"pw");
    session.setUserPasswordHash(ByteArray("hash", 4));
    session.setSessionKey(ByteArray("0123456789abcdef", 16));
    session.setInAutoEnrollMode(true);
    session.setConnectionError(TavelinSessionDetails::ConnectionError::AccountSuspended);
    session.getClientProfile().setAttributeValue(L"HideClientGUI", 1);
    session.reset();
    EXPECT_EQ(session.getUserID(), -1);
    EXPECT_EQ(session.getMachineID(), -1);
    EXPECT_EQ(session.getUserName(), L"");
    EXPECT_EQ(session.getUserPassword(), L"");
    EXPECT_EQ(session.getUserPasswordHash().getSize(), 0);
    EXPECT_EQ(session.getSessionKey().getSize(), 0);
    EXPECT_FALSE(session.isInAutoEnrollMode());
    EXPECT_EQ(session.getConnectionStatus(), Status::NotConnected);
    EXPECT_EQ(session.getConnectionError(), TavelinSessionDetails::ConnectionError::NotSet);
    EXPECT_TRUE(session.getClientProfile().hideGUI()); // the profile outlives a reset
}

// Details found by other means are ready at once and read back as given;
// a copy over a looked-up object replaces what the lookup found.
TEST(UserDetailsTest, DetailsGivenWholeAreReadyAsGiven)
{
    UserDetails::Fields fields;
    fields.username = L"anna";
    fields.domain = L"EXAMPLE";
    fields.title = L"Analyst";
    fields.lastName = L"Smith";
    fields.groups.emplace_back(L"CN=Sales,OU=Groups", L"{1}");
    const UserDetails given(fields);
    EXPECT_TRUE(given.isReady());
    EXPECT_EQ(given.getUsername(), L"anna");
    EXPECT_EQ(given.getDomain(), L"EXAMPLE");
    EXPECT_EQ(given.getTitle(), L"Analyst");
    EXPECT_EQ(given.getLastName(), L"Smith");
    EXPECT_EQ(given.getFirstName(), L"");
    ASSERT_EQ(given.getADGroupList().size(), 1u);
    EXPECT_EQ(given.getADGroupList()[0].getName(), L"Sales,OU=Groups");

    UserDetails looked;
    looked.getDetails();
    looked = given;
    EXPECT_TRUE(looked.isReady());
    EXPECT_EQ(looked.getUsername(), L"anna");
    EXPECT_EQ(looked.getTitle(), L"Analyst");
}

} // namespace
