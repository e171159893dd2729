// Icon resources come from whatever program the user runs: any group
// directory and any images must give either nothing or a well-formed ".ico"
// file, without a fault.
//
// Input: a 16-bit group size, the group-icon resource, then the icon
// resources, each a 32-bit size and its bytes; an entry's id picks the
// resource (id - 1) modulo their number, as ids may repeat or dangle.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "shared/monitoring/Icon.h"
#include "shared/monitoring/IconFile.h"

namespace {

class FuzzedIcon : public Icon {
public:
    using Icon::addImage;
};

uint32_t le32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

struct Resource {
    const uint8_t* data;
    size_t size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    size_t groupSize = size_t(data[0]) | size_t(data[1]) << 8;
    if (groupSize > size - 2)
        groupSize = size - 2;
    const uint8_t* group = data + 2;

    std::vector<Resource> resources;
    const uint8_t* at = group + groupSize;
    const uint8_t* end = data + size;
    while (end - at >= 4) {
        size_t length = le32(at);
        at += 4;
        if (length > size_t(end - at))
            length = size_t(end - at);
        resources.push_back({at, length});
        at += length;
    }

    const std::vector<IconImage> entries = IconFile::readGroup(group, groupSize);
    if (entries.size() > IconFile::declaredCount(group, groupSize) ||
        (!entries.empty() &&
         IconFile::GroupHeaderBytes + entries.size() * IconImage::EntryBytes > groupSize))
        __builtin_trap();

    FuzzedIcon icon;
    for (const IconImage& entry : entries) {
        if (resources.empty()) {
            icon.addImage(entry, nullptr, 0);
            continue;
        }
        const Resource& r =
            resources[(size_t(entry.id()) + resources.size() - 1) % resources.size()];
        icon.addImage(entry, r.data, r.size);
    }

    ByteArray file;
    const std::vector<IconImage>& images = icon.getImages();
    const bool laidOut = IconFile::layout(images, file);
    // Whatever was accepted must fit in one file.
    if (laidOut != !images.empty())
        __builtin_trap();
    if (!laidOut)
        return 0;

    // Read the file back as any ".ico" reader would.
    const uint8_t* bytes = file.getData();
    const size_t fileSize = static_cast<size_t>(file.getSize());
    if (fileSize > IconFile::MaxFileBytes || fileSize < 6 || bytes[2] != 1 || bytes[3] != 0 ||
        size_t(bytes[4] | bytes[5] << 8) != images.size())
        __builtin_trap();
    size_t expected = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        const uint8_t* e = bytes + 6 + 16 * i;
        const uint32_t imageSize = le32(e + 8);
        const uint32_t offset = le32(e + 12);
        if (offset != expected || imageSize == 0 || size_t(offset) + imageSize > fileSize ||
            imageSize != static_cast<uint32_t>(images[i].bytes.getSize()) ||
            std::memcmp(bytes + offset, images[i].bytes.getData(), imageSize) != 0 ||
            std::memcmp(e, images[i].entry, 8) != 0)
            __builtin_trap();
        expected += imageSize;
    }
    if (expected != fileSize)
        __builtin_trap();
    return 0;
}
