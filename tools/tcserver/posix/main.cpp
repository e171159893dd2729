#include <iostream>
#include <string>
#include <vector>

#include "tools/tcserver/posix/TcserverTool.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return TcserverTool::run(args, std::cin, std::cout, std::cerr);
}
