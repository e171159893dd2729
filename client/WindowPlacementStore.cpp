#include "client/WindowPlacementStore.h"

#include "base/LittleEndian.h"

WindowPlacementStore::WindowPlacementStore(const Registry& registry) : m_registry(registry) {}

void WindowPlacementStore::save(const ByteArray& placement, bool hidden)
{
    m_registry.write(L"WindowPlacement", placement);
    m_registry.write(L"WindowState", hidden ? 1 : 0);
}

bool WindowPlacementStore::normalSize(const ByteArray& placement, int& width, int& height)
{
    if (placement.getSize() < RecordSize)
        return false;
    const uint8_t* p = placement.getData();
    int32_t left = LittleEndian::readI32(p + 28);
    int32_t top = LittleEndian::readI32(p + 32);
    int32_t right = LittleEndian::readI32(p + 36);
    int32_t bottom = LittleEndian::readI32(p + 40);
    width = right - left;
    height = bottom - top;
    return true;
}

bool WindowPlacementStore::restorable(int width, int height, ByteArray& out) const
{
    ByteArray stored = m_registry.read(L"WindowPlacement", ByteArray());
    if (stored.getSize() != RecordSize)
        return false;
    if (LittleEndian::readU32(stored.getData()) != static_cast<uint32_t>(RecordSize))
        return false;
    int w = 0, h = 0;
    if (!normalSize(stored, w, h) || w != width || h != height)
        return false;
    out = stored;
    return true;
}

bool WindowPlacementStore::wasHidden() const
{
    return m_registry.read(L"WindowState", 0) == 1;
}
