#pragma once
// What several native platform files need from POSIX, written once.
#include <cstdint>
#include <string>

#include "base/NativeHandle.h"

class PosixSupport {
public:
    // $HOME, else the account's home folder from the password database;
    // empty when neither gives one.
    static std::string homeFolder();

    // Creates path and every missing folder above it (mode 0700). True when
    // path is a folder afterwards; false for an empty path.
    static bool makeFolders(const std::string& path);

    // Writes every byte for which mustEscape is true as "%" and two
    // upper-case hexadecimal digits; the others stay as they are.
    static std::string percentEscape(const std::string& bytes, bool (*mustEscape)(unsigned char));
    // Undoes percentEscape (either case of digits). False for a "%" not
    // followed by two hexadecimal digits; out is unchanged then.
    static bool percentUnescape(const std::string& text, std::string& out);
    // The value of a hexadecimal digit (either case); -1 for any other character.
    static int hexDigitValue(char c);

    // A file descriptor carried in a portable header's native::Handle.
    static native::Handle handleOf(int fd)
    {
        return reinterpret_cast<native::Handle>(static_cast<intptr_t>(fd));
    }
    static int fdOf(native::Handle handle)
    {
        return static_cast<int>(reinterpret_cast<intptr_t>(handle));
    }
};
