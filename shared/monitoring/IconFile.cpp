#include "shared/monitoring/IconFile.h"

#include <algorithm>
#include <cstring>

#include "base/LittleEndian.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr size_t IconFile::GroupHeaderBytes;
constexpr size_t IconFile::FileHeaderBytes;
constexpr size_t IconFile::FileEntryBytes;
constexpr uint32_t IconFile::MaxFileBytes;

namespace {

void put16(uint8_t* at, uint32_t value)
{
    LittleEndian::writeU16(at, static_cast<uint16_t>(value));
}

void put32(uint8_t* at, uint32_t value)
{
    LittleEndian::writeU32(at, value);
}

} // namespace

uint16_t IconFile::declaredCount(const void* data, size_t size)
{
    if (data == nullptr || size < GroupHeaderBytes)
        return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return LittleEndian::readU16(bytes + 4);
}

std::vector<IconImage> IconFile::readGroup(const void* data, size_t size)
{
    std::vector<IconImage> entries;
    const size_t declared = declaredCount(data, size);
    if (declared == 0)
        return entries;
    const size_t present = (size - GroupHeaderBytes) / IconImage::EntryBytes;
    const size_t count = std::min(declared, present);
    const uint8_t* at = static_cast<const uint8_t*>(data) + GroupHeaderBytes;
    entries.resize(count);
    for (size_t i = 0; i < count; ++i, at += IconImage::EntryBytes)
        std::memcpy(entries[i].entry, at, IconImage::EntryBytes);
    return entries;
}

uint64_t IconFile::fileSize(const std::vector<IconImage>& images)
{
    uint64_t total = FileHeaderBytes + FileEntryBytes * uint64_t(images.size());
    for (const IconImage& image : images)
        total += static_cast<uint64_t>(image.bytes.getSize());
    return total;
}

bool IconFile::layout(const std::vector<IconImage>& images, ByteArray& out)
{
    if (images.empty() || images.size() > 0xFFFF)
        return false;
    const uint64_t total = fileSize(images);
    if (total > MaxFileBytes)
        return false;

    ByteArray file;
    uint8_t* at = file.getBuffer(static_cast<int32_t>(total));
    put16(at, 0);
    put16(at + 2, 1);
    put16(at + 4, static_cast<uint32_t>(images.size()));
    at += FileHeaderBytes;

    uint32_t offset = static_cast<uint32_t>(FileHeaderBytes + FileEntryBytes * images.size());
    for (const IconImage& image : images) {
        const uint32_t size = static_cast<uint32_t>(image.bytes.getSize());
        std::memcpy(at, image.entry, 8); // width, height, colours, reserved, planes, bit count
        // The size written is what follows in the file: an entry that claims
        // more than its resource held would otherwise shift every later image.
        put32(at + 8, size);
        put32(at + 12, offset);
        at += FileEntryBytes;
        offset += size;
    }
    for (const IconImage& image : images) {
        if (image.bytes.getSize() > 0)
            std::memcpy(at, image.bytes.getData(), static_cast<size_t>(image.bytes.getSize()));
        at += image.bytes.getSize();
    }
    out = std::move(file);
    return true;
}
