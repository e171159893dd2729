#include "base/DataStore.h"

#include <iterator>

namespace {

template <class Map>
typename Map::const_iterator at(const Map& map, int index) {
    if (index < 0 || static_cast<size_t>(index) >= map.size())
        return map.end();
    return std::next(map.begin(), index);
}

} // namespace

DataStore::DataStore() = default;

DataStore::DataStore(const DataStore& other) { copyData(other); }

DataStore& DataStore::operator=(const DataStore& other) {
    if (this != &other) {
        // Copy first, so that a failed copy leaves this store as it was.
        DataStore copy(other);
        m_ints.swap(copy.m_ints);
        m_strings.swap(copy.m_strings);
        m_byteArrays.swap(copy.m_byteArrays);
    }
    return *this;
}

DataStore::~DataStore() { deleteData(); }

void DataStore::setAttributeValue(const std::wstring& name, int value) { m_ints[name] = value; }

void DataStore::setAttributeValue(const std::wstring& name, const std::wstring& value) {
    m_strings[name] = value;
}

void DataStore::setAttributeValue(const std::wstring& name, ByteArray* value) {
    std::unique_ptr<ByteArray> owned(value);
    if (!owned)
        owned.reset(new ByteArray());
    auto it = m_byteArrays.find(name);
    if (it == m_byteArrays.end()) {
        m_byteArrays.emplace(name, std::move(owned));
    } else if (it->second.get() == value) {
        owned.release(); // already ours: storing it again changes nothing
    } else {
        it->second = std::move(owned);
    }
}

bool DataStore::getAttributeValue(const std::wstring& name, int& value) const {
    auto it = m_ints.find(name);
    if (it == m_ints.end())
        return false;
    value = it->second;
    return true;
}

bool DataStore::getAttributeValue(const std::wstring& name, std::wstring& value) const {
    auto it = m_strings.find(name);
    if (it == m_strings.end())
        return false;
    value = it->second;
    return true;
}

bool DataStore::getAttributeValue(const std::wstring& name, ByteArray*& value) const {
    auto it = m_byteArrays.find(name);
    if (it == m_byteArrays.end())
        return false;
    value = it->second.get();
    return true;
}

bool DataStore::getAttributeValue(int index, int& value) const {
    auto it = at(m_ints, index);
    if (it == m_ints.end())
        return false;
    value = it->second;
    return true;
}

bool DataStore::getAttributeValue(int index, std::wstring& value) const {
    auto it = at(m_strings, index);
    if (it == m_strings.end())
        return false;
    value = it->second;
    return true;
}

bool DataStore::getAttributeValue(int index, ByteArray*& value) const {
    auto it = at(m_byteArrays, index);
    if (it == m_byteArrays.end())
        return false;
    value = it->second.get();
    return true;
}

bool DataStore::containsIntAttribute(const std::wstring& name) const {
    return m_ints.count(name) != 0;
}

bool DataStore::containsStringAttribute(const std::wstring& name) const {
    return m_strings.count(name) != 0;
}

bool DataStore::containsByteArrayAttribute(const std::wstring& name) const {
    return m_byteArrays.count(name) != 0;
}

int DataStore::getIntAttributeCount() const { return static_cast<int>(m_ints.size()); }

int DataStore::getStringAttributeCount() const { return static_cast<int>(m_strings.size()); }

int DataStore::getByteArrayAttributeCount() const {
    return static_cast<int>(m_byteArrays.size());
}

void DataStore::removeIntAttribute(const std::wstring& name) { m_ints.erase(name); }

void DataStore::removeStringAttribute(const std::wstring& name) { m_strings.erase(name); }

void DataStore::removeByteArrayAttribute(const std::wstring& name) { m_byteArrays.erase(name); }

void DataStore::copyData(const DataStore& other) {
    if (this == &other)
        return;
    for (const auto& [name, value] : other.m_ints)
        m_ints[name] = value;
    for (const auto& [name, value] : other.m_strings)
        m_strings[name] = value;
    for (const auto& [name, value] : other.m_byteArrays)
        setAttributeValue(name, new ByteArray(*value));
}

void DataStore::deleteData() {
    m_ints.clear();
    m_strings.clear();
    m_byteArrays.clear();
}
