#pragma once
#include <cstdint>

// Little-endian integers in byte buffers: the wire form, the shared-memory
// block and registry DWORDs all store them so, whatever the host's order.
// Written byte by byte, so any alignment will do; compilers turn these into
// single loads and stores on little-endian hosts.
namespace LittleEndian {

inline uint16_t readU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t readI32(const uint8_t* p)
{
    return static_cast<int32_t>(readU32(p));
}

inline void writeU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void writeU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void writeI32(uint8_t* p, int32_t v)
{
    writeU32(p, static_cast<uint32_t>(v));
}

// The same for memory another process changes behind the compiler's back:
// every byte is one volatile access, so a value is fetched exactly once.
inline uint32_t readU32Volatile(const volatile uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void writeU32Volatile(volatile uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

} // namespace LittleEndian
