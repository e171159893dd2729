// Parses arbitrary bytes as a wire-form message. Whatever parses must
// serialise to exactly its computed size, parse again without error, and
// serialise again to the same bytes; parsing it twice into one message
// changes nothing.
#include <cstdint>
#include <cstdlib>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const ByteArray input(data, static_cast<int32_t>(size));
    Msg first;
    try {
        first.fromByteArray(input);
    } catch (const CommsException&) {
        return 0;
    }

    ByteArray wire;
    first.toByteArray(wire);
    require(wire.getSize() == first.getSerializedSizeRequirement());
    // Nothing is lost or merged: every attribute comes back under its name.
    Msg second;
    second.removeIntAttribute(L"MsgType");
    try {
        second.fromByteArray(wire);
    } catch (const CommsException&) {
        std::abort();
    }
    require(second.getIntAttributeCount() == first.getIntAttributeCount());
    require(second.getStringAttributeCount() == first.getStringAttributeCount());
    require(second.getByteArrayAttributeCount() == first.getByteArrayAttributeCount());

    ByteArray again;
    second.toByteArray(again);
    require(again == wire);

    // Parsing the same input twice into one message replaces every value in
    // place and ends where one parse does.
    Msg reused;
    reused.fromByteArray(input);
    reused.fromByteArray(input);
    ByteArray twice;
    reused.toByteArray(twice);
    require(twice == wire);
    return 0;
}
