#pragma once
#include <string>
#include <vector>

// The durations a user can pick for a declared meeting or personal time, and
// how an entry's text turns into seconds. The entries are offered up to a
// limit in minutes that the client profile sets.
class DurationEntries {
public:
    struct Entry {
        const wchar_t* text;
        int minutes; // offered when the limit is at least this
    };

    // All sixteen entries, shortest first ("5 minutes" ... "10 hours").
    static const std::vector<Entry>& all();
    // The texts offered for a limit in minutes, in order; none for 0 or less.
    static std::vector<std::wstring> offered(int limitMinutes);
    // The index to select among `count` offered entries: personal time takes
    // the first, a meeting the sixth ("1 hour") when there are six, else the
    // last. -1 when nothing is offered.
    static int defaultSelection(int kind, int count);
    // The seconds an entry stands for, read from its first five characters
    // in the fixed layouts the entries use ("5 minutes", "45 minutes",
    // "1 hour", "1.5 hours", "10 hours"); 0 for an empty or unknown text.
    static int secondsOf(const std::wstring& text);
};
