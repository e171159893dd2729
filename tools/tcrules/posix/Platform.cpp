#include "tools/tcrules/Platform.h"

int main(int argc, char** argv)
{
    return tcrules::run(std::vector<std::string>(argv + 1, argv + argc));
}
