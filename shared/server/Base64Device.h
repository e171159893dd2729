#pragma once
#include <string>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"

// Base64 text (alphabet A-Z a-z 0-9 + /, "=" padding, no line breaks) for
// digests, signatures and stored credentials.
//
// Decoding follows the rules the server's and earlier clients' texts rely on:
// - a leading "+ " is skipped;
// - a carriage return as the first character gives an empty result;
// - groups of four characters are decoded until a NUL or a carriage return
//   (or the end of the text) follows a group, or a group ends in "=";
//   whatever comes after that is ignored;
// - any other character outside the alphabet, "=" anywhere but at the end of
//   a group, or a group cut short makes the whole result empty.
// Failure is reported only by the empty result.
class TCSHRD_API Base64Device {
public:
    static void base64Data(const ByteArray& data, ByteArray& text);
    static void base64Data(const ByteArray& data, std::string& text);
    // The ASCII text widened character by character.
    static void base64Data(const ByteArray& data, std::wstring& text);

    // out is replaced by the decoded bytes, or emptied when the text is not valid.
    static void unBase64Data(const ByteArray& text, ByteArray& out);
    static void unBase64Data(const std::string& text, ByteArray& out);
    // The wide text is narrowed first; a character beyond ASCII can only be
    // outside the alphabet, so it makes the result empty.
    static void unBase64Data(const std::wstring& text, ByteArray& out);

    // The length of the text for n bytes: 4 * ceil(n / 3).
    static int encodedSize(int n) { return ((n + 2) / 3) * 4; }

private:
    static void encode(const uint8_t* data, int n, char* text);
    static void decode(const char* text, size_t length, ByteArray& out);
};
