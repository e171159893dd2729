// The main of every test program.
#include <gmock/gmock.h>

#include "testsupport/TestSupport.h"

int main(int argc, char** argv)
{
    testsupport::isolateProcess();
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
