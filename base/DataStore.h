#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

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
    using IntMap = std::map<std::wstring, int32_t, Utf16::Less>;
    using StringMap = std::map<std::wstring, std::wstring, Utf16::Less>;
    using ByteArrayMap = std::map<std::wstring, std::unique_ptr<ByteArray>, Utf16::Less>;

    // Adds (or replaces with) copies of every attribute of other.
    void copyData(const DataStore& other);
    // Removes every attribute, destroying the arrays.
    void deleteData();

    IntMap m_ints;
    StringMap m_strings;
    ByteArrayMap m_byteArrays;
};
