#pragma once
#include <cstdio>
#include <string>
#include <vector>

// What the tool needs from the operating system. Paths and arguments are
// UTF-8 on every platform; output is written as bytes, unchanged.
namespace tcmsg {

// The tool itself: args without the program name; returns the exit code.
int run(const std::vector<std::string>& args);

// The file opened for binary reading, or null.
std::FILE* openForReading(const std::string& path);

} // namespace tcmsg
