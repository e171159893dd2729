#pragma once
#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <utility>

#include "base/ByteArray.h"
#include "base/CommunicationDevice.h"
#include "base/Msg.h"
#include "base/Mutex.h"
#include "base/NativeHandle.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Clock.h"
#include "shared/server/FileMsgQueue.h"
#include "shared/server/HelloServerFinder.h"
#include "shared/server/ProxySettings.h"
#include "shared/server/ProxySettingsFactory.h"

class System;

// The transport to the server. Every message a service sends on the Http
// mechanism lands in pushMessage; the worker thread posts them one at a time
// and hands the one reply of each back to the framework. Before it can send
// it has its HelloServerFinder find a submit server; the finder's requests
// travel through transmit as the device's own do.
//
// While there is no connection, ordinary messages wait in the file queue,
// stamped with "EventTime"; after a logon they are sent with their age in
// "EventTimeDelta". A message that was accepted but could not be delivered
// (no server, encryption failed, the request or its reply failed) goes back
// into the file queue with the time it was first accepted, so nothing the
// client recorded is lost to a network failure. Because a reply can be lost
// after the server stored the message, the server may see such a message
// twice; it recognises a repeat by its content and its time.
//
// Threads: pushMessage, resetConnection and setSessionKey are called on the
// framework thread, everything below sendReceiveMsgs on the worker. The
// pending values and the working key are guarded by the connection lock,
// the file queue by the outbound lock; the two are never held together.
class TCSHRD_API HttpCommDevice : public CommunicationDevice, private HelloServerFinder::Link {
public:
    enum HttpCommDeviceEvent {
        Success = 0,
        // 1 to 3 are never raised by the device; the logon service gives
        // them their meaning.
        ResolveFailure = 4,
        ConnectFailure = 5,
        InvalidMessageSize = 6,
        ResponseFailure = 7,
        SecureSessionFailure = 8,
        HelloInfo = 9,
        SendFailure = 10,
    };

    // (host, port) pairs, in the order they are to be tried.
    using ServerList = HelloServerFinder::ServerList;

    static constexpr int MaxMessageSize = 1048576; // request and reply, bytes
    static constexpr unsigned SubmitTimeoutSeconds = 30;
    static const wchar_t* const UserAgent;         // "Tavelin Client/1.0"
    static const wchar_t* const SubmitPath;        // "/Tavelin/SubmitMsg"
    static const wchar_t* const QueueFileName;     // "system.dat"
    static const wchar_t* const ContentTypeHeader; // "Content-Type: application/octet-stream"

    // Reads the saved proxy settings, opens the file queue (counting what an
    // earlier run left in it). The system and clock are not owned and must
    // outlive the device; the clock stamps and ages queued messages.
    explicit HttpCommDevice(System& system, const Clock& clock = Clock::system(),
                            const std::wstring& queueFileName = QueueFileName);
    // Stops the worker, then closes the file queue.
    ~HttpCommDevice() override;

    bool setup() override { return true; }
    // Takes ownership. Connected, or a logon message: onto the in-memory
    // queue. Otherwise stamped with "EventTime", stripped of "Icon" and
    // stored in the file queue; raises Success. A null message throws
    // Exception 1050201.
    void pushMessage(Msg* msg) override;
    using CommunicationDevice::pushMessage;
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return true; }
    CommMechanism getCommType() override { return Http; }
    // One message: connect if need be, encrypt, post, decrypt and deliver
    // the reply. True when a live message was delivered (the loop goes on
    // at once); false otherwise, so queued messages go out about ten a
    // second. Never throws.
    bool sendReceiveMsgs() override;

    // The next message to send, the caller's, with the session's ids filled
    // in; null when there is none.
    Msg* popHttpMessage();

    // Drops the connection and gives the values the next connection uses.
    void resetConnection(const std::wstring& userName, const ServerList& helloServers);
    // A key becomes the pending and the working key; null clears the
    // pending key only.
    void setSessionKey(const ByteArray* key);

    bool isConnected() const { return m_connected.load(); }
    // Messages waiting in the file queue.
    int getQueuedCount();

    // What the last hello server said.
    std::wstring getClientVersion() const;
    std::wstring getClientVersionURL() const;
    std::wstring getMOTD() const;
    std::wstring getReportsURL() const;
    // The submit server in use (empty and 0 before the first connection).
    std::wstring getServerHost() const;
    int getServerPort() const;
    ProxySettings getProxySettings() const;

    // One POST of body to path on host:port through proxy, with that connect
    // time-out; reply gets the whole reply body. The result is the device
    // event that describes the outcome.
    static HttpCommDeviceEvent sendReceive(const wchar_t* host, int port, const wchar_t* path,
                                           const ByteArray& body, ByteArray& reply,
                                           const ProxySettings& proxy, unsigned timeoutSeconds);
    // An echo request: Success when the server answered with status 200.
    static HttpCommDeviceEvent sendEcho(const wchar_t* host, int port, const ProxySettings& proxy);

protected:
    // True when connected, or when the finder found a submit server for the
    // pending user name and hello servers (the pending key then becomes the
    // working key); a hello server that answers raises HelloInfo.
    bool establishConnectability();
    // Replaces an outbound message of the secured types by its envelope.
    // False (msg untouched) when that cannot be done; then the event is raised.
    bool encryptMsgIfNecessary(Msg*& msg);
    // Replaces an inbound reply of the secured types by its content. False
    // when it cannot be verified or decrypted (msg destroyed and null then).
    bool decryptMsgIfNecessary(Msg*& msg);
    // A new message from the reply's bytes; null (traced) when they do not
    // form one.
    Msg* parseResponse(const ByteArray& reply);
    void sendCommEventMsg(HttpCommDeviceEvent event);

    // Where requests go out; sendReceive unless a test stands in.
    virtual HttpCommDeviceEvent transmit(const std::wstring& host, int port, const wchar_t* path,
                                         const ByteArray& body, ByteArray& reply,
                                         const ProxySettings& proxy, unsigned timeoutSeconds);
    // The candidates of one proxy source; the factory's unless a test stands in.
    void proxyCandidates(ProxySettingsFactory::SettingsSource source, const std::wstring& host,
                         int port, std::list<ProxySettings>& out) override;

    // Puts a message that could not be delivered back into the file queue,
    // stamped with the time it was first accepted. Logon messages belong
    // to the attempt that made them and are dropped instead.
    void requeue(std::unique_ptr<Msg> msg, int64_t acceptedAt);

    static bool isOutboundSecured(Msg::MsgType type);
    static bool isInboundSecured(Msg::MsgType type);

private:
    // The finder's requests go out through transmit, its proxy candidates
    // come from proxyCandidates, and a hello answer becomes HelloInfo.
    bool post(const std::wstring& host, int port, const wchar_t* path, const ByteArray& body,
              ByteArray& reply, const ProxySettings& proxy, unsigned timeoutSeconds) override;
    void helloAnswered(const HelloServerFinder::HelloResults& results) override;

    // Operating-system half, in win32/HttpCommDevice.cpp (WinHTTP) and
    // posix/HttpCommDevice.cpp (plain sockets). Reads the reply of a sent
    // request: status 200 and at most MaxMessageSize bytes, else
    // ResponseFailure (traced).
    static HttpCommDeviceEvent GetResponse(native::Handle request, ByteArray& reply);

    ByteArray workingKey() const;
    // The key the next submission will be sealed with: the working key
    // while connected, else the one a new connection takes over.
    ByteArray keyForNextSend() const;

    System& m_system;
    const Clock& m_clock;

    HelloServerFinder m_finder{*this};
    std::unique_ptr<FileMsgQueue> m_fileQueue;

    // Guarded by m_connectionLock.
    ByteArray m_sessionKey;
    ByteArray m_pendingSessionKey;
    ServerList m_pendingHelloServers;
    std::wstring m_pendingUserName;
    mutable Mutex m_connectionLock;

    // Set by the worker when a server is chosen, cleared by the worker on a
    // failure and by the framework thread on a new logon.
    std::atomic<bool> m_connected{false};
    // When the message popped last was first accepted (seconds since 1970).
    int64_t m_acceptedAt = 0;
};
