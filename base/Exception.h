#pragma once
#include <ostream>
#include <string>

#include "base/SourceLocation.h"
#include "base/TCBaseApi.h"

struct _EXCEPTION_POINTERS;

// A failure that makes an operation impossible. Thrown by value, caught by
// reference. Every throw site has its own seven-digit id and English text.
class TCBASE_API Exception {
public:
    enum Kind { PlainKind = 0, SystemKind = 1, CommsKind = 2 };

    Exception(int id, const std::wstring& description, const wchar_t* file, int line,
              const wchar_t* function);
    Exception(int kind, int id, const std::wstring& description, const wchar_t* file, int line,
              const wchar_t* function);
    Exception(int id, const std::wstring& description, const SourceLocation& at)
        : Exception(id, description, at.file, at.line, at.function)
    {}
    Exception(int kind, int id, const std::wstring& description, const SourceLocation& at)
        : Exception(kind, id, description, at.file, at.line, at.function)
    {}
    // For a translated processor exception: the trace is taken from the
    // faulting context rather than from the current thread.
    Exception(int id, const std::wstring& description, _EXCEPTION_POINTERS* pointers,
              const wchar_t* file, int line, const wchar_t* function);
    virtual ~Exception();

    int getExceptionType() const { return m_kind; }
    int getExceptionID() const { return m_id; }
    const std::wstring& getDescription() const { return m_description; }
    const wchar_t* getFile() const { return m_file; }
    int getLine() const { return m_line; }
    const wchar_t* getFunction() const { return m_function; }
    const std::wstring& getStackTrace() const { return m_stackTrace; }
    int getParameterCount() const { return m_parameterCount; }

    void setExceptionType(int kind) { m_kind = kind; }
    void setExceptionID(int id) { m_id = id; }
    void setDescription(const std::wstring& description) { m_description = description; }

    // Appends " (Param n: text) " to the description, n counting from 1.
    void addParameter(const std::wstring& text);
    void addParameter(int value);
    // For a non-zero code appends " : " + the system's text for it + " (" + code + ")".
    void addErrorInfo(unsigned long code);

    // "Type: k ID: i Desc: d StackTrace: s"
    std::wstring toString() const;

    // Reads the "Win32ExceptionHandler" mode and, when it is 1 or more,
    // installs the processor-exception handler for the process.
    static void registerWin32ExceptionHandler();
    // The mode read by the last registerWin32ExceptionHandler (default 1).
    static int getWin32ExceptionMode();
    // Turns a processor exception into Exception 1051401 and traces event
    // 1051402 with it; returns the exception it made. See win32/Exception.cpp
    // for what happens to the fault afterwards.
    static Exception translate(unsigned int code, _EXCEPTION_POINTERS* pointers);

    // "0x" followed by the value in lower-case hexadecimal.
    static std::wstring hexText(unsigned long long value);

private:
    // Every public constructor comes here with the thread's last system
    // error, taken before anything else runs: capturing the stack calls the
    // system, which resets the error the throw site is about to read. The
    // error is put back once the trace is taken.
    Exception(unsigned long lastError, int kind, int id, const std::wstring& description,
              _EXCEPTION_POINTERS* pointers, const wchar_t* file, int line,
              const wchar_t* function);
    void captureStackTrace(_EXCEPTION_POINTERS* pointers);

    // Operating-system half, in win32/Exception.cpp and posix/Exception.cpp.
    // Marks the calling thread for fault tracing (or unmarks it) and installs
    // the process's fault handler once. Natively there is nothing to install.
    static void watchCallingThread(bool watch);
    // Adds the fault record's flags, address and parameters to e.
    static void addRecordParameters(Exception& e, _EXCEPTION_POINTERS* pointers);

    int m_kind;
    int m_id;
    std::wstring m_description;
    const wchar_t* m_file;
    int m_line;
    const wchar_t* m_function;
    int m_parameterCount = 0;
    std::wstring m_stackTrace;
};

TCBASE_API std::wostream& operator<<(std::wostream& out, const Exception& e);

// An operating-system call failed.
class TCBASE_API SystemException : public Exception {
public:
    SystemException(int id, const std::wstring& description, const wchar_t* file, int line,
                    const wchar_t* function)
        : Exception(SystemKind, id, description, file, line, function)
    {}
    SystemException(int id, const std::wstring& description, const SourceLocation& at)
        : Exception(SystemKind, id, description, at)
    {}
    // addErrorInfo with the calling thread's last system error code. The
    // constructor leaves that error as the throw site's failed call set it.
    void addSystemErrorInfo();
};

// A communication or message-format failure.
class TCBASE_API CommsException : public Exception {
public:
    CommsException(int id, const std::wstring& description, const wchar_t* file, int line,
                   const wchar_t* function)
        : Exception(CommsKind, id, description, file, line, function)
    {}
    CommsException(int id, const std::wstring& description, const SourceLocation& at)
        : Exception(CommsKind, id, description, at)
    {}
};
