#pragma once
#include <string>

#include "base/Registry.h"

class TavelinSessionDetails;

// The server's message of the day, shown once in a balloon. It is looked at
// after connection changes, once per run, from the first check that finds
// the user logged on; a message equal to the one last shown (the user's
// "MOTD" value) is not shown again.
class MessageOfTheDay {
public:
    explicit MessageOfTheDay(const Registry& registry = Registry(Registry::CurrentUser));

    // The text to show now, empty for none. `motd` is the server's message;
    // a text returned is stored as the last shown.
    std::wstring check(const TavelinSessionDetails& session, const std::wstring& motd);
    bool checked() const { return m_checked; }

private:
    Registry m_registry;
    bool m_checked = false;
};
