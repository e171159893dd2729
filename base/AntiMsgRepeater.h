#pragma once
#include "base/Msg.h"
#include "base/TCBaseApi.h"

// Lets a sender drop a report that repeats the one it sent last. Callers
// send a message only when isEquivalentToLastSentMsg is false, and then
// record it with setLastSentMsgDetails. Not locked: one thread uses it.
//
// What counts as a repeat depends on the type: "SystemState" decides for
// SYSTEM_STATE_CHANGE; differing "ApplicationHash" arrays, else the three
// context strings, for APPLICATION_CHANGE; the window ("HWND", 0 when
// absent), the context strings and "PluginInfoQuality" for PLUGIN_INFO;
// the type alone for every other type. A string attribute that is absent
// compares as the empty string.
class TCBASE_API AntiMsgRepeater {
public:
    AntiMsgRepeater();
    virtual ~AntiMsgRepeater();

    // Keeps a copy of msg; nothing happens for null.
    void setLastSentMsgDetails(const Msg* msg);
    // False for null.
    bool isEquivalentToLastSentMsg(const Msg* msg) const;

private:
    Msg m_lastSentMsg;
};
