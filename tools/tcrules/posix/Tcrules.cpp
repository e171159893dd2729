#include "tools/tcrules/Tcrules.h"

int main(int argc, char** argv)
{
    return Tcrules::run(std::vector<std::string>(argv + 1, argv + argc));
}
