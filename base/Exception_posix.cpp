#include "base/Exception.h"

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/StackTrace.h"

// Natively there is no structured exception to translate: the mode is read
// so that callers see the configured value, and no handler is installed.

namespace {
int g_mode = 1;
}

void Exception::captureStackTrace(_EXCEPTION_POINTERS* pointers)
{
    m_stackTrace = StackTrace::capture(pointers);
}

void Exception::registerWin32ExceptionHandler()
{
    g_mode = Registry(Registry::LocalMachine).read(L"Win32ExceptionHandler", 1);
}

int Exception::getWin32ExceptionMode()
{
    return g_mode;
}

Exception Exception::translate(unsigned int code, _EXCEPTION_POINTERS* pointers)
{
    Exception e(1051401, L"Win32 exception", pointers, TC_AT(L"Exception::translate"));
    e.addParameter(std::to_wstring(code));
    Event event(1051402, &e, L"Win32 exception translate function called",
                TC_AT(L"Exception::translate"));
    Logger::Trace(event);
    return e;
}
