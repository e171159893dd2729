#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"

// One image of an executable's icon group: the group directory entry as the
// resource stores it and the image's bytes.
struct IconImage {
    static constexpr size_t EntryBytes = 14;

    // width, height, colour count, reserved (one byte each), planes, bit
    // count (16 bits each), bytes in the resource (32 bits), resource id
    // (16 bits), little-endian.
    uint8_t entry[EntryBytes] = {};
    ByteArray bytes;

    uint8_t width() const { return entry[0]; }
    uint8_t height() const { return entry[1]; }
    uint8_t colourCount() const { return entry[2]; }
    uint16_t planes() const { return static_cast<uint16_t>(entry[4] | entry[5] << 8); }
    uint16_t bitCount() const { return static_cast<uint16_t>(entry[6] | entry[7] << 8); }
    uint32_t declaredBytes() const
    {
        return uint32_t(entry[8]) | uint32_t(entry[9]) << 8 | uint32_t(entry[10]) << 16 |
               uint32_t(entry[11]) << 24;
    }
    uint16_t id() const { return static_cast<uint16_t>(entry[12] | entry[13] << 8); }
};

// The two layouts an icon has: the group-icon resource (type 14) of an
// executable, whose entries name icon resources (type 3) by id, and the
// ".ico" file, whose entries give each image's offset in the file.
// Resource bytes come from whatever program the user runs: every count, size
// and offset is checked before it is used.
class TCSHRD_API IconFile {
public:
    static constexpr size_t GroupHeaderBytes = 6; // reserved, type, count
    static constexpr size_t FileHeaderBytes = 6;  // reserved, type 1, count
    static constexpr size_t FileEntryBytes = 16;
    // The largest ".ico" file the system writes: what Icon::getIconBytes
    // reads back whole. Larger groups lose their last images.
    static constexpr uint32_t MaxFileBytes = 4194304;

    // The count the group directory declares (16 bits at byte 4); 0 when the
    // data is too short to hold a header.
    static uint16_t declaredCount(const void* data, size_t size);

    // The entries of a group directory that lie wholly inside the data, in
    // order, with empty image bytes. A count beyond the data is cut to the
    // entries present.
    static std::vector<IconImage> readGroup(const void* data, size_t size);

    // Bytes an ".ico" file of these images takes.
    static uint64_t fileSize(const std::vector<IconImage>& images);

    // The ".ico" file of the images, numbers little-endian: header, one
    // 16-byte entry per image (the group entry's first 12 bytes with the
    // size set to the bytes actually held), each image's offset, then the
    // images back to back from 6 + 16 x count. False, leaving out untouched,
    // when there are no images, more than 65535, or the file would exceed
    // MaxFileBytes.
    static bool layout(const std::vector<IconImage>& images, ByteArray& out);
};
