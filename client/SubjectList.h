#pragma once
#include <string>
#include <vector>

#include "base/Registry.h"

// The subjects a user has typed for meetings (key "Meetings") or phone calls
// (key "Phone"), kept in the user's registry as numbered strings "1", "2", ...
// with "0" holding the index last selected. The "go to" views offer them in
// their subject box.
class SubjectList {
public:
    // The list below `key` of the registry's root path.
    SubjectList(const Registry& registry, const std::wstring& key);

    // Reads the stored subjects ("1", "2", ... until an empty one), each
    // once, and the selected index ("0", default 1, written back).
    void load();
    const std::vector<std::wstring>& subjects() const { return m_subjects; }
    int selectedIndex() const { return m_selected; }
    int storedCount() const { return m_stored; }

    // Keeps a subject the user typed: a new, non-empty one is stored as the
    // next number and added to the list. The subject becomes the selected
    // entry ("0"). Returns its index, -1 for an empty text.
    int remember(const std::wstring& subject);

private:
    int indexOf(const std::wstring& subject) const;

    Registry m_registry;
    std::vector<std::wstring> m_subjects;
    int m_selected = 1;
    int m_stored = 0;
};
