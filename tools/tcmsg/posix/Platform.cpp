#include "tools/tcmsg/Platform.h"

namespace tcmsg {

std::FILE* openForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

} // namespace tcmsg

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tcmsg::run(args);
}
