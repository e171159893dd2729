#pragma once
// Queue files built and read byte by byte from the layout, without the
// queue's own code: wire forms written here, digests from a SHA-1 that is
// not ours (OpenSSL natively, the system's CryptoAPI on Windows).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace queuetest {

using Bytes = std::vector<uint8_t>;

void putInt(Bytes& out, int32_t value);
int32_t getInt(const Bytes& in, size_t offset);

// One attribute of a hand-built message.
struct Attribute {
    enum Kind { Int = 1, String = 2, Binary = 3 };
    Kind kind = Int;
    std::wstring name;
    int32_t intValue = 0;
    std::wstring text;
    Bytes bytes;
};
Attribute intAttribute(const std::wstring& name, int32_t value);
Attribute stringAttribute(const std::wstring& name, const std::wstring& value);
// The wire form of the attributes in the order given (callers give them as
// a writer orders them when they compare with one). Names and texts are
// ASCII here.
Bytes wireForm(const std::vector<Attribute>& attributes);

// The 20-byte SHA-1 digest, computed by the platform's other SHA-1.
Bytes independentSha1(const Bytes& data);

// A queue file: a table naming the records in the order given, each record
// placed at its offset (gaps are zero bytes).
struct PlacedRecord {
    int32_t offset;
    Bytes bytes;
};
Bytes queueFile(const std::vector<std::pair<int32_t, int32_t>>& pairs,
                const std::vector<PlacedRecord>& records);
// Wire form followed by its digest.
Bytes record(const Bytes& wire);

} // namespace queuetest
