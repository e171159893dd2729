#include "base/Exception.h"

#include <sstream>

#include "base/Tools.h"

Exception::Exception(int id, const std::wstring& description, const wchar_t* file, int line,
                     const wchar_t* function)
    : Exception(PlainKind, id, description, file, line, function)
{
}

Exception::Exception(int kind, int id, const std::wstring& description, const wchar_t* file,
                     int line, const wchar_t* function)
    : m_kind(kind), m_id(id), m_description(description), m_file(file), m_line(line),
      m_function(function)
{
    captureStackTrace(nullptr);
}

Exception::Exception(int id, const std::wstring& description, _EXCEPTION_POINTERS* pointers,
                     const wchar_t* file, int line, const wchar_t* function)
    : m_kind(PlainKind), m_id(id), m_description(description), m_file(file), m_line(line),
      m_function(function)
{
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
    m_description += L" : " + Tools::lookupErrorDescription(code) + L" (" + std::to_wstring(code) + L")";
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
    addErrorInfo(Tools::getLastSystemError());
}
