// A second process for the named mutex tests.
//   base_mutex_probe try <name> <milliseconds>
//       exit 0: taken and released, 2: taken after its owner ended without
//       releasing, 1: still held by someone else after that time, 3: failure.
//   base_mutex_probe hold-exit <name>
//       takes it and ends without releasing (exit 0), 3 on failure.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "base/Event.h"
#include "base/LogDevice.h"
#include "base/Logger.h"
#include "base/Mutex.h"
#include "base/Tools.h"

namespace {

bool g_abandoned = false;

class AbandonWatch : public LogDevice {
public:
    void Setup() override {}
    void Write(Event& event) override { g_abandoned = g_abandoned || event.getID() == 1050702; }
    void ShutDown() override {}
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 3;
    try {
        Logger::initialise(L"MutexProbe");
        Logger::addCustomTraceDevice(new AbandonWatch);
        Mutex mutex;
        mutex.initialise(Tools::widenNarrowString(argv[2]));
        if (std::strcmp(argv[1], "hold-exit") == 0) {
            mutex.lock();
            ::_exit(0); // still the owner: no clean-up of any kind
        }
        if (std::strcmp(argv[1], "try") != 0 || argc < 4)
            return 3;
        if (!mutex.tryLock(static_cast<unsigned long>(std::atol(argv[3]))))
            return 1;
        mutex.release();
        return g_abandoned ? 2 : 0;
    } catch (...) {
        return 3;
    }
}
