#pragma once
#include <string>

#include "base/DataStore.h"
#include "shared/TCShrdApi.h"

class Msg;

// The per-user settings the server sends after logon. The settings are the
// store's integer attributes, and only those the client knows (the six
// below): the server is outside input, so whatever else it sends is ignored
// rather than written into the user's registry key. A getter whose
// attribute is missing returns its default.
//
// The known settings are read from the registry at construction, each on
// its own: the machine's value under HKEY_LOCAL_MACHINE wins, then the
// user's under HKEY_CURRENT_USER, then the default; a stored -1 counts as
// missing. So the last profile received survives a restart, and a
// machine-wide value holds from start-up until the server's profile
// replaces it (extractClientProfileInfo); it applies again at the next start.
class TCSHRD_API ClientProfile : public DataStore {
public:
    static const wchar_t* const HideClientReportLinks;      // default 0
    static const wchar_t* const HideClientGUI;              // default 0
    static const wchar_t* const EnablePrivateMode;          // default 0
    static const wchar_t* const MaximumPrivateTimeSpan;     // default 5
    static const wchar_t* const MaximumMeetingTimeSpan;     // default 60
    static const wchar_t* const AllowPhoneOverrideActivity; // default 0

    // Reads "Software\Ondrivex".
    ClientProfile();
    // Reads and writes keyPath instead, under both root keys.
    explicit ClientProfile(const std::wstring& keyPath);
    ~ClientProfile() override;

    bool hideLinks() const;
    bool hideGUI() const;
    bool enablePrivateMode() const;
    int getMaximumPrivateMinutes() const;
    int getMaximumMeetingMinutes() const;
    bool overrideActivityWhenOnPhone() const;

    // Replaces the whole profile by the known settings the message carries
    // as integers, and writes each of them under the user's key as a DWORD
    // of its own name. Everything else in the message ("MsgType" and
    // "ConnectionID" aside) is neither kept nor stored: it is named in a
    // trace event 1063301 "Client profile settings ignored" (Warning). A
    // setting the message leaves out reads as its default until the next
    // start.
    void extractClientProfileInfo(const Msg& msg);

    // Whether the name is one of the six settings above (exact case).
    static bool isKnownSetting(const std::wstring& name);

    // Reads the known settings again from the registry.
    void readFromRegistry();

    const std::wstring& getKeyPath() const { return m_keyPath; }

private:
    // The name as the trace shows it: quoted, control characters as "?",
    // cut after 100 characters.
    static std::wstring printable(const std::wstring& name);
    int value(const wchar_t* name, int defaultValue) const;
    int readSetting(const wchar_t* name, int defaultValue) const;

    std::wstring m_keyPath;
};
