#pragma once
#include <cstdint>
#include <string>

#include "shared/TCShrdApi.h"

// What the user is doing as far as the client knows: detected (idle,
// locked) and declared (phone call, meeting, personal time). Set by the
// presence monitors and the status window, read by the status updates.
class TCSHRD_API UserStatus {
public:
    UserStatus() = default; // all false, zero, empty
    virtual ~UserStatus() = default;

    bool idle() const { return m_idle; }
    bool locked() const { return m_locked; }
    bool onPhone() const { return m_onPhone; }
    bool atMeeting() const { return m_atMeeting; }
    bool isPrivate() const { return m_private; }
    int duration() const { return m_duration; }
    int64_t start() const { return m_start; }
    std::wstring reason() const { return m_reason; }

    void idle(bool value) { m_idle = value; }
    void locked(bool value) { m_locked = value; }
    void setPrivate(bool value) { m_private = value; }
    // Without a reason the previous reason is cleared.
    void onPhone(bool value);
    void onPhone(bool value, const std::wstring& reason);
    void atMeeting(bool value);
    void atMeeting(bool value, const std::wstring& reason);
    // Seconds the declared state is to last; starts counting now.
    void duration(int seconds);
    // The same, counting from now as the caller's clock tells it.
    void duration(int seconds, int64_t now);

private:
    bool m_idle = false;
    bool m_locked = false;
    bool m_onPhone = false;
    bool m_atMeeting = false;
    bool m_private = false;
    int m_duration = 0;
    int64_t m_start = 0; // seconds since 1970
    std::wstring m_reason;
};
