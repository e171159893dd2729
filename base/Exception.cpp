#include "base/Exception.h"

#include <cstdio>
#include <sstream>

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/MachineSwitches.h"
#include "base/StackTrace.h"
#include "base/SystemError.h"

namespace {
// "Win32ExceptionHandler", as read by the last registerWin32ExceptionHandler.
int g_mode = 1;
} // namespace

Exception::Exception(int id, const std::wstring& description, const wchar_t* file, int line,
                     const wchar_t* function)
    : Exception(PlainKind, id, description, file, line, function)
{}

Exception::Exception(int kind, int id, const std::wstring& description, const wchar_t* file,
                     int line, const wchar_t* function)
    : Exception(SystemError::last(), kind, id, description, nullptr, file, line, function)
{}

Exception::Exception(int id, const std::wstring& description, _EXCEPTION_POINTERS* pointers,
                     const wchar_t* file, int line, const wchar_t* function)
    : Exception(SystemError::last(), PlainKind, id, description, pointers, file, line, function)
{}

Exception::Exception(unsigned long lastError, int kind, int id, const std::wstring& description,
                     _EXCEPTION_POINTERS* pointers, const wchar_t* file, int line,
                     const wchar_t* function)
    : m_kind(kind), m_id(id), m_description(description), m_file(file), m_line(line),
      m_function(function)
{
    const SystemError::Keep keep(lastError);
    captureStackTrace(pointers);
}

Exception::~Exception() = default;

void Exception::addParameter(const std::wstring& text)
{
    ++m_parameterCount;
    m_description += L" (Param " + std::to_wstring(m_parameterCount) + L": " + text + L") ";
}

void Exception::addParameter(int value)
{
    addParameter(std::to_wstring(value));
}

void Exception::addErrorInfo(unsigned long code)
{
    if (code == 0)
        return;
    m_description += L" : " + SystemError::text(code) + L" (" + std::to_wstring(code) + L")";
}

std::wstring Exception::toString() const
{
    return L"Type: " + std::to_wstring(m_kind) + L" ID: " + std::to_wstring(m_id) + L" Desc: " +
           m_description + L" StackTrace: " + m_stackTrace;
}

std::wostream& operator<<(std::wostream& out, const Exception& e)
{
    return out << e.toString();
}

void SystemException::addSystemErrorInfo()
{
    addErrorInfo(SystemError::last());
}

void Exception::captureStackTrace(_EXCEPTION_POINTERS* pointers)
{
    m_stackTrace = StackTrace::capture(pointers);
}

std::wstring Exception::hexText(unsigned long long value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx", value);
    return text;
}

void Exception::registerWin32ExceptionHandler()
{
    g_mode = MachineSwitches::win32ExceptionHandler();
    watchCallingThread(g_mode >= 1);
}

int Exception::getWin32ExceptionMode()
{
    return g_mode;
}

Exception Exception::translate(unsigned int code, _EXCEPTION_POINTERS* pointers)
{
    Exception e(1051401, L"Win32 exception", pointers, TC_AT(L"Exception::translate"));
    e.addParameter(hexText(code));
    addRecordParameters(e, pointers);
    Event event(1051402, &e, L"Win32 exception translate function called",
                TC_AT(L"Exception::translate"));
    EventSink::trace(event);
    return e;
}
