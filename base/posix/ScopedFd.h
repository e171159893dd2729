#pragma once
// Owners of a POSIX file descriptor (negative means none) and of a
// directory stream.
#include <dirent.h>
#include <unistd.h>

#include "base/ScopedGeneric.h"

namespace scoped {

struct FdTraits {
    using Handle = int;
    static Handle invalid() { return -1; }
    static bool isValid(Handle fd) { return fd >= 0; }
    static void free(Handle fd) { ::close(fd); }
};

struct DirTraits {
    using Handle = DIR*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle dir) { return dir != nullptr; }
    static void free(Handle dir) { ::closedir(dir); }
};

} // namespace scoped

using ScopedFd = ScopedGeneric<scoped::FdTraits>;
using ScopedDir = ScopedGeneric<scoped::DirTraits>;
