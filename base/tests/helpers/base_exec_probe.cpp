// Started by the Execute tests: base_exec_probe <folder> <milliseconds>. Leaves
// the file "started" in the folder, sleeps, then leaves "finished".
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 3;
    const std::filesystem::path folder(argv[1]);
    std::ofstream(folder / "started").put('1');
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[2])));
    // Written under another name first, so a reader never sees it half made.
    std::ofstream(folder / "finished.part").put('1');
    std::filesystem::rename(folder / "finished.part", folder / "finished");
    return 0;
}
