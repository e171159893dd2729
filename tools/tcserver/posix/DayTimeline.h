#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ServerDatabase;

// One stretch of a user's day: from one status message to the next.
struct DaySegment {
    int64_t from = 0;
    std::optional<int64_t> to; // the next message's time (possibly the next day); none for the last
    std::wstring application;  // empty for the system states
    std::wstring document;     // the context strings joined with " | "
    std::wstring state;        // Active, Locked, Idle, Meeting, Phone call, Personal time
};

// The user's messages of the UTC day that starts at dayStart, in time order.
std::vector<DaySegment> daySegments(ServerDatabase& db, int userId, int64_t dayStart);
