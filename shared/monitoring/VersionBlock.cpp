#include "shared/monitoring/VersionBlock.h"

#include <algorithm>

#include "base/LittleEndian.h"
#include "base/Utf16.h"

namespace {

const size_t HeaderBytes = 6; // length, value length, type

size_t align4(size_t offset)
{
    return (offset + 3) & ~static_cast<size_t>(3);
}

wchar_t foldAscii(uint32_t c)
{
    return static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c);
}

} // namespace

VersionBlock::VersionBlock(const void* data, size_t size)
    : m_data(static_cast<const uint8_t*>(data)), m_size(data != nullptr ? size : 0)
{}

uint16_t VersionBlock::read16(size_t offset) const
{
    return LittleEndian::readU16(m_data + offset);
}

bool VersionBlock::readNode(size_t offset, size_t limit, Node& node) const
{
    if (offset > limit || limit - offset < HeaderBytes)
        return false;
    const size_t length = read16(offset);
    if (length < HeaderBytes)
        return false;
    node.start = offset;
    // A node that claims more than its parent holds is cut at the parent's
    // end rather than rejected: the system's query is just as lenient, and
    // some resource compilers get the outer lengths slightly wrong.
    node.end = std::min(offset + length, limit);
    node.valueLength = read16(offset + 2);
    node.type = read16(offset + 4);
    node.keyStart = offset + HeaderBytes;

    size_t pos = node.keyStart;
    while (pos + 2 <= node.end && read16(pos) != 0)
        pos += 2;
    if (pos + 2 > node.end)
        return false; // key without terminator
    node.keyUnits = (pos - node.keyStart) / 2;

    node.valueStart = std::min(align4(pos + 2), node.end);
    const size_t valueBytes = node.type != 0 ? node.valueLength * size_t(2) : node.valueLength;
    node.childrenStart = std::min(align4(node.valueStart + valueBytes), node.end);
    return true;
}

bool VersionBlock::keyEquals(const Node& node, const wchar_t* key, size_t keyLength) const
{
    if (node.keyUnits != keyLength)
        return false;
    for (size_t i = 0; i < keyLength; ++i) {
        if (foldAscii(read16(node.keyStart + 2 * i)) != foldAscii(static_cast<uint32_t>(key[i])))
            return false;
    }
    return true;
}

bool VersionBlock::query(const std::wstring& path, Value& value) const
{
    Node node;
    if (m_data == nullptr || !readNode(0, m_size, node))
        return false;

    size_t begin = 0;
    while (begin < path.size()) {
        size_t stop = path.find(L'\\', begin);
        if (stop == std::wstring::npos)
            stop = path.size();
        if (stop == begin) { // empty component
            ++begin;
            continue;
        }
        const wchar_t* key = path.c_str() + begin;
        const size_t keyLength = stop - begin;

        bool found = false;
        size_t pos = node.childrenStart;
        Node child;
        while (pos < node.end) {
            if (!readNode(pos, node.end, child))
                break;
            if (keyEquals(child, key, keyLength)) {
                found = true;
                break;
            }
            pos = align4(child.end);
        }
        if (!found)
            return false;
        node = child;
        begin = stop;
    }

    value.data = m_data + node.valueStart;
    value.available = node.end - node.valueStart;
    value.declaredLength = node.valueLength;
    value.isText = node.type != 0;
    return true;
}

bool VersionBlock::queryText(const std::wstring& path, std::wstring& text) const
{
    Value value;
    if (!query(path, value))
        return false;
    size_t units = 0;
    const size_t limit = value.available / 2;
    while (units < limit && (value.data[2 * units] | value.data[2 * units + 1]) != 0)
        ++units;
    text = Utf16::readLE(value.data, units);
    return true;
}

bool VersionBlock::queryTranslation(uint16_t& language, uint16_t& codePage) const
{
    Value value;
    if (!query(L"\\VarFileInfo\\Translation", value))
        return false;
    const size_t declaredBytes =
        value.isText ? value.declaredLength * size_t(2) : value.declaredLength;
    if (declaredBytes < 4 || value.available < 4)
        return false;
    language = LittleEndian::readU16(value.data);
    codePage = LittleEndian::readU16(value.data + 2);
    return true;
}
