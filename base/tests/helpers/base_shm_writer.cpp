// A second process for the shared-memory channel tests: an add-in's writing
// end. Usage: base_shm_writer channel tag count [size]
// Sends count reports (Seq 0 .. count-1, Writer = tag), each padded to
// exactly size bytes when size is given, then stays until its standard input
// ends, so that the block stays alive until the test has read everything.
// Exit code 0, or 2 when the writer's thread is no longer running.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../ChannelTestMessages.h"
#include "base/SharedMemCommDevice.h"
#include "base/Tools.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: base_shm_writer channel tag count [size]\n");
        return 1;
    }
    const std::wstring channel = Tools::widenNarrowString(argv[1]);
    const std::wstring tag = Tools::widenNarrowString(argv[2]);
    const int count = std::atoi(argv[3]);
    const int size = argc > 4 ? std::atoi(argv[4]) : 0;

    SharedMemCommDevice writer(channel, SharedMemCommDevice::Writer);
    writer.startThread(nullptr);
    for (int i = 0; i < count; ++i)
        writer.pushMessage((size > 0 ? channeltest::makeReportOfSize(tag, i, size)
                                     : channeltest::makeReport(tag, i))
                               .release());
    while (std::fgetc(stdin) != EOF) {
    }
    return writer.getThreadState() == Thread::Running ? 0 : 2;
}
