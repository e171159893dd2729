#pragma once
#include <string>
#include <vector>

// The tool itself, given its arguments (without the program name) as UTF-8;
// returns the exit code. The platform's entry point converts the arguments
// and sets standard output and error to bytes.
namespace tcrules {
int run(const std::vector<std::string>& args);
}
