#pragma once
#include <string>
#include <vector>

// The tool: what the foreground tracking would report for one window.
class Tcrules {
public:
    // args without the program name, as UTF-8; returns the exit code.
    static int run(const std::vector<std::string>& args);

    // The program's entry point, in win32/Tcrules.cpp and posix/Tcrules.cpp,
    // converts the arguments and sets standard output and error to bytes.
};
