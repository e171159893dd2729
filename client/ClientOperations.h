#pragma once
#include <string>

#include "base/NativeHandle.h"

class System;

// What the status window, the tray and the report links ask of the rest of
// the client: the logon side's addresses and texts, sign-in, the declared
// states and the shared System. The client application forwards each to the
// service that owns it; window tests put a fake in its place.
class ClientOperations {
public:
    virtual ~ClientOperations() = default;

    virtual std::wstring getReportsURL() = 0;
    virtual std::wstring getMOTD() = 0;
    virtual std::wstring getCurrentClientVersionURL() = 0;
    virtual std::wstring getCurrentClientVersion() = 0;
    virtual void logOn(const std::wstring& userName, const std::wstring& password) = 0;
    virtual std::wstring getNextReconnectionTime() = 0;

    virtual void atMeeting(const std::wstring& subject, int seconds) = 0;
    virtual void stopMeeting() = 0;
    virtual void onPhoneCall(const std::wstring& subject) = 0;
    virtual void stopPhoneCall() = 0;
    virtual void enablePrivacy(int seconds) = 0;
    virtual void stopPrivacy() = 0;

    virtual System& getSystem() = 0;
    virtual void setStatusWindow(native::Window window) = 0;
    virtual bool getNextLogLine(std::wstring& line) = 0;
    // One step of the main loop (the 200 ms tick of the status window).
    virtual void doWork() = 0;
};
