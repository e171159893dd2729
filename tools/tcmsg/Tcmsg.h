#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The tool: reads the system's message files for support staff. Paths and
// arguments are UTF-8 on every platform; output is written as bytes,
// unchanged. Exit codes: 0 done, 1 usage error or unreadable file, 2
// malformed data.
class Tcmsg {
public:
    // args without the program name; returns the exit code.
    static int run(const std::vector<std::string>& args);

    // Operating-system half, in win32/Tcmsg.cpp and posix/Tcmsg.cpp, which
    // also hold the program's entry point.
    // The file opened for binary reading, or null.
    static std::FILE* openForReading(const std::string& path);
};
