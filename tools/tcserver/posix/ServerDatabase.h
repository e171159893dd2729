#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "tools/tcserver/posix/SqlStatement.h"

// The reference server's store: one SQLite file holding the accounts, the
// session state of each account, the ids the server hands out and the
// activity record. Every call is one statement or one transaction under the
// object's lock, so the HTTP worker threads may share one object.
//
// Failures of the store itself are thrown as DatabaseError; a lookup that
// finds nothing is not a failure.

struct UserRecord {
    int id = -1;
    int organisationId = 0;    // the organisation whose enrollment account this is; 0: a person's
    std::wstring name;         // lower case
    std::string passwordHash;  // the 28 Base64 characters
    bool suspended = false;
    ByteArray challenge;       // of the logon in progress; empty when none
    ByteArray sessionKey;      // of the last completed logon; empty when none
};

// Version fields of an executable as the client reports them.
struct ApplicationFields {
    std::wstring originalFilename, fileDescription, internalName, fileVersion, productName,
        productVersion, companyName;
};

// One status message as the server records it.
struct ActivityRow {
    int64_t id = 0;
    int userId = -1;
    std::optional<int> machineId;
    int64_t eventTime = 0;   // when it happened, seconds since 1970 (UTC)
    int64_t arrivalTime = 0; // when the server received it
    std::optional<int64_t> eventTimeDelta;
    int msgType = 0;
    std::optional<std::wstring> systemState;
    std::optional<int> applicationId;
    std::wstring context1, context2, context3;
    ByteArray applicationHash;
    ApplicationFields fields;
    std::wstring filePath;
    // What makes two deliveries the same message (see TcServer).
    ByteArray contentKey;
};

// The directory details a client reports for its user.
struct UserDetailsRecord {
    std::wstring windowsUserName, userDomain, sid, firstName, surName, displayName, namePrefix,
        jobTitle, managerSid, department, division, telephoneNumber, mobileNumber;
    std::vector<std::pair<std::wstring, std::wstring>> groups; // name, GUID
    int64_t updated = 0;
};

// One setting of a user's client profile: an integer, or a text when
// isText.
struct ProfileSetting {
    std::wstring name;
    bool isText = false;
    int value = 0;
    std::wstring text;
};

struct OrganisationRecord {
    int id = 0;
    bool approvalRequired = false;
    int enrollmentUserId = -1;
};

// One person's enrollment through an organisation.
struct EnrollmentRecord {
    int id = 0;
    int organisationId = 0;
    std::wstring sid, windowsUserName, userDomain, displayName, emailAddress, machineName,
        localIpAddress;
    std::string state; // "pending", "approved", "refused", "enrolled"
    int userId = -1;   // the account made for the person, once enrolled
    int64_t requested = 0, updated = 0;
};

class ServerDatabase {
public:
    // The first id given to an executable; 2, 3 and 4 stand for the declared
    // states and are never given to a program.
    static constexpr int FirstApplicationId = 1000;
    static constexpr int MeetingApplicationId = 2;
    static constexpr int PhoneApplicationId = 3;
    static constexpr int PersonalApplicationId = 4;

    // Opens (creating when missing) the database file and its tables.
    explicit ServerDatabase(const std::string& path);
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    // Accounts. Names are kept in lower case; lookups ignore case.
    // addUser throws DatabaseError when the name exists.
    int addUser(const std::wstring& name, const std::string& passwordHash, int organisationId = 0);
    std::optional<UserRecord> findUser(const std::wstring& name);
    std::optional<UserRecord> findUser(int id);
    bool setSuspended(const std::wstring& name, bool suspended); // false: no such user
    bool setPassword(const std::wstring& name, const std::string& passwordHash);
    std::vector<UserRecord> users();
    // Starts a logon: the challenge replaces any earlier one.
    void setChallenge(int userId, const ByteArray& challenge);
    // Completes a logon: the key becomes the user's session key and the
    // challenge is used up.
    void setSessionKey(int userId, const ByteArray& key);
    // The challenge of the logon in progress, used up by this call (empty
    // when there is none), so that one challenge takes one answer even when
    // two answers arrive at once.
    ByteArray takeChallenge(int userId);

    // Directory details, replaced as a whole by each report.
    void setUserDetails(int userId, const UserDetailsRecord& details);
    std::optional<UserDetailsRecord> userDetails(int userId);

    // Client profiles. setProfileSetting replaces a setting of that name.
    void setProfileSetting(int userId, const ProfileSetting& setting);
    bool removeProfileSetting(int userId, const std::wstring& name);
    std::vector<ProfileSetting> profile(int userId); // in name order

    // Organisations and enrollments. addOrganisation makes the organisation
    // with its enrollment account (throws DatabaseError when the id or the
    // account name is taken).
    void addOrganisation(int id, bool approvalRequired, const std::wstring& enrollmentName,
                         const std::string& enrollmentPasswordHash);
    std::optional<OrganisationRecord> findOrganisation(int id);
    // The person's enrollment by organisation and SID (or, with no SID, by
    // domain and Windows user name): made in firstState on first sight; the
    // details it names are updated from request every time.
    EnrollmentRecord enrollment(const EnrollmentRecord& request, const std::string& firstState);
    std::optional<EnrollmentRecord> findEnrollment(int id);
    std::vector<EnrollmentRecord> enrollments();
    bool setEnrollmentState(int id, const std::string& state, int userId);

    // Machines by name and domain (ignoring case); created on first sight.
    int machineId(const std::wstring& name, const std::wstring& domain);
    bool machineExists(int id);

    // Executables by path (ignoring case); created on first sight with the
    // version fields and icon of that first report.
    int applicationId(const std::wstring& path, const ApplicationFields& fields,
                      const ByteArray& icon);
    bool applicationExists(int id);
    std::wstring applicationName(int id); // empty when unknown

    // Stores the row unless it repeats a message already stored: a row of the
    // same user with the same content key whose event time lies within
    // repeatWindow seconds, with no other row of that user strictly between
    // the two times. Returns false for a repeat (nothing stored).
    bool storeActivity(ActivityRow& row, int64_t repeatWindow);
    // The user's rows whose event time lies in [from, to), in time order.
    std::vector<ActivityRow> activity(int userId, int64_t from, int64_t to);
    int64_t activityCount();

private:
    void exec(const char* sql);
    std::optional<UserRecord> findUserWhere(const char* where, const std::string& text, int id);

    sqlite3* m_db = nullptr;
    std::unique_ptr<SqlStatementCache> m_statements;
    std::mutex m_lock;
};
