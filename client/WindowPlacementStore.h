#pragma once
#include <cstdint>
#include <string>

#include "base/ByteArray.h"
#include "base/Registry.h"

// Where the status window was, kept between runs in the user's registry:
// "WindowPlacement" (the 44-byte placement record of the system) and
// "WindowState" (1 when the window was hidden in the tray).
class WindowPlacementStore {
public:
    static const int32_t RecordSize = 44;

    // The settings below this registry key (the user's "Software\Ondrivex"
    // by default).
    explicit WindowPlacementStore(const Registry& registry = Registry(Registry::CurrentUser));

    void save(const ByteArray& placement, bool hidden);
    // The stored record when it may be applied to a window of this size: it
    // is exactly 44 bytes, its own length field says 44, and its normal
    // rectangle has the window's width and height. False (out unchanged)
    // otherwise, so a window whose layout changed size is centred instead.
    bool restorable(int width, int height, ByteArray& out) const;
    bool wasHidden() const;

    // The width and height of a record's normal rectangle (bytes 28 to 43:
    // left, top, right, bottom, little-endian). False for a short record.
    static bool normalSize(const ByteArray& placement, int& width, int& height);

private:
    Registry m_registry;
};
