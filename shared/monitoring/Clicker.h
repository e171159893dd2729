#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "shared/framework/Clock.h"
#include "shared/TCShrdApi.h"

// Counts events over the last minute, ten minutes and hour, so that a
// window whose reports change too often can be told apart.
class TCSHRD_API Clicker {
public:
    // The clock is not owned and must outlive the counter.
    explicit Clicker(const Clock& clock = Clock::system());
    virtual ~Clicker();

    // Records the current time (seconds) as the newest click.
    void click();
    // Drops the clicks older than the retention period, then counts the
    // clicks at or after now - 60, now - 600 and now - 3600.
    void getClickCounts(int& perMinute, int& perTenMinutes, int& perHour);
    void setClickRetentionPeriod(int seconds) { m_retention = seconds; }
    int getClickRetentionPeriod() const { return m_retention; }
    // Clicks held, old ones included until the next count drops them.
    size_t size() const { return m_clicks.size(); }

private:
    // Removes every click before now - retention; one exactly at the cut-off stays.
    void dropOldClicks(int64_t now);
    // Clicks from the newest down to the first one older than since.
    int countSince(int64_t since) const;

    const Clock* m_clock;
    std::deque<int64_t> m_clicks; // newest first
    int m_retention = 3600;
};
