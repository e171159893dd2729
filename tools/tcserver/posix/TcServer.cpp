#include "tools/tcserver/posix/TcServer.h"

#include <sys/random.h>

#include <cerrno>
#include <ctime>
#include <stdexcept>

#include "base/Exception.h"
#include "shared/server/HashDevice.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/ServerText.h"

struct TcServer::Opened {
    UserRecord user;
    ByteArray key;
    std::unique_ptr<Msg> plain;
};

namespace {

std::wstring stringAttribute(const Msg& msg, const wchar_t* name)
{
    std::wstring value;
    msg.getAttributeValue(name, value);
    return value;
}

// The name a message identifies its sender by before a user id exists.
std::wstring senderName(const Msg& msg)
{
    std::wstring name = stringAttribute(msg, L"TavelUsername");
    if (name.empty())
        name = stringAttribute(msg, L"EmailAddress");
    return name;
}

ByteArray hashBytes(const std::string& text)
{
    return ByteArray(text.data(), static_cast<int32_t>(text.size()));
}

} // namespace

TcServer::TcServer(ServerDatabase& db, Faults& faults, ServerConfig config, Clock clock)
    : m_db(db), m_faults(faults), m_config(std::move(config)), m_clock(std::move(clock))
{
}

TcServer::Clock TcServer::systemClock()
{
    return [] { return static_cast<int64_t>(std::time(nullptr)); };
}

ByteArray TcServer::randomChallenge()
{
    ByteArray challenge;
    uint8_t* p = challenge.getBuffer(16);
    size_t got = 0;
    while (got < 16) {
        const ssize_t n = getrandom(p + got, 16 - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("getrandom failed");
        }
        got += static_cast<size_t>(n);
    }
    return challenge;
}

std::wstring TcServer::errorType(ErrorId id)
{
    switch (id) {
    case VerifyDecryptFailed:
        return L"VerifyDecryptFailed";
    case ClientAppTooOld:
        return L"ClientAppTooOld";
    case AccountSuspended:
        return L"AccountSuspended";
    case InvalidMessage:
        return L"InvalidMessage";
    case UnsupportedMessage:
        return L"UnsupportedMessage";
    }
    return L"Unknown";
}

std::string TcServer::hello(const std::string& hostHeader) const
{
    std::string text;
    if (m_config.submitServers.empty()) {
        text += "server=http://" + (hostHeader.empty() ? std::string("localhost") : hostHeader) + "/";
    } else {
        for (size_t i = 0; i < m_config.submitServers.size(); ++i)
            text += (i ? ";server=" : "server=") + m_config.submitServers[i];
    }
    if (!m_config.clientVersion.empty())
        text += ";version=" + m_config.clientVersion;
    if (!m_config.clientVersionUrl.empty())
        text += ";version_url=" + m_config.clientVersionUrl;
    if (!m_config.motd.empty())
        text += ";motd=" + m_config.motd;
    if (!m_config.reportsUrl.empty())
        text += ";reports=" + m_config.reportsUrl;
    return text;
}

ByteArray TcServer::encode(const Msg& msg)
{
    ByteArray bytes;
    msg.toByteArray(bytes);
    return bytes;
}

ByteArray TcServer::error(ErrorId id)
{
    Msg msg;
    msg.setType(Msg::ERROR_MSG);
    msg.setAttributeValue(L"ErrorID", static_cast<int>(id));
    msg.setAttributeValue(L"ErrorType", errorType(id));
    return encode(msg);
}

ByteArray TcServer::seal(const Msg& plain, const ByteArray& key) const
{
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, key));
    if (m_faults.wrongKey()) {
        ByteArray wrong(key);
        for (int i = 0; i < wrong.getSize(); ++i)
            wrong.getData()[i] ^= 0x5A;
        ByteArray* data = nullptr;
        envelope->getAttributeValue(L"EncryptedData", data);
        envelope->setAttributeValue(L"Signature", SecurityDevice::signByteArray(*data, wrong));
    }
    return encode(*envelope);
}

bool TcServer::clientTooOld(const Msg& in, const std::string& userAgent) const
{
    if (m_config.minimumClientVersion.empty())
        return false;
    std::string version = ServerText::utf8(stringAttribute(in, L"ClientVersion"));
    if (version.empty()) {
        const size_t slash = userAgent.find('/');
        version = slash == std::string::npos ? std::string() : userAgent.substr(slash + 1);
    }
    // A client that says nothing of its version is taken as the oldest.
    if (version.empty())
        return true;
    return ServerText::compareVersions(version, m_config.minimumClientVersion) < 0;
}

ByteArray TcServer::submit(const ByteArray& body, const std::string& userAgent)
{
    Msg in;
    try {
        in.fromByteArray(body);
    } catch (const Exception&) {
        return error(InvalidMessage);
    }
    if (clientTooOld(in, userAgent))
        return error(ClientAppTooOld);

    switch (in.getType()) {
    case Msg::CHALLENGE_REQUEST:
        return challenge(in);
    case Msg::AUTHENTICATION_REQUEST:
        return authenticate(in);
    case Msg::SYSTEM_STATE_CHANGE:
    case Msg::APPLICATION_CHANGE:
    case Msg::USER_INFO_UPDATE:
    case Msg::CLIENT_PROFILE_REQUEST:
    case Msg::AUTO_ENROLL_REQUEST: {
        Opened opened;
        ByteArray refusal;
        if (!openEnvelope(in, opened, refusal))
            return refusal;
        if (in.getType() == Msg::USER_INFO_UPDATE)
            return userInfo(opened);
        if (in.getType() == Msg::CLIENT_PROFILE_REQUEST)
            return profile(opened);
        if (in.getType() == Msg::AUTO_ENROLL_REQUEST)
            return enroll(opened);
        return status(opened);
    }
    default:
        return error(UnsupportedMessage);
    }
}

ByteArray TcServer::challenge(const Msg& in)
{
    // An unknown name gets a challenge like any other, so that the answer
    // does not tell which accounts exist; its logon fails at the next step.
    const ByteArray data = randomChallenge();
    if (auto user = m_db.findUser(senderName(in)))
        m_db.setChallenge(user->id, data);
    Msg reply;
    reply.setType(Msg::CHALLENGE_RESPONSE);
    reply.setAttributeValue(L"ChallengeData", new ByteArray(data));
    return encode(reply);
}

ByteArray TcServer::authenticate(const Msg& in)
{
    Msg refused;
    refused.setType(Msg::AUTHENTICATION_RESPONSE);
    refused.setAttributeValue(L"Result", std::wstring(L"False"));

    auto user = m_db.findUser(senderName(in));
    if (!in.isSecure() || !user)
        return encode(refused);
    // One answer per challenge: a second guess needs a new challenge.
    const ByteArray challenge = m_db.takeChallenge(user->id);
    if (challenge.getSize() == 0)
        return encode(refused);

    const ByteArray key = SecurityDevice::generateSessionKey(hashBytes(user->passwordHash), challenge);
    std::unique_ptr<Msg> plain;
    try {
        plain.reset(SecurityDevice::verifyAndDecryptMsg(in, key));
    } catch (const Exception&) {
        return encode(refused); // wrong password
    }
    if (plain->getType() != Msg::AUTHENTICATION_REQUEST ||
        ServerText::lower(senderName(*plain)) != user->name)
        return encode(refused);
    if (user->suspended)
        return error(AccountSuspended);

    m_db.setSessionKey(user->id, key);
    Msg accepted;
    accepted.setType(Msg::AUTHENTICATION_RESPONSE);
    accepted.setAttributeValue(L"Result", std::wstring(L"True"));
    accepted.setAttributeValue(L"UserID", user->id);
    return seal(accepted, key);
}

bool TcServer::openEnvelope(const Msg& in, Opened& opened, ByteArray& errorReply)
{
    errorReply = error(VerifyDecryptFailed);
    if (!in.isSecure())
        return false;
    int userId = -1;
    std::optional<UserRecord> user = in.getAttributeValue(L"UserID", userId) && userId > 0
                                         ? m_db.findUser(userId)
                                         : m_db.findUser(senderName(in));
    if (!user || user->sessionKey.getSize() == 0)
        return false;
    try {
        opened.plain.reset(SecurityDevice::verifyAndDecryptMsg(in, user->sessionKey));
    } catch (const Exception&) {
        return false;
    }
    if (opened.plain->getType() != in.getType())
        return false;
    if (user->suspended) {
        errorReply = error(AccountSuspended);
        return false;
    }
    opened.key = user->sessionKey;
    opened.user = std::move(*user);
    return true;
}

ByteArray TcServer::status(Opened& opened)
{
    const Msg& msg = *opened.plain;
    ActivityRow row;
    row.userId = opened.user.id;
    row.msgType = msg.getType();
    row.arrivalTime = m_clock();
    int delta = 0;
    if (msg.getAttributeValue(L"EventTimeDelta", delta)) {
        row.eventTimeDelta = delta;
        row.eventTime = row.arrivalTime - (delta > 0 ? delta : 0);
    } else {
        row.eventTime = row.arrivalTime;
    }

    Msg update;
    update.setType(Msg::UPDATE);
    bool tellClient = false;

    int machineId = -1;
    if (msg.getAttributeValue(L"MachineID", machineId) && machineId > 0 && m_db.machineExists(machineId)) {
        row.machineId = machineId;
    } else if (msg.containsStringAttribute(L"MachineName")) {
        row.machineId = m_db.machineId(stringAttribute(msg, L"MachineName"),
                                       stringAttribute(msg, L"MachineDomain"));
        update.setAttributeValue(L"MachineID", *row.machineId);
        tellClient = true;
    }

    if (row.msgType == Msg::SYSTEM_STATE_CHANGE) {
        if (msg.containsStringAttribute(L"SystemState"))
            row.systemState = stringAttribute(msg, L"SystemState");
    } else {
        row.context1 = stringAttribute(msg, L"ContextString1");
        row.context2 = stringAttribute(msg, L"ContextString2");
        row.context3 = stringAttribute(msg, L"ContextString3");
        ByteArray* hash = nullptr;
        if (msg.getAttributeValue(L"ApplicationHash", hash))
            row.applicationHash = *hash;
        ApplicationFields& f = row.fields;
        f.originalFilename = stringAttribute(msg, L"OriginalFilename");
        f.fileDescription = stringAttribute(msg, L"FileDescription");
        f.internalName = stringAttribute(msg, L"InternalName");
        f.fileVersion = stringAttribute(msg, L"FileVersion");
        f.productName = stringAttribute(msg, L"ProductName");
        f.productVersion = stringAttribute(msg, L"ProductVersion");
        f.companyName = stringAttribute(msg, L"CompanyName");
        row.filePath = stringAttribute(msg, L"FilePath");

        int applicationId = -1;
        if (msg.getAttributeValue(L"ApplicationID", applicationId) && applicationId > 0 &&
            m_db.applicationExists(applicationId)) {
            row.applicationId = applicationId;
        } else if (!row.filePath.empty()) {
            ByteArray* icon = nullptr;
            msg.getAttributeValue(L"Icon", icon);
            row.applicationId = m_db.applicationId(row.filePath, f, icon ? *icon : ByteArray());
            update.setAttributeValue(L"ApplicationID", *row.applicationId);
            update.setAttributeValue(L"FilePath", row.filePath);
            tellClient = true;
        }
    }

    // The normalised content, in the wire form so that its digest is fixed.
    Msg content;
    content.setType(static_cast<Msg::MsgType>(row.msgType));
    content.setAttributeValue(L"MachineID", row.machineId.value_or(-1));
    if (row.systemState)
        content.setAttributeValue(L"SystemState", *row.systemState);
    if (row.applicationId)
        content.setAttributeValue(L"ApplicationID", *row.applicationId);
    content.setAttributeValue(L"ContextString1", row.context1);
    content.setAttributeValue(L"ContextString2", row.context2);
    content.setAttributeValue(L"ContextString3", row.context3);
    content.setAttributeValue(L"ApplicationHash", new ByteArray(row.applicationHash));
    HashDevice::hashData(encode(content), row.contentKey, false);

    // A repeat is answered like the first delivery (its reply may be what
    // was lost), but not stored again.
    m_db.storeActivity(row, m_config.repeatWindow);

    if (!tellClient) {
        Msg ack;
        ack.setType(Msg::ACKNOWLEDGEMENT);
        return encode(ack);
    }
    return seal(update, opened.key);
}

ByteArray TcServer::userInfo(Opened& opened)
{
    const Msg& msg = *opened.plain;
    UserDetailsRecord d;
    d.windowsUserName = stringAttribute(msg, L"WindowsUserName");
    d.userDomain = stringAttribute(msg, L"UserDomain");
    d.sid = stringAttribute(msg, L"SID");
    d.firstName = stringAttribute(msg, L"FirstName");
    d.surName = stringAttribute(msg, L"SurName");
    d.displayName = stringAttribute(msg, L"DisplayName");
    d.namePrefix = stringAttribute(msg, L"NamePrefix");
    d.jobTitle = stringAttribute(msg, L"JobTitle");
    d.managerSid = stringAttribute(msg, L"ManagerSID");
    d.department = stringAttribute(msg, L"Department");
    d.division = stringAttribute(msg, L"Division");
    d.telephoneNumber = stringAttribute(msg, L"TelephoneNumber");
    d.mobileNumber = stringAttribute(msg, L"MobileNumber");
    // Groups are numbered from 0 without gaps; the list ends at the first
    // number that has neither a name nor a GUID.
    for (int i = 0; i < MaximumGroups; ++i) {
        const std::wstring n = L"ADGroupName_" + std::to_wstring(i);
        const std::wstring g = L"ADGroupGUID_" + std::to_wstring(i);
        if (!msg.containsStringAttribute(n) && !msg.containsStringAttribute(g))
            break;
        d.groups.emplace_back(stringAttribute(msg, n.c_str()), stringAttribute(msg, g.c_str()));
    }
    d.updated = m_clock();
    m_db.setUserDetails(opened.user.id, d);
    Msg ack;
    ack.setType(Msg::ACKNOWLEDGEMENT);
    return encode(ack);
}

ByteArray TcServer::profile(Opened& opened)
{
    Msg reply;
    reply.setType(Msg::CLIENT_PROFILE_RESPONSE);
    for (const ProfileSetting& setting : m_db.profile(opened.user.id)) {
        // The type attribute is the message's own; a setting may not replace it.
        if (setting.name == L"MsgType")
            continue;
        if (setting.isText)
            reply.setAttributeValue(setting.name, setting.text);
        else
            reply.setAttributeValue(setting.name, setting.value);
    }
    return seal(reply, opened.key);
}

std::wstring TcServer::randomPassword()
{
    ByteArray bytes = randomChallenge();
    ByteArray more = randomChallenge();
    bytes.appendData(more.getData(), 2);
    return ServerText::wide(ServerText::base64(bytes));
}

std::wstring TcServer::enrollmentUserName(int organisationId)
{
    return L"autoenroll@" + std::to_wstring(organisationId) + L".org";
}

std::wstring TcServer::organisationToken(int organisationId, const std::wstring& password)
{
    const ByteArray encrypted = SecurityDevice::encryptString(password, enrollmentUserName(organisationId));
    return ServerText::wide(ServerText::base64(encrypted));
}

ByteArray TcServer::enroll(Opened& opened)
{
    const Msg& msg = *opened.plain;
    Msg reply;
    reply.setType(Msg::AUTO_ENROLL_RESPONSE);
    auto refuse = [&](const wchar_t* reason) {
        reply.setAttributeValue(L"AutoEnrollmentResult", std::wstring(L"AutoEnrollmentRefused"));
        reply.setAttributeValue(L"Reason", std::wstring(reason));
        return seal(reply, opened.key);
    };

    // Only an organisation's enrollment account enrolls, and only for its
    // own organisation.
    int organisationId = 0;
    msg.getAttributeValue(L"OrganisationID", organisationId);
    const auto organisation = m_db.findOrganisation(opened.user.organisationId);
    if (!organisation || organisationId != organisation->id)
        return refuse(L"NotAnEnrollmentAccount");

    EnrollmentRecord request;
    request.organisationId = organisation->id;
    request.sid = stringAttribute(msg, L"SID");
    request.windowsUserName = stringAttribute(msg, L"WindowsUserName");
    request.userDomain = stringAttribute(msg, L"UserDomain");
    request.displayName = stringAttribute(msg, L"DisplayName");
    request.emailAddress = stringAttribute(msg, L"EmailAddress");
    request.machineName = stringAttribute(msg, L"MachineName");
    request.localIpAddress = stringAttribute(msg, L"LocalIPAddress");
    request.requested = m_clock();
    if (request.sid.empty() && request.windowsUserName.empty())
        return refuse(L"MissingIdentity");

    EnrollmentRecord e = m_db.enrollment(request, organisation->approvalRequired ? "pending" : "approved");
    if (e.state == "pending") {
        reply.setAttributeValue(L"AutoEnrollmentResult", std::wstring(L"AutoEnrollmentPending"));
        return seal(reply, opened.key);
    }
    if (e.state == "refused")
        return refuse(L"RefusedByAdministrator");

    // Approved, or enrolled before (the client lost its credentials): the
    // person's account gets a new password, which only this reply carries.
    const std::wstring password = randomPassword();
    const ByteArray hash = SecurityDevice::computePasswordHash(password);
    const std::string hashText(reinterpret_cast<const char*>(hash.getData()), static_cast<size_t>(hash.getSize()));
    std::optional<UserRecord> account = e.userId > 0 ? m_db.findUser(e.userId) : std::nullopt;
    if (!account) {
        const std::wstring name = !e.emailAddress.empty() ? e.emailAddress
                                                          : e.windowsUserName + L"@" + e.userDomain;
        if (m_db.findUser(name))
            return refuse(L"NameInUse");
        const int id = m_db.addUser(name, hashText);
        account = m_db.findUser(id);
    } else {
        m_db.setPassword(account->name, hashText);
    }
    m_db.setEnrollmentState(e.id, "enrolled", account->id);
    reply.setAttributeValue(L"AutoEnrollmentResult", std::wstring(L"Success"));
    reply.setAttributeValue(L"TavelUsername", account->name);
    reply.setAttributeValue(L"UserPassword", password);
    return seal(reply, opened.key);
}
