#include "tools/tcserver/posix/ServerDatabase.h"

#include <sqlite3.h>

#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/SqlStatement.h"

namespace {

const char* const Schema = R"SQL(
CREATE TABLE IF NOT EXISTS users(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  password_hash TEXT NOT NULL,
  suspended INTEGER NOT NULL DEFAULT 0,
  organisation_id INTEGER NOT NULL DEFAULT 0,
  challenge BLOB,
  session_key BLOB);
CREATE TABLE IF NOT EXISTS machines(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL COLLATE NOCASE,
  domain TEXT NOT NULL COLLATE NOCASE,
  UNIQUE(name, domain));
CREATE TABLE IF NOT EXISTS applications(
  id INTEGER PRIMARY KEY,
  file_path TEXT UNIQUE COLLATE NOCASE,
  name TEXT,
  original_filename TEXT, file_description TEXT, internal_name TEXT, file_version TEXT,
  product_name TEXT, product_version TEXT, company_name TEXT,
  icon BLOB);
INSERT OR IGNORE INTO applications(id, name) VALUES (2, 'Meeting'), (3, 'Phone call'), (4, 'Personal time');
CREATE TABLE IF NOT EXISTS activity(
  id INTEGER PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id),
  machine_id INTEGER REFERENCES machines(id),
  event_time INTEGER NOT NULL,
  arrival_time INTEGER NOT NULL,
  event_time_delta INTEGER,
  msg_type INTEGER NOT NULL,
  system_state TEXT,
  application_id INTEGER REFERENCES applications(id),
  context1 TEXT NOT NULL, context2 TEXT NOT NULL, context3 TEXT NOT NULL,
  application_hash BLOB,
  original_filename TEXT, file_description TEXT, internal_name TEXT, file_version TEXT,
  product_name TEXT, product_version TEXT, company_name TEXT, file_path TEXT,
  content_key BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS activity_user_time ON activity(user_id, event_time);
CREATE INDEX IF NOT EXISTS activity_repeats ON activity(user_id, content_key, event_time);
CREATE TABLE IF NOT EXISTS user_details(
  user_id INTEGER PRIMARY KEY REFERENCES users(id),
  windows_user_name TEXT, user_domain TEXT, sid TEXT, first_name TEXT, sur_name TEXT,
  display_name TEXT, name_prefix TEXT, job_title TEXT, manager_sid TEXT, department TEXT,
  division TEXT, telephone_number TEXT, mobile_number TEXT,
  updated INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS user_groups(
  user_id INTEGER NOT NULL REFERENCES users(id),
  position INTEGER NOT NULL,
  name TEXT NOT NULL, guid TEXT NOT NULL,
  PRIMARY KEY(user_id, position));
CREATE TABLE IF NOT EXISTS profiles(
  user_id INTEGER NOT NULL REFERENCES users(id),
  name TEXT NOT NULL,
  int_value INTEGER, text_value TEXT,
  PRIMARY KEY(user_id, name));
CREATE TABLE IF NOT EXISTS organisations(
  id INTEGER PRIMARY KEY,
  approval_required INTEGER NOT NULL,
  enrollment_user_id INTEGER NOT NULL REFERENCES users(id));
CREATE TABLE IF NOT EXISTS enrollments(
  id INTEGER PRIMARY KEY,
  organisation_id INTEGER NOT NULL REFERENCES organisations(id),
  sid TEXT NOT NULL, windows_user_name TEXT NOT NULL, user_domain TEXT NOT NULL,
  display_name TEXT, email_address TEXT, machine_name TEXT, local_ip_address TEXT,
  state TEXT NOT NULL, user_id INTEGER REFERENCES users(id),
  requested INTEGER NOT NULL, updated INTEGER NOT NULL);
)SQL";

UserRecord readUser(SqlStatement& s)
{
    UserRecord user;
    user.id = static_cast<int>(s.int64(0));
    user.name = s.wtext(1);
    user.passwordHash = s.text(2);
    user.suspended = s.int64(3) != 0;
    user.challenge = s.blob(4);
    user.sessionKey = s.blob(5);
    user.organisationId = static_cast<int>(s.int64(6));
    return user;
}

const char* const UserColumns = "SELECT id, name, password_hash, suspended, challenge, session_key, organisation_id FROM users ";

const char* const ActivityColumns =
    "SELECT id, user_id, machine_id, event_time, arrival_time, event_time_delta, msg_type, "
    "system_state, application_id, context1, context2, context3, application_hash, "
    "original_filename, file_description, internal_name, file_version, product_name, "
    "product_version, company_name, file_path, content_key FROM activity ";

ActivityRow readActivity(SqlStatement& s)
{
    ActivityRow row;
    row.id = s.int64(0);
    row.userId = static_cast<int>(s.int64(1));
    if (!s.isNull(2))
        row.machineId = static_cast<int>(s.int64(2));
    row.eventTime = s.int64(3);
    row.arrivalTime = s.int64(4);
    if (!s.isNull(5))
        row.eventTimeDelta = s.int64(5);
    row.msgType = static_cast<int>(s.int64(6));
    if (!s.isNull(7))
        row.systemState = s.wtext(7);
    if (!s.isNull(8))
        row.applicationId = static_cast<int>(s.int64(8));
    row.context1 = s.wtext(9);
    row.context2 = s.wtext(10);
    row.context3 = s.wtext(11);
    row.applicationHash = s.blob(12);
    row.fields.originalFilename = s.wtext(13);
    row.fields.fileDescription = s.wtext(14);
    row.fields.internalName = s.wtext(15);
    row.fields.fileVersion = s.wtext(16);
    row.fields.productName = s.wtext(17);
    row.fields.productVersion = s.wtext(18);
    row.fields.companyName = s.wtext(19);
    row.filePath = s.wtext(20);
    row.contentKey = s.blob(21);
    return row;
}

} // namespace

ServerDatabase::ServerDatabase(const std::string& path)
{
    if (sqlite3_open_v2(path.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string text = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw DatabaseError("cannot open " + path + ": " + text);
    }
    // Another process (the command line adding a user while the server runs,
    // a test reading rows) may hold the file for a moment.
    sqlite3_busy_timeout(m_db, 5000);
    m_statements = std::make_unique<SqlStatementCache>(m_db);
    try {
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        exec("PRAGMA foreign_keys=ON");
        exec(Schema);
    } catch (...) {
        m_statements.reset();
        sqlite3_close(m_db);
        throw;
    }
}

ServerDatabase::~ServerDatabase()
{
    m_statements.reset();
    sqlite3_close(m_db);
}

void ServerDatabase::exec(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "?";
        sqlite3_free(error);
        throw DatabaseError(text);
    }
}

int ServerDatabase::addUser(const std::wstring& name, const std::string& passwordHash, int organisationId)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "INSERT INTO users(name, password_hash, organisation_id) VALUES (?, ?, ?)");
    s.bind(1, ServerText::lower(name)).bind(2, passwordHash).bind(3, static_cast<int64_t>(organisationId));
    try {
        s.step();
    } catch (const DatabaseError&) {
        throw DatabaseError("user " + ServerText::utf8(name) + " exists");
    }
    return static_cast<int>(sqlite3_last_insert_rowid(m_db));
}

std::optional<UserRecord> ServerDatabase::findUserWhere(const char* where, const std::string& text,
                                                        int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, (std::string(UserColumns) + where).c_str());
    if (text.empty())
        s.bind(1, static_cast<int64_t>(id));
    else
        s.bind(1, text);
    if (!s.step())
        return std::nullopt;
    return readUser(s);
}

std::optional<UserRecord> ServerDatabase::findUser(const std::wstring& name)
{
    if (name.empty())
        return std::nullopt;
    return findUserWhere("WHERE name = ?", ServerText::utf8(ServerText::lower(name)), 0);
}

std::optional<UserRecord> ServerDatabase::findUser(int id)
{
    return findUserWhere("WHERE id = ?", std::string(), id);
}

bool ServerDatabase::setSuspended(const std::wstring& name, bool suspended)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "UPDATE users SET suspended = ? WHERE name = ?");
    s.bind(1, static_cast<int64_t>(suspended ? 1 : 0)).bind(2, ServerText::lower(name));
    s.step();
    return sqlite3_changes(m_db) > 0;
}

bool ServerDatabase::setPassword(const std::wstring& name, const std::string& passwordHash)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "UPDATE users SET password_hash = ?, session_key = NULL, challenge = NULL "
                      "WHERE name = ?");
    s.bind(1, passwordHash).bind(2, ServerText::lower(name));
    s.step();
    return sqlite3_changes(m_db) > 0;
}

std::vector<UserRecord> ServerDatabase::users()
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, (std::string(UserColumns) + "ORDER BY id").c_str());
    std::vector<UserRecord> all;
    while (s.step())
        all.push_back(readUser(s));
    return all;
}

void ServerDatabase::setChallenge(int userId, const ByteArray& challenge)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "UPDATE users SET challenge = ? WHERE id = ?");
    s.bind(1, challenge).bind(2, static_cast<int64_t>(userId));
    s.step();
}

void ServerDatabase::setSessionKey(int userId, const ByteArray& key)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "UPDATE users SET session_key = ?, challenge = NULL WHERE id = ?");
    s.bind(1, key).bind(2, static_cast<int64_t>(userId));
    s.step();
}

ByteArray ServerDatabase::takeChallenge(int userId)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTransaction transaction(m_db);
    ByteArray challenge;
    {
        SqlStatement s(*m_statements, "SELECT challenge FROM users WHERE id = ?");
        s.bind(1, static_cast<int64_t>(userId));
        if (s.step())
            challenge = s.blob(0);
    }
    {
        SqlStatement s(*m_statements, "UPDATE users SET challenge = NULL WHERE id = ?");
        s.bind(1, static_cast<int64_t>(userId));
        s.step();
    }
    transaction.commit();
    return challenge;
}

int ServerDatabase::machineId(const std::wstring& name, const std::wstring& domain)
{
    std::lock_guard<std::mutex> hold(m_lock);
    {
        SqlStatement s(*m_statements, "SELECT id FROM machines WHERE name = ? AND domain = ?");
        s.bind(1, name).bind(2, domain);
        if (s.step())
            return static_cast<int>(s.int64(0));
    }
    SqlStatement s(*m_statements, "INSERT INTO machines(name, domain) VALUES (?, ?)");
    s.bind(1, name).bind(2, domain);
    s.step();
    return static_cast<int>(sqlite3_last_insert_rowid(m_db));
}

bool ServerDatabase::machineExists(int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT 1 FROM machines WHERE id = ?");
    s.bind(1, static_cast<int64_t>(id));
    return s.step();
}

int ServerDatabase::applicationId(const std::wstring& path, const ApplicationFields& f,
                                  const ByteArray& icon)
{
    std::lock_guard<std::mutex> hold(m_lock);
    {
        SqlStatement s(*m_statements, "SELECT id FROM applications WHERE file_path = ?");
        s.bind(1, path);
        if (s.step())
            return static_cast<int>(s.int64(0));
    }
    SqlStatement s(*m_statements,
                "INSERT INTO applications(id, file_path, name, original_filename, file_description, "
                "internal_name, file_version, product_name, product_version, company_name, icon) "
                "VALUES ((SELECT MAX(?, IFNULL(MAX(id), 0) + 1) FROM applications), "
                "?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::wstring name = !f.fileDescription.empty()    ? f.fileDescription
                        : !f.originalFilename.empty() ? f.originalFilename
                                                      : path.substr(path.find_last_of(L"\\/") + 1);
    s.bind(1, static_cast<int64_t>(FirstApplicationId))
        .bind(2, path)
        .bind(3, name)
        .bind(4, f.originalFilename)
        .bind(5, f.fileDescription)
        .bind(6, f.internalName)
        .bind(7, f.fileVersion)
        .bind(8, f.productName)
        .bind(9, f.productVersion)
        .bind(10, f.companyName)
        .bind(11, icon);
    s.step();
    return static_cast<int>(sqlite3_last_insert_rowid(m_db));
}

bool ServerDatabase::applicationExists(int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT 1 FROM applications WHERE id = ?");
    s.bind(1, static_cast<int64_t>(id));
    return s.step();
}

std::wstring ServerDatabase::applicationName(int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT name FROM applications WHERE id = ?");
    s.bind(1, static_cast<int64_t>(id));
    return s.step() ? s.wtext(0) : std::wstring();
}

bool ServerDatabase::storeActivity(ActivityRow& row, int64_t repeatWindow)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTransaction transaction(m_db);
    {
        // An earlier delivery of the same content in the window, if no
        // other row of the user lies between the two times. Times are whole
        // seconds, and a lost reply makes the client send again what it
        // sent after the lost one too, so the order of arrival within one
        // second says nothing: the same content twice in one second is one
        // message.
        SqlStatement s(*m_statements,
                    "SELECT a.event_time FROM activity a WHERE a.user_id = ?1 AND a.content_key = ?2 "
                    "AND a.event_time BETWEEN ?3 - ?4 AND ?3 + ?4 "
                    "AND NOT EXISTS (SELECT 1 FROM activity b WHERE b.user_id = ?1 "
                    "  AND b.content_key <> ?2 "
                    "  AND b.event_time > MIN(a.event_time, ?3) AND b.event_time < MAX(a.event_time, ?3)) "
                    "LIMIT 1");
        s.bind(1, static_cast<int64_t>(row.userId))
            .bind(2, row.contentKey)
            .bind(3, row.eventTime)
            .bind(4, repeatWindow);
        if (s.step())
            return false;
    }
    {
        SqlStatement s(*m_statements,
                    "INSERT INTO activity(user_id, machine_id, event_time, arrival_time, event_time_delta, "
                    "msg_type, system_state, application_id, context1, context2, context3, "
                    "application_hash, original_filename, file_description, internal_name, file_version, "
                    "product_name, product_version, company_name, file_path, content_key) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, static_cast<int64_t>(row.userId))
            .bind(2, row.machineId)
            .bind(3, row.eventTime)
            .bind(4, row.arrivalTime)
            .bind(5, row.eventTimeDelta)
            .bind(6, static_cast<int64_t>(row.msgType))
            .bind(7, row.systemState)
            .bind(8, row.applicationId)
            .bind(9, row.context1)
            .bind(10, row.context2)
            .bind(11, row.context3)
            .bind(12, row.applicationHash)
            .bindNullIfEmpty(13, row.fields.originalFilename)
            .bindNullIfEmpty(14, row.fields.fileDescription)
            .bindNullIfEmpty(15, row.fields.internalName)
            .bindNullIfEmpty(16, row.fields.fileVersion)
            .bindNullIfEmpty(17, row.fields.productName)
            .bindNullIfEmpty(18, row.fields.productVersion)
            .bindNullIfEmpty(19, row.fields.companyName)
            .bindNullIfEmpty(20, row.filePath)
            .bind(21, row.contentKey);
        s.step();
        row.id = sqlite3_last_insert_rowid(m_db);
    }
    transaction.commit();
    return true;
}

std::vector<ActivityRow> ServerDatabase::activity(int userId, int64_t from, int64_t to)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, (std::string(ActivityColumns) +
                       "WHERE user_id = ? AND event_time >= ? AND event_time < ? "
                       "ORDER BY event_time, id")
                          .c_str());
    s.bind(1, static_cast<int64_t>(userId)).bind(2, from).bind(3, to);
    std::vector<ActivityRow> rows;
    while (s.step())
        rows.push_back(readActivity(s));
    return rows;
}

int64_t ServerDatabase::activityCount()
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT COUNT(*) FROM activity");
    s.step();
    return s.int64(0);
}

void ServerDatabase::setUserDetails(int userId, const UserDetailsRecord& d)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTransaction transaction(m_db);
    {
        SqlStatement s(*m_statements, "INSERT OR REPLACE INTO user_details(user_id, windows_user_name, user_domain, sid, "
                          "first_name, sur_name, display_name, name_prefix, job_title, manager_sid, department, "
                          "division, telephone_number, mobile_number, updated) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, static_cast<int64_t>(userId))
            .bind(2, d.windowsUserName)
            .bind(3, d.userDomain)
            .bind(4, d.sid)
            .bind(5, d.firstName)
            .bind(6, d.surName)
            .bind(7, d.displayName)
            .bind(8, d.namePrefix)
            .bind(9, d.jobTitle)
            .bind(10, d.managerSid)
            .bind(11, d.department)
            .bind(12, d.division)
            .bind(13, d.telephoneNumber)
            .bind(14, d.mobileNumber)
            .bind(15, d.updated);
        s.step();
    }
    {
        SqlStatement s(*m_statements, "DELETE FROM user_groups WHERE user_id = ?");
        s.bind(1, static_cast<int64_t>(userId));
        s.step();
    }
    for (size_t i = 0; i < d.groups.size(); ++i) {
        SqlStatement s(*m_statements, "INSERT INTO user_groups(user_id, position, name, guid) VALUES (?, ?, ?, ?)");
        s.bind(1, static_cast<int64_t>(userId))
            .bind(2, static_cast<int64_t>(i))
            .bind(3, d.groups[i].first)
            .bind(4, d.groups[i].second);
        s.step();
    }
    transaction.commit();
}

std::optional<UserDetailsRecord> ServerDatabase::userDetails(int userId)
{
    std::lock_guard<std::mutex> hold(m_lock);
    UserDetailsRecord d;
    {
        SqlStatement s(*m_statements, "SELECT windows_user_name, user_domain, sid, first_name, sur_name, display_name, "
                          "name_prefix, job_title, manager_sid, department, division, telephone_number, "
                          "mobile_number, updated FROM user_details WHERE user_id = ?");
        s.bind(1, static_cast<int64_t>(userId));
        if (!s.step())
            return std::nullopt;
        std::wstring* fields[] = {&d.windowsUserName, &d.userDomain, &d.sid,        &d.firstName,
                                  &d.surName,         &d.displayName, &d.namePrefix, &d.jobTitle,
                                  &d.managerSid,      &d.department,  &d.division,   &d.telephoneNumber,
                                  &d.mobileNumber};
        for (int i = 0; i < 13; ++i)
            *fields[i] = s.wtext(i);
        d.updated = s.int64(13);
    }
    SqlStatement s(*m_statements, "SELECT name, guid FROM user_groups WHERE user_id = ? ORDER BY position");
    s.bind(1, static_cast<int64_t>(userId));
    while (s.step())
        d.groups.emplace_back(s.wtext(0), s.wtext(1));
    return d;
}

void ServerDatabase::setProfileSetting(int userId, const ProfileSetting& setting)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "INSERT OR REPLACE INTO profiles(user_id, name, int_value, text_value) VALUES (?, ?, ?, ?)");
    s.bind(1, static_cast<int64_t>(userId)).bind(2, setting.name);
    if (setting.isText)
        s.bind(3, std::optional<int>()).bind(4, setting.text);
    else
        s.bind(3, static_cast<int64_t>(setting.value)).bind(4, std::optional<std::wstring>());
    s.step();
}

bool ServerDatabase::removeProfileSetting(int userId, const std::wstring& name)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "DELETE FROM profiles WHERE user_id = ? AND name = ?");
    s.bind(1, static_cast<int64_t>(userId)).bind(2, name);
    s.step();
    return sqlite3_changes(m_db) > 0;
}

std::vector<ProfileSetting> ServerDatabase::profile(int userId)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT name, int_value, text_value FROM profiles WHERE user_id = ? ORDER BY name");
    s.bind(1, static_cast<int64_t>(userId));
    std::vector<ProfileSetting> settings;
    while (s.step()) {
        ProfileSetting setting;
        setting.name = s.wtext(0);
        setting.isText = s.isNull(1);
        if (setting.isText)
            setting.text = s.wtext(2);
        else
            setting.value = static_cast<int>(s.int64(1));
        settings.push_back(setting);
    }
    return settings;
}

void ServerDatabase::addOrganisation(int id, bool approvalRequired, const std::wstring& enrollmentName,
                                     const std::string& enrollmentPasswordHash)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTransaction transaction(m_db);
    {
        SqlStatement s(*m_statements, "SELECT 1 FROM organisations WHERE id = ?");
        s.bind(1, static_cast<int64_t>(id));
        if (s.step())
            throw DatabaseError("organisation " + std::to_string(id) + " exists");
    }
    int64_t userId = 0;
    {
        SqlStatement s(*m_statements, "INSERT INTO users(name, password_hash, organisation_id) VALUES (?, ?, ?)");
        s.bind(1, ServerText::lower(enrollmentName)).bind(2, enrollmentPasswordHash).bind(3, static_cast<int64_t>(id));
        try {
            s.step();
        } catch (const DatabaseError&) {
            throw DatabaseError("user " + ServerText::utf8(enrollmentName) + " exists");
        }
        userId = sqlite3_last_insert_rowid(m_db);
    }
    SqlStatement s(*m_statements, "INSERT INTO organisations(id, approval_required, enrollment_user_id) VALUES (?, ?, ?)");
    s.bind(1, static_cast<int64_t>(id)).bind(2, static_cast<int64_t>(approvalRequired ? 1 : 0)).bind(3, userId);
    s.step();
    transaction.commit();
}

std::optional<OrganisationRecord> ServerDatabase::findOrganisation(int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "SELECT id, approval_required, enrollment_user_id FROM organisations WHERE id = ?");
    s.bind(1, static_cast<int64_t>(id));
    if (!s.step())
        return std::nullopt;
    OrganisationRecord org;
    org.id = static_cast<int>(s.int64(0));
    org.approvalRequired = s.int64(1) != 0;
    org.enrollmentUserId = static_cast<int>(s.int64(2));
    return org;
}

namespace {

const char* const EnrollmentColumns =
    "SELECT id, organisation_id, sid, windows_user_name, user_domain, display_name, email_address, "
    "machine_name, local_ip_address, state, user_id, requested, updated FROM enrollments ";

EnrollmentRecord readEnrollment(SqlStatement& s)
{
    EnrollmentRecord e;
    e.id = static_cast<int>(s.int64(0));
    e.organisationId = static_cast<int>(s.int64(1));
    e.sid = s.wtext(2);
    e.windowsUserName = s.wtext(3);
    e.userDomain = s.wtext(4);
    e.displayName = s.wtext(5);
    e.emailAddress = s.wtext(6);
    e.machineName = s.wtext(7);
    e.localIpAddress = s.wtext(8);
    e.state = s.text(9);
    e.userId = s.isNull(10) ? -1 : static_cast<int>(s.int64(10));
    e.requested = s.int64(11);
    e.updated = s.int64(12);
    return e;
}

} // namespace

EnrollmentRecord ServerDatabase::enrollment(const EnrollmentRecord& r, const std::string& firstState)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlTransaction transaction(m_db);
    int64_t id = 0;
    {
        // Windows names ignore case; a SID is the better identity when the
        // client has one.
        SqlStatement s(*m_statements, r.sid.empty()
                              ? "SELECT id FROM enrollments WHERE organisation_id = ?1 AND sid = '' "
                                "AND lower(windows_user_name) = lower(?3) AND lower(user_domain) = lower(?4)"
                              : "SELECT id FROM enrollments WHERE organisation_id = ?1 AND sid = ?2");
        s.bind(1, static_cast<int64_t>(r.organisationId));
        if (r.sid.empty())
            s.bind(3, r.windowsUserName).bind(4, r.userDomain);
        else
            s.bind(2, r.sid);
        if (s.step())
            id = s.int64(0);
    }
    if (id == 0) {
        SqlStatement s(*m_statements, "INSERT INTO enrollments(organisation_id, sid, windows_user_name, user_domain, state, "
                          "requested, updated) VALUES (?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, static_cast<int64_t>(r.organisationId))
            .bind(2, r.sid)
            .bind(3, r.windowsUserName)
            .bind(4, r.userDomain)
            .bind(5, firstState)
            .bind(6, r.requested)
            .bind(7, r.requested);
        s.step();
        id = sqlite3_last_insert_rowid(m_db);
    }
    {
        SqlStatement s(*m_statements, "UPDATE enrollments SET windows_user_name = ?, user_domain = ?, display_name = ?, "
                          "email_address = ?, machine_name = ?, local_ip_address = ?, updated = ? WHERE id = ?");
        s.bind(1, r.windowsUserName)
            .bind(2, r.userDomain)
            .bind(3, r.displayName)
            .bind(4, r.emailAddress)
            .bind(5, r.machineName)
            .bind(6, r.localIpAddress)
            .bind(7, r.requested)
            .bind(8, id);
        s.step();
    }
    EnrollmentRecord e;
    {
        SqlStatement s(*m_statements, (std::string(EnrollmentColumns) + "WHERE id = ?").c_str());
        s.bind(1, id);
        s.step();
        e = readEnrollment(s);
    }
    transaction.commit();
    return e;
}

std::optional<EnrollmentRecord> ServerDatabase::findEnrollment(int id)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, (std::string(EnrollmentColumns) + "WHERE id = ?").c_str());
    s.bind(1, static_cast<int64_t>(id));
    if (!s.step())
        return std::nullopt;
    return readEnrollment(s);
}

std::vector<EnrollmentRecord> ServerDatabase::enrollments()
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, (std::string(EnrollmentColumns) + "ORDER BY id").c_str());
    std::vector<EnrollmentRecord> all;
    while (s.step())
        all.push_back(readEnrollment(s));
    return all;
}

bool ServerDatabase::setEnrollmentState(int id, const std::string& state, int userId)
{
    std::lock_guard<std::mutex> hold(m_lock);
    SqlStatement s(*m_statements, "UPDATE enrollments SET state = ?, user_id = ? WHERE id = ?");
    s.bind(1, state).bind(3, static_cast<int64_t>(id));
    s.bind(2, userId > 0 ? std::optional<int>(userId) : std::optional<int>());
    s.step();
    return sqlite3_changes(m_db) > 0;
}
