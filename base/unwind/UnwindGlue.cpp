// Linked into every 32-bit Windows module that uses TCBase (see UnwindJoin.h).
// The link wraps the unwinder's registration entry points, so the module's
// start-up code, which registers the module's frame table with the module's
// own unwinder, lands here first.
#include "base/unwind/UnwindJoin.h"

extern "C" void __real___register_frame_info(const void*, void*);
extern "C" void* __real___deregister_frame_info(const void*);

#if defined(__i386__)
extern "C" void __wrap___register_frame_info(const void* begin, void* object)
{
    __real___register_frame_info(begin, object);
    tcUnwindJoin(begin, __real___register_frame_info, __real___deregister_frame_info);
    // A module's unwinder fills its register-size table on its first own
    // unwind; another module's unwinder may call into this one's accessors
    // first, so prime the table now.
    try {
        throw 0;
    } catch (int) {
    }
}

extern "C" void* __wrap___deregister_frame_info(const void* begin)
{
    tcUnwindLeave(begin);
    return __real___deregister_frame_info(begin);
}
#endif
