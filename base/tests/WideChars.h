#pragma once
// Wide strings built value by value, for the tests of the text conversions.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace texttest {

// A wide string made of the given values, one wchar_t each.
inline std::wstring chars(std::initializer_list<uint32_t> values)
{
    std::wstring s;
    for (uint32_t v : values)
        s += static_cast<wchar_t>(v);
    return s;
}

} // namespace texttest
