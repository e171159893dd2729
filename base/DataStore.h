#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/ByteArray.h"
#include "base/TCBaseApi.h"
#include "base/Utf16.h"

// Three maps of named attributes: integers, strings and byte arrays. Each map
// is ordered by the UTF-16 code units of the names (the wire order), and the
// three are separate name spaces: one name may be in all of them. Natively,
// two names are the same name when their UTF-16 forms are equal.
//
// The store owns every ByteArray it holds. Copies are deep.
//
// Getters return false and leave their output untouched when the name (or
// index) is not there. Index access is 0-based in name order.

// One of the store's maps: entries kept in a vector sorted by name. Messages
// hold a few dozen attributes at most and arrive already in name order, so a
// vector filled from the back beats a tree of nodes, each its own allocation.
template <class V>
class AttributeList {
public:
    using Entry = std::pair<std::wstring, V>;
    using const_iterator = typename std::vector<Entry>::const_iterator;

    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    size_t size() const { return m_entries.size(); }
    const Entry& operator[](size_t index) const { return m_entries[index]; }
    void clear() { m_entries.clear(); }
    void swap(AttributeList& other) noexcept { m_entries.swap(other.m_entries); }
    void reserve(size_t n) { m_entries.reserve(n); }

    const V* find(const std::wstring& name) const
    {
        size_t i = lowerBound(name);
        return i < m_entries.size() && Utf16::compare(m_entries[i].first, name) == 0
                   ? &m_entries[i].second
                   : nullptr;
    }

    // The value of name, added as V() when missing; a name given as an
    // rvalue is moved in then. hint is the index where the name is looked
    // for first and ends just past it: names given in order cost a
    // comparison or two each instead of a search.
    template <class Name>
    V& slot(Name&& name, size_t& hint)
    {
        const size_t n = m_entries.size();
        size_t i = hint;
        bool fits = false;
        if (i <= n && (i == 0 || Utf16::compare(m_entries[i - 1].first, name) < 0)) {
            int order = i < n ? Utf16::compare(name, m_entries[i].first) : -1;
            if (order == 0) {
                hint = i + 1;
                return m_entries[i].second;
            }
            fits = order < 0;
        }
        if (!fits) {
            i = lowerBound(name);
            if (i < n && Utf16::compare(m_entries[i].first, name) == 0) {
                hint = i + 1;
                return m_entries[i].second;
            }
        }
        m_entries.emplace(m_entries.begin() + static_cast<std::ptrdiff_t>(i),
                          std::forward<Name>(name), V());
        hint = i + 1;
        return m_entries[i].second;
    }

    V& slot(const std::wstring& name)
    {
        size_t hint = m_entries.size();
        return slot(name, hint);
    }

    bool erase(const std::wstring& name)
    {
        size_t i = lowerBound(name);
        if (i == m_entries.size() || Utf16::compare(m_entries[i].first, name) != 0)
            return false;
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }

private:
    // Index of the first entry not before name.
    size_t lowerBound(const std::wstring& name) const
    {
        size_t low = 0, high = m_entries.size();
        while (low < high) {
            size_t mid = low + (high - low) / 2;
            if (Utf16::compare(m_entries[mid].first, name) < 0)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    }

    std::vector<Entry> m_entries;
};

class TCBASE_API DataStore {
public:
    DataStore();
    DataStore(const DataStore& other);
    DataStore& operator=(const DataStore& other);
    virtual ~DataStore();

    void setAttributeValue(const std::wstring& name, int value);
    void setAttributeValue(const std::wstring& name, const std::wstring& value);
    // Takes ownership of value at once, also when this throws. Replacing an
    // attribute destroys the array it held, unless it is value itself. A null
    // value is stored as an empty array, so every attribute has an object.
    void setAttributeValue(const std::wstring& name, ByteArray* value);

    bool getAttributeValue(const std::wstring& name, int& value) const;
    bool getAttributeValue(const std::wstring& name, std::wstring& value) const;
    // Hands out the stored object itself; it stays owned by the store and
    // lives until its attribute is replaced or removed or the store is cleared.
    bool getAttributeValue(const std::wstring& name, ByteArray*& value) const;

    bool getAttributeValue(int index, int& value) const;
    bool getAttributeValue(int index, std::wstring& value) const;
    bool getAttributeValue(int index, ByteArray*& value) const;

    bool containsIntAttribute(const std::wstring& name) const;
    bool containsStringAttribute(const std::wstring& name) const;
    bool containsByteArrayAttribute(const std::wstring& name) const;

    int getIntAttributeCount() const;
    int getStringAttributeCount() const;
    int getByteArrayAttributeCount() const;

    // Removing a name that is not there does nothing.
    void removeIntAttribute(const std::wstring& name);
    void removeStringAttribute(const std::wstring& name);
    void removeByteArrayAttribute(const std::wstring& name); // destroys the array

protected:
    using IntMap = AttributeList<int32_t>;
    using StringMap = AttributeList<std::wstring>;
    using ByteArrayMap = AttributeList<std::unique_ptr<ByteArray>>;

    // Adds (or replaces with) copies of every attribute of other.
    void copyData(const DataStore& other);
    // Removes every attribute, destroying the arrays.
    void deleteData();

    IntMap m_ints;
    StringMap m_strings;
    ByteArrayMap m_byteArrays;
};
