#include "shared/monitoring/Clicker.h"

#include <algorithm>

Clicker::Clicker(const Clock& clock) : m_clock(&clock) {}

Clicker::~Clicker() = default;

void Clicker::click()
{
    m_clicks.push_front(m_clock->now());
}

void Clicker::dropOldClicks(int64_t now)
{
    const int64_t cutOff = now - m_retention;
    m_clicks.erase(std::remove_if(m_clicks.begin(), m_clicks.end(),
                                  [cutOff](int64_t click) { return click < cutOff; }),
                   m_clicks.end());
}

int Clicker::countSince(int64_t since) const
{
    int count = 0;
    for (int64_t click : m_clicks) {
        if (click < since)
            break;
        ++count;
    }
    return count;
}

void Clicker::getClickCounts(int& perMinute, int& perTenMinutes, int& perHour)
{
    const int64_t now = m_clock->now();
    dropOldClicks(now);
    perMinute = countSince(now - 60);
    perTenMinutes = countSince(now - 600);
    perHour = countSince(now - 3600);
}
