#include "base/DataStore.h"

DataStore::DataStore() = default;

DataStore::DataStore(const DataStore& other)
{
    copyData(other);
}

DataStore& DataStore::operator=(const DataStore& other)
{
    if (this != &other) {
        // Copy first, so that a failed copy leaves this store as it was.
        DataStore copy(other);
        m_ints.swap(copy.m_ints);
        m_strings.swap(copy.m_strings);
        m_byteArrays.swap(copy.m_byteArrays);
    }
    return *this;
}

DataStore::~DataStore()
{
    deleteData();
}

void DataStore::setAttributeValue(const std::wstring& name, int value)
{
    m_ints.slot(name) = value;
}

void DataStore::setAttributeValue(const std::wstring& name, const std::wstring& value)
{
    m_strings.slot(name) = value;
}

void DataStore::setAttributeValue(const std::wstring& name, ByteArray* value)
{
    std::unique_ptr<ByteArray> owned(value);
    if (!owned)
        owned.reset(new ByteArray());
    std::unique_ptr<ByteArray>& slot = m_byteArrays.slot(name);
    if (slot.get() == owned.get())
        owned.release(); // already ours: storing it again changes nothing
    else
        slot = std::move(owned);
}

bool DataStore::getAttributeValue(const std::wstring& name, int& value) const
{
    const int32_t* found = m_ints.find(name);
    if (!found)
        return false;
    value = *found;
    return true;
}

bool DataStore::getAttributeValue(const std::wstring& name, std::wstring& value) const
{
    const std::wstring* found = m_strings.find(name);
    if (!found)
        return false;
    value = *found;
    return true;
}

bool DataStore::getAttributeValue(const std::wstring& name, ByteArray*& value) const
{
    const std::unique_ptr<ByteArray>* found = m_byteArrays.find(name);
    if (!found)
        return false;
    value = found->get();
    return true;
}

namespace {

template <class List>
bool inRange(const List& list, int index)
{
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

} // namespace

bool DataStore::getAttributeValue(int index, int& value) const
{
    if (!inRange(m_ints, index))
        return false;
    value = m_ints[static_cast<size_t>(index)].second;
    return true;
}

bool DataStore::getAttributeValue(int index, std::wstring& value) const
{
    if (!inRange(m_strings, index))
        return false;
    value = m_strings[static_cast<size_t>(index)].second;
    return true;
}

bool DataStore::getAttributeValue(int index, ByteArray*& value) const
{
    if (!inRange(m_byteArrays, index))
        return false;
    value = m_byteArrays[static_cast<size_t>(index)].second.get();
    return true;
}

bool DataStore::containsIntAttribute(const std::wstring& name) const
{
    return m_ints.find(name) != nullptr;
}

bool DataStore::containsStringAttribute(const std::wstring& name) const
{
    return m_strings.find(name) != nullptr;
}

bool DataStore::containsByteArrayAttribute(const std::wstring& name) const
{
    return m_byteArrays.find(name) != nullptr;
}

int DataStore::getIntAttributeCount() const
{
    return static_cast<int>(m_ints.size());
}

int DataStore::getStringAttributeCount() const
{
    return static_cast<int>(m_strings.size());
}

int DataStore::getByteArrayAttributeCount() const
{
    return static_cast<int>(m_byteArrays.size());
}

void DataStore::removeIntAttribute(const std::wstring& name)
{
    m_ints.erase(name);
}

void DataStore::removeStringAttribute(const std::wstring& name)
{
    m_strings.erase(name);
}

void DataStore::removeByteArrayAttribute(const std::wstring& name)
{
    m_byteArrays.erase(name);
}

void DataStore::copyData(const DataStore& other)
{
    if (this == &other)
        return;
    // other's names come in order: the hints make each one a comparison or two.
    size_t hint = 0;
    for (const auto& [name, value] : other.m_ints)
        m_ints.slot(name, hint) = value;
    hint = 0;
    for (const auto& [name, value] : other.m_strings)
        m_strings.slot(name, hint) = value;
    hint = 0;
    for (const auto& [name, value] : other.m_byteArrays) {
        std::unique_ptr<ByteArray> copy(new ByteArray(*value));
        m_byteArrays.slot(name, hint) = std::move(copy);
    }
}

void DataStore::deleteData()
{
    m_ints.clear();
    m_strings.clear();
    m_byteArrays.clear();
}
