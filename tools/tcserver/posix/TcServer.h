#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/Msg.h"
#include "tools/tcserver/posix/ServerDatabase.h"

class Faults;

struct ServerConfig {
    // Clients older than this are refused with "ClientAppTooOld"; empty:
    // every version is accepted. A client's version is its string attribute
    // "ClientVersion" when the message has one, else the version in its user
    // agent ("Tavelin Client/1.0" is 1.0).
    std::string minimumClientVersion;
    // The hello reply's "version=", "version_url=", "motd=", "reports=";
    // left out when empty.
    std::string clientVersion, clientVersionUrl, motd, reportsUrl;
    // The hello reply's "server=" tokens; empty: the address the client used
    // to reach the hello page.
    std::vector<std::string> submitServers;
    // Two deliveries of the same status content whose times differ by at most
    // this many seconds (with nothing else between them) are one message.
    int64_t repeatWindow = 2;
};

// The server's answers, independent of HTTP: the hello text and one reply
// message per submitted message. Thread-safe as far as the database and the
// faults are.
//
// A status message is the same message as one already stored when it comes
// from the same user and, once normalised, says the same thing about the
// same moment: same type, machine, system state, application (by id, the
// path resolved to its id), context strings and application hash, and an
// event time within repeatWindow of the stored one with no other activity of
// the user between the two. The normalised form leaves out what the client
// changes between two deliveries of one message: "EventTimeDelta", the user
// and machine ids filled in at sending, and the long application fields that
// become an "ApplicationID" once the server has named the path.
class TcServer {
public:
    using Clock = std::function<int64_t()>;

    // "ErrorID" values of the ERROR_MSG replies, with their "ErrorType".
    enum ErrorId {
        VerifyDecryptFailed = 1,
        ClientAppTooOld = 2,
        AccountSuspended = 3,
        InvalidMessage = 4,     // "InvalidMessage": the body is no message
        UnsupportedMessage = 5, // "UnsupportedMessage": a type the server takes no part in
    };

    TcServer(ServerDatabase& db, Faults& faults, ServerConfig config, Clock clock = systemClock());

    // The "/Hello" reply for a client that reached the server at hostHeader
    // (the request's Host header, "host[:port]").
    std::string hello(const std::string& hostHeader) const;
    // The reply (wire form) to one "/Tavelin/SubmitMsg" body.
    ByteArray submit(const ByteArray& body, const std::string& userAgent);

    static Clock systemClock();
    // Makes a fresh random challenge (16 bytes from the system's generator).
    static ByteArray randomChallenge();
    static std::wstring errorType(ErrorId id);
    // A fresh random password (24 Base64 characters).
    static std::wstring randomPassword();
    // The enrollment account of an organisation: "autoenroll@" ID ".org".
    static std::wstring enrollmentUserName(int organisationId);
    // The "OrganisationToken" text for a machine's registry: the Base64 of
    // the enrollment password encrypted as the client stores strings, keyed
    // with the enrollment account's name.
    static std::wstring organisationToken(int organisationId, const std::wstring& password);
    // The largest number of directory groups kept per user.
    static constexpr int MaximumGroups = 1000;

private:
    struct Opened;

    ByteArray challenge(const Msg& in);
    ByteArray authenticate(const Msg& in);
    ByteArray status(Opened& opened);
    ByteArray userInfo(Opened& opened);
    ByteArray profile(Opened& opened);
    ByteArray enroll(Opened& opened);

    // The sender's account and key and the plain message of an envelope; on
    // failure the ERROR_MSG reply to send instead.
    bool openEnvelope(const Msg& in, Opened& opened, ByteArray& errorReply);
    ByteArray seal(const Msg& plain, const ByteArray& key) const;
    static ByteArray encode(const Msg& msg);
    static ByteArray error(ErrorId id);
    bool clientTooOld(const Msg& in, const std::string& userAgent) const;

    ServerDatabase& m_db;
    Faults& m_faults;
    ServerConfig m_config;
    Clock m_clock;
};
