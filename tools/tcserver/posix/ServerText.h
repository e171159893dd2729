#pragma once
#include <cstdint>
#include <string>

#include "base/ByteArray.h"

// Text helpers of the reference server: names compared without case, the
// store's UTF-8, and dates.
namespace ServerText {

// Lower case by the Unicode rules of the C.UTF-8 locale (plain ASCII rules
// when that locale is missing), so that a name typed with capitals finds its
// account.
std::wstring lower(const std::wstring& text);

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& utf8Text);

// Base64 of the bytes (standard alphabet, padded).
std::string base64(const ByteArray& bytes);
std::string base64(const std::string& bytes);

// "YYYY-MM-DD" to the UTC midnight that starts the day; false when the text
// is not such a date.
bool parseDate(const std::string& text, int64_t& midnight);
// "YYYY-MM-DD" and "HH:MM:SS" of a time in UTC.
std::string date(int64_t time);
std::string clock(int64_t time);

// Dotted version numbers compared part by part as numbers ("1.10" > "1.9");
// a missing part counts as 0. Returns <0, 0 or >0.
int compareVersions(const std::string& a, const std::string& b);

} // namespace ServerText
