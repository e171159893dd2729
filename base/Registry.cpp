#include "base/Registry.h"

#include <cstring>

#include "base/LittleEndian.h"
#include "base/Utf16.h"

const wchar_t* const Registry::SoftwareKey = L"Software\\Ondrivex";

namespace {

// Tools::cleanString's rule (the tests hold the two together), repeated here
// so that Registry needs nothing that logs: the errors and the logger read
// their start-up switches through it.
std::wstring cleanPath(const std::wstring& text)
{
    static const wchar_t* const strip = L"\\\t/. :;";
    const size_t last = text.find_last_not_of(strip);
    if (last == std::wstring::npos)
        return std::wstring();
    const size_t first = text.find_first_not_of(strip);
    return text.substr(first, last - first + 1);
}

} // namespace

Registry::Registry(RootKey root, const std::wstring& rootPath)
    : m_root(root), m_rootPath(cleanPath(rootPath))
{}

void Registry::setRootKeyPath(const std::wstring& path)
{
    m_rootPath = cleanPath(path);
}

void Registry::splitValuePath(const std::wstring& name, std::wstring& keyPath,
                              std::wstring& valueName) const
{
    const std::wstring full = m_rootPath + L"\\" + cleanPath(name);
    const size_t last = full.rfind(L'\\');
    keyPath = full.substr(0, last);
    valueName = full.substr(last + 1);
}

bool Registry::readRaw(const std::wstring& name, uint32_t& type, std::vector<uint8_t>& data) const
{
    std::wstring keyPath, valueName;
    splitValuePath(name, keyPath, valueName);
    return queryStored(m_root, keyPath, valueName, type, data);
}

bool Registry::writeRaw(const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data)
{
    std::wstring keyPath, valueName;
    splitValuePath(name, keyPath, valueName);
    return setStored(m_root, keyPath, valueName, type, data);
}

int Registry::read(const std::wstring& name, int defaultValue) const
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!readRaw(name, type, data) || data.empty())
        return defaultValue;
    // Whatever the type, the first four bytes; a shorter value is not
    // padded with whatever happens to follow it.
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i)
        value |= static_cast<uint32_t>(data[i]) << (8 * i);
    return static_cast<int>(value);
}

std::wstring Registry::read(const std::wstring& name, const std::wstring& defaultValue) const
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!readRaw(name, type, data) || type != TypeString)
        return defaultValue;
    // Stored strings need not be terminated, nor have an even length.
    size_t units = data.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        if (data[2 * i] == 0 && data[2 * i + 1] == 0) {
            units = i;
            break;
        }
    }
    return Utf16::readLE(data.data(), units);
}

std::wstring Registry::read(const std::wstring& name, const wchar_t* defaultValue) const
{
    return read(name, std::wstring(defaultValue != nullptr ? defaultValue : L""));
}

ByteArray Registry::read(const std::wstring& name, const ByteArray& defaultValue) const
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!readRaw(name, type, data) || type != TypeBinary)
        return defaultValue;
    return ByteArray(data.data(), static_cast<int32_t>(data.size()));
}

bool Registry::write(const std::wstring& name, int value)
{
    std::vector<uint8_t> data(4);
    LittleEndian::writeI32(data.data(), value);
    return writeRaw(name, TypeDword, data);
}

bool Registry::write(const std::wstring& name, const std::wstring& value)
{
    std::vector<uint8_t> data(2 * (Utf16::unitCount(value) + 1), 0);
    Utf16::writeLE(value, data.data());
    return writeRaw(name, TypeString, data);
}

bool Registry::write(const std::wstring& name, const wchar_t* value)
{
    return write(name, std::wstring(value != nullptr ? value : L""));
}

bool Registry::write(const std::wstring& name, const ByteArray& value)
{
    std::vector<uint8_t> data;
    if (value.getSize() > 0)
        data.assign(value.getData(), value.getData() + value.getSize());
    return writeRaw(name, TypeBinary, data);
}

bool Registry::deleteValue(const std::wstring& name)
{
    return removeStored(m_root, m_rootPath, name);
}
