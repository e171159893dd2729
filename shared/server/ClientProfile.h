#pragma once
#include <string>

#include "base/DataStore.h"
#include "shared/TCShrdApi.h"

class Msg;

// The per-user settings the server sends after logon. The settings are the
// store's integer attributes; further attributes the server sends are kept
// and saved as well. A getter whose attribute is missing returns its default.
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

    // Replaces the whole profile by the message's attributes less "MsgType"
    // and "ConnectionID", and writes every one of them under the user's key
    // (integers as DWORD, strings as REG_SZ, byte arrays as REG_BINARY).
    void extractClientProfileInfo(const Msg& msg);

    // Reads the known settings again from the registry.
    void readFromRegistry();

    const std::wstring& getKeyPath() const { return m_keyPath; }

private:
    int value(const wchar_t* name, int defaultValue) const;
    int readSetting(const wchar_t* name, int defaultValue) const;

    std::wstring m_keyPath;
};
