#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "base/SourceLocation.h"
#include "base/TCBaseApi.h"

class Exception;

// Something the program survives, recorded through Logger::Log or Trace.
class TCBASE_API Event {
public:
    enum EventType { Info = 0, Error = 1, Warning = 2 };

    Event(uint32_t id, const std::wstring& description, int type, const wchar_t* file, int line,
          const wchar_t* function);
    Event(uint32_t id, const wchar_t* file, int line, const wchar_t* function);
    Event(uint32_t id, const std::wstring& description, const wchar_t* file, int line,
          const wchar_t* function);
    // The exception is not owned and must outlive the event.
    Event(uint32_t id, const Exception* exception, const std::wstring& description,
          const wchar_t* file, int line, const wchar_t* function);
    Event(uint32_t id, const Exception* exception, const wchar_t* file, int line,
          const wchar_t* function);
    // The same, with the place as one value (see SourceLocation.h).
    Event(uint32_t id, const std::wstring& description, int type, const SourceLocation& at)
        : Event(id, description, type, at.file, at.line, at.function)
    {}
    Event(uint32_t id, const SourceLocation& at) : Event(id, at.file, at.line, at.function) {}
    Event(uint32_t id, const std::wstring& description, const SourceLocation& at)
        : Event(id, description, at.file, at.line, at.function)
    {}
    Event(uint32_t id, const Exception* exception, const std::wstring& description,
          const SourceLocation& at)
        : Event(id, exception, description, at.file, at.line, at.function)
    {}
    Event(uint32_t id, const Exception* exception, const SourceLocation& at)
        : Event(id, exception, at.file, at.line, at.function)
    {}
    virtual ~Event();

    uint32_t getID() const { return m_id; }
    int getType() const { return m_type; }
    const std::wstring& getDescription() const { return m_description; }
    const std::wstring& getDetails() const { return m_details; }
    const wchar_t* getFile() const { return m_file; }
    int getLine() const { return m_line; }
    const wchar_t* getFunction() const { return m_function; }
    bool getIncludeHeaders() const { return m_includeHeaders; }
    const Exception* getException() const { return m_exception; }

    // Appends " name:text".
    void addDetails(const std::wstring& name, const std::wstring& text);
    // Appends " name: number".
    void addDetails(const std::wstring& name, long long value);
    // Adds "System Error ID" and, when the system has a text for it,
    // "System Error Description" for the calling thread's last error.
    void addSystemErrorInfo();

    // Sets the include-headers flag and returns the rendered line, CR LF included.
    std::wstring toString(bool includeHeaders);

    // The eight-character label for a type: "Info    ", "Error   ", "Warning ".
    static const wchar_t* typeLabel(int type);

private:
    friend std::wostream& operator<<(std::wostream& out, const Event& e);

    uint32_t m_id;
    std::wstring m_description;
    std::wstring m_details;
    const Exception* m_exception = nullptr;
    int m_type;
    const wchar_t* m_file;
    int m_line;
    const wchar_t* m_function;
    bool m_includeHeaders = true;
};

// The rendered line: [time type id ]description details[ Exception: ...]CR LF
TCBASE_API std::wostream& operator<<(std::wostream& out, const Event& e);
