#include "shared/server/Base64Device.h"

#include <vector>

namespace {

const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 0..63 for the alphabet, Pad for "=", Invalid for everything else.
const int8_t Pad = -2;
const int8_t Invalid = -1;

struct DecodeTable {
    int8_t value[256];
    DecodeTable()
    {
        for (int i = 0; i < 256; ++i)
            value[i] = Invalid;
        for (int i = 0; i < 64; ++i)
            value[static_cast<uint8_t>(Alphabet[i])] = static_cast<int8_t>(i);
        value[static_cast<uint8_t>('=')] = Pad;
    }
};

const DecodeTable& decodeTable()
{
    static const DecodeTable table;
    return table;
}

} // namespace

void Base64Device::encode(const uint8_t* data, int n, char* text)
{
    int i = 0;
    for (; i + 3 <= n; i += 3, text += 4) {
        uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        text[0] = Alphabet[(v >> 18) & 63];
        text[1] = Alphabet[(v >> 12) & 63];
        text[2] = Alphabet[(v >> 6) & 63];
        text[3] = Alphabet[v & 63];
    }
    if (n - i == 1) {
        uint32_t v = uint32_t(data[i]) << 16;
        text[0] = Alphabet[(v >> 18) & 63];
        text[1] = Alphabet[(v >> 12) & 63];
        text[2] = '=';
        text[3] = '=';
    } else if (n - i == 2) {
        uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8);
        text[0] = Alphabet[(v >> 18) & 63];
        text[1] = Alphabet[(v >> 12) & 63];
        text[2] = Alphabet[(v >> 6) & 63];
        text[3] = '=';
    }
}

void Base64Device::base64Data(const ByteArray& data, ByteArray& text)
{
    const int n = data.getSize();
    if (n <= 0) {
        text.release();
        return;
    }
    // Encode into a separate block: data and text may be the same array.
    std::vector<char> buffer(static_cast<size_t>(encodedSize(n)));
    encode(data.getData(), n, buffer.data());
    text.copyData(buffer.data(), static_cast<int32_t>(buffer.size()));
}

void Base64Device::base64Data(const ByteArray& data, std::string& text)
{
    const int n = data.getSize();
    text.assign(static_cast<size_t>(n > 0 ? encodedSize(n) : 0), '\0');
    if (n > 0)
        encode(data.getData(), n, &text[0]);
}

void Base64Device::base64Data(const ByteArray& data, std::wstring& text)
{
    std::string narrow;
    base64Data(data, narrow);
    text.assign(narrow.begin(), narrow.end());
}

void Base64Device::decode(const char* text, size_t length, ByteArray& out)
{
    const DecodeTable& table = decodeTable();
    size_t p = 0;
    if (length >= 2 && text[0] == '+' && text[1] == ' ')
        p = 2;

    std::vector<uint8_t> bytes;
    bytes.reserve(length / 4 * 3);
    // The end of the text counts as the NUL of a zero-terminated string.
    while (p < length && text[p] != '\0' && text[p] != '\r') {
        if (length - p < 4) {
            out.release();
            return;
        }
        int v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = table.value[static_cast<uint8_t>(text[p + k])];
        p += 4;
        const bool anyInvalid =
            v[0] == Invalid || v[1] == Invalid || v[2] == Invalid || v[3] == Invalid;
        if (anyInvalid || v[0] == Pad || v[1] == Pad || (v[2] == Pad && v[3] != Pad)) {
            out.release();
            return;
        }
        bytes.push_back(static_cast<uint8_t>((v[0] << 2) | (v[1] >> 4)));
        if (v[2] == Pad)
            break;
        bytes.push_back(static_cast<uint8_t>((v[1] << 4) | (v[2] >> 2)));
        if (v[3] == Pad)
            break;
        bytes.push_back(static_cast<uint8_t>((v[2] << 6) | v[3]));
    }
    out.copyData(bytes.data(), static_cast<int32_t>(bytes.size()));
    if (bytes.empty())
        out.release();
}

void Base64Device::unBase64Data(const ByteArray& text, ByteArray& out)
{
    // Decode from a copy: text and out may be the same array.
    std::string narrow;
    if (text.getSize() > 0)
        narrow.assign(reinterpret_cast<const char*>(text.getData()),
                      static_cast<size_t>(text.getSize()));
    decode(narrow.data(), narrow.size(), out);
}

void Base64Device::unBase64Data(const std::string& text, ByteArray& out)
{
    decode(text.data(), text.size(), out);
}

void Base64Device::unBase64Data(const std::wstring& text, ByteArray& out)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text)
        narrow.push_back(static_cast<unsigned long>(c) < 0x80 ? static_cast<char>(c) : '\x80');
    decode(narrow.data(), narrow.size(), out);
}
