#include "shared/monitoring/Desktop.h"

#include "shared/monitoring/ScriptedDesktop.h"

// Natively there is no desktop to watch: the model sees an empty scripted
// one, which a program may fill.
Desktop& Desktop::system()
{
    static ScriptedDesktop s_desktop;
    return s_desktop;
}
