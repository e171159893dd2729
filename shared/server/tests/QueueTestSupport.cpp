#include "QueueTestSupport.h"

namespace queuetest {

void putInt(Bytes& out, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

int32_t getInt(const Bytes& in, size_t offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | in.at(offset + static_cast<size_t>(i));
    return static_cast<int32_t>(v);
}

Attribute intAttribute(const std::wstring& name, int32_t value)
{
    Attribute a;
    a.kind = Attribute::Int;
    a.name = name;
    a.intValue = value;
    return a;
}

Attribute stringAttribute(const std::wstring& name, const std::wstring& value)
{
    Attribute a;
    a.kind = Attribute::String;
    a.name = name;
    a.text = value;
    return a;
}

namespace {

void putText(Bytes& out, const std::wstring& text)
{
    putInt(out, 2);
    putInt(out, static_cast<int32_t>(text.size() * 2));
    for (wchar_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
}

} // namespace

Bytes wireForm(const std::vector<Attribute>& attributes)
{
    Bytes body;
    for (const Attribute& a : attributes) {
        putText(body, a.name);
        switch (a.kind) {
        case Attribute::Int:
            putInt(body, 1);
            putInt(body, 4);
            putInt(body, a.intValue);
            break;
        case Attribute::String:
            putText(body, a.text);
            break;
        case Attribute::Binary:
            putInt(body, 3);
            putInt(body, static_cast<int32_t>(a.bytes.size()));
            body.insert(body.end(), a.bytes.begin(), a.bytes.end());
            break;
        }
    }
    Bytes out;
    putInt(out, 1);
    putInt(out, static_cast<int32_t>(8 + body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes record(const Bytes& wire)
{
    Bytes out = wire;
    const Bytes digest = independentSha1(wire);
    out.insert(out.end(), digest.begin(), digest.end());
    return out;
}

Bytes queueFile(const std::vector<std::pair<int32_t, int32_t>>& pairs,
                const std::vector<PlacedRecord>& records)
{
    Bytes out;
    for (const auto& p : pairs) {
        putInt(out, p.first);
        putInt(out, p.second);
    }
    out.resize(25600, 0);
    for (const PlacedRecord& r : records) {
        const size_t end = static_cast<size_t>(r.offset) + r.bytes.size();
        if (out.size() < end)
            out.resize(end, 0);
        std::copy(r.bytes.begin(), r.bytes.end(), out.begin() + r.offset);
    }
    return out;
}

} // namespace queuetest
