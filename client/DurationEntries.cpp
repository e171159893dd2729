#include "client/DurationEntries.h"

const std::vector<DurationEntries::Entry>& DurationEntries::all()
{
    static const std::vector<Entry> entries = {
        {L"5 minutes", 5},   {L"10 minutes", 10}, {L"15 minutes", 15}, {L"30 minutes", 30},
        {L"45 minutes", 45}, {L"1 hour", 60},     {L"1.5 hours", 90},  {L"2 hours", 120},
        {L"3 hours", 180},   {L"4 hours", 240},   {L"5 hours", 300},   {L"6 hours", 360},
        {L"7 hours", 420},   {L"8 hours", 480},   {L"9 hours", 540},   {L"10 hours", 600},
    };
    return entries;
}

std::vector<std::wstring> DurationEntries::offered(int limitMinutes)
{
    std::vector<std::wstring> texts;
    for (const Entry& entry : all()) {
        if (limitMinutes >= entry.minutes)
            texts.emplace_back(entry.text);
    }
    return texts;
}

int DurationEntries::defaultSelection(int kind, int count)
{
    if (count <= 0)
        return -1;
    if (kind == 2)
        return 0;
    return count >= 6 ? 5 : count - 1;
}

namespace {
int digit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') ? c - L'0' : 0;
}
} // namespace

int DurationEntries::secondsOf(const std::wstring& text)
{
    // Short texts are read as if padded with terminators, as the layouts
    // below never look past the end of a real entry.
    wchar_t c[5] = {0, 0, 0, 0, 0};
    for (size_t i = 0; i < 5 && i < text.size(); ++i)
        c[i] = text[i];
    if (c[2] == L' ') {
        // "10 hours" is the only two-digit hour entry.
        if (c[3] == L'h')
            return digit(c[0]) * 36000;
        if (c[3] == L'm')
            return (10 * digit(c[0]) + digit(c[1])) * 60;
    }
    if (c[2] == L'h' && c[1] == L' ')
        return digit(c[0]) * 3600;
    if (c[2] == L'm' && c[1] == L' ')
        return digit(c[0]) * 60;
    if (c[1] == L'.')
        return digit(c[0]) * 3600 + digit(c[2]) * 360;
    return 0;
}
