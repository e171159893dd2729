#include "base/SharedMemCommDevice.h"

// Natively there are no integrity levels: the block and its lock belong to
// the user and are created readable and writable by that user only.
bool SharedMemCommDevice::reduceIntegrity(native::Handle)
{
    return true;
}
