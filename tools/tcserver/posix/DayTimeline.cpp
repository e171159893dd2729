#include "tools/tcserver/posix/DayTimeline.h"

#include <limits>

#include "base/Msg.h"
#include "tools/tcserver/posix/ServerDatabase.h"

namespace {

std::wstring stateOf(const ActivityRow& row)
{
    if (row.msgType == Msg::SYSTEM_STATE_CHANGE) {
        const std::wstring state = row.systemState.value_or(L"");
        if (state == L"SystemStateLocked")
            return L"Locked";
        if (state == L"SystemStateIdle")
            return L"Idle";
        return state.empty() ? L"-" : state;
    }
    switch (row.applicationId.value_or(-1)) {
    case ServerDatabase::MeetingApplicationId:
        return L"Meeting";
    case ServerDatabase::PhoneApplicationId:
        return L"Phone call";
    case ServerDatabase::PersonalApplicationId:
        return L"Personal time";
    default:
        return L"Active";
    }
}

} // namespace

std::vector<DaySegment> daySegments(ServerDatabase& db, int userId, int64_t dayStart)
{
    const int64_t dayEnd = dayStart + 86400;
    // The first message after the day ends the day's last stretch.
    const std::vector<ActivityRow> rows = db.activity(userId, dayStart, std::numeric_limits<int64_t>::max());
    std::vector<DaySegment> segments;
    for (size_t i = 0; i < rows.size() && rows[i].eventTime < dayEnd; ++i) {
        const ActivityRow& row = rows[i];
        DaySegment s;
        s.from = row.eventTime;
        if (i + 1 < rows.size())
            s.to = rows[i + 1].eventTime;
        if (row.msgType == Msg::APPLICATION_CHANGE) {
            s.application = row.applicationId ? db.applicationName(*row.applicationId) : L"";
            if (s.application.empty())
                s.application = row.fields.originalFilename;
        }
        s.document = row.context1;
        for (const std::wstring* more : {&row.context2, &row.context3}) {
            if (!more->empty())
                s.document += (s.document.empty() ? L"" : L" | ") + *more;
        }
        s.state = stateOf(row);
        segments.push_back(std::move(s));
    }
    return segments;
}
