// The plug-in rule's own test subject, and the shape the add-ins take: entry
// points exported through TestPlugin.def, a version resource from
// TestPlugin.rc and a type library from TestPlugin.idl bound into the
// module's resources. It links TCBase like an add-in and catches what TCBase
// throws, which on 32-bit Windows needs the module's unwinder joined with
// TCBase's.
#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "base/win32/WindowsSupport.h"

#include <objbase.h>

extern "C" {

STDAPI DllCanUnloadNow()
{
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object)
{
    if (object != nullptr)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Reads an integer from a message too short to hold one; TCBase throws and
// the plug-in answers with the exception's id.
long __stdcall TestPluginAnswer()
{
    const unsigned char twoBytes[2] = {1, 2};
    ByteArray in(twoBytes, 2);
    int32_t position = 0;
    try {
        Msg::getNextInt(in, position);
    } catch (const Exception& e) {
        return e.getExceptionID();
    }
    return 0;
}

// Has external linkage but is not in TestPlugin.def, so it stays inside.
long __stdcall TestPluginUnlisted()
{
    return 1;
}

} // extern "C"
