// Base64 decoding of arbitrary text through every overload, and the
// encode/decode round trip of arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "shared/server/Base64Device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const int32_t n = static_cast<int32_t>(size);
    ByteArray bytes(data, n);

    ByteArray fromBytes, fromNarrow, fromWide;
    Base64Device::unBase64Data(bytes, fromBytes);
    Base64Device::unBase64Data(std::string(reinterpret_cast<const char*>(data), size), fromNarrow);
    std::wstring wide;
    for (size_t i = 0; i < size; ++i)
        wide.push_back(static_cast<wchar_t>(data[i]));
    Base64Device::unBase64Data(wide, fromWide);

    // The three forms agree for ASCII; every byte above 0x7f is outside the
    // alphabet in all of them.
    if (!(fromBytes == fromNarrow) || !(fromBytes == fromWide))
        __builtin_trap();
    if (fromBytes.getSize() > n / 4 * 3)
        __builtin_trap();

    ByteArray text, back;
    Base64Device::base64Data(bytes, text);
    Base64Device::unBase64Data(text, back);
    if (!(back == bytes))
        __builtin_trap();
    return 0;
}
