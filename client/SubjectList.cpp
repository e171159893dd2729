#include "client/SubjectList.h"

#include <algorithm>

SubjectList::SubjectList(const Registry& registry, const std::wstring& key) : m_registry(registry)
{
    m_registry.setRootKeyPath(registry.getRootKeyPath() + L"\\" + key);
}

int SubjectList::indexOf(const std::wstring& subject) const
{
    auto it = std::find(m_subjects.begin(), m_subjects.end(), subject);
    return it == m_subjects.end() ? -1 : static_cast<int>(it - m_subjects.begin());
}

void SubjectList::load()
{
    m_selected = m_registry.read(L"0", 1);
    m_registry.write(L"0", m_selected);
    m_subjects.clear();
    m_stored = 0;
    for (int n = 1;; ++n) {
        std::wstring subject = m_registry.read(std::to_wstring(n), std::wstring());
        if (subject.empty())
            break;
        m_stored = n;
        if (indexOf(subject) < 0)
            m_subjects.push_back(subject);
    }
}

int SubjectList::remember(const std::wstring& subject)
{
    if (subject.empty())
        return -1;
    int index = indexOf(subject);
    if (index < 0) {
        // Numbered after every stored value, so two new subjects in one run
        // take consecutive numbers and neither overwrites the other.
        ++m_stored;
        m_registry.write(std::to_wstring(m_stored), subject);
        m_subjects.push_back(subject);
        index = static_cast<int>(m_subjects.size()) - 1;
    }
    m_selected = index;
    m_registry.write(L"0", index);
    return index;
}
