// The main of every test program.
#include <gmock/gmock.h>

#include "testsupport/TestProcess.h"

int main(int argc, char** argv)
{
    testsupport::TestProcess::isolate();
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
