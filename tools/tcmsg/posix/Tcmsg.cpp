#include "tools/tcmsg/Tcmsg.h"

std::FILE* Tcmsg::openForReading(const std::string& path)
{
    return std::fopen(path.c_str(), "rb");
}

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return Tcmsg::run(args);
}
