#include "base/Event.h"

#include <ctime>
#include <sstream>

#include "base/Exception.h"
#include "base/SystemError.h"

Event::Event(uint32_t id, const std::wstring& description, int type, const wchar_t* file, int line,
             const wchar_t* function)
    : m_id(id), m_description(description), m_type(type), m_file(file), m_line(line),
      m_function(function)
{}

Event::Event(uint32_t id, const wchar_t* file, int line, const wchar_t* function)
    : Event(id, std::wstring(), Error, file, line, function)
{}

Event::Event(uint32_t id, const std::wstring& description, const wchar_t* file, int line,
             const wchar_t* function)
    : Event(id, description, Error, file, line, function)
{}

Event::Event(uint32_t id, const Exception* exception, const std::wstring& description,
             const wchar_t* file, int line, const wchar_t* function)
    : Event(id, description, Error, file, line, function)
{
    m_exception = exception;
}

Event::Event(uint32_t id, const Exception* exception, const wchar_t* file, int line,
             const wchar_t* function)
    : Event(id, exception, std::wstring(), file, line, function)
{}

Event::~Event() = default;

void Event::addDetails(const std::wstring& name, const std::wstring& text)
{
    m_details += L" " + name + L":" + text;
}

void Event::addDetails(const std::wstring& name, long long value)
{
    m_details += L" " + name + L": " + std::to_wstring(value);
}

void Event::addSystemErrorInfo()
{
    const unsigned long code = SystemError::last();
    addDetails(L"System Error ID", static_cast<long long>(code));
    const std::wstring text = SystemError::text(code);
    if (!text.empty())
        addDetails(L"System Error Description", text);
}

const wchar_t* Event::typeLabel(int type)
{
    switch (type) {
    case Info:
        return L"Info    ";
    case Warning:
        return L"Warning ";
    default:
        return L"Error   ";
    }
}

std::wstring Event::toString(bool includeHeaders)
{
    m_includeHeaders = includeHeaders;
    std::wostringstream out;
    out << *this;
    return out.str();
}

namespace {

std::wstring localTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    wchar_t text[32];
    if (std::wcsftime(text, 32, L"%Y/%m/%d %H:%M:%S", &local) == 0)
        return std::wstring();
    return text;
}

} // namespace

std::wostream& operator<<(std::wostream& out, const Event& e)
{
    std::wstring line;
    if (e.m_includeHeaders)
        line +=
            localTimeStamp() + L" " + Event::typeLabel(e.m_type) + std::to_wstring(e.m_id) + L" ";
    line += e.m_description + L" " + e.m_details;
    if (e.m_exception != nullptr)
        line += L" Exception: " + e.m_exception->toString();
    line += L"\r\n";
    return out << line;
}
