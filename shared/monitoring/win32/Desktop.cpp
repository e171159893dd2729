#include "shared/monitoring/Desktop.h"

#include "shared/monitoring/win32/Win32Desktop.h"

Desktop& Desktop::system()
{
    static Win32Desktop s_desktop;
    return s_desktop;
}
