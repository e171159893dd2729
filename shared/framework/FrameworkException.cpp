#include "shared/framework/FrameworkException.h"

FrameworkException::FrameworkException(int id, const std::wstring& description, const wchar_t* file,
                                       int line, const wchar_t* function)
    : Exception(FrameworkKind, id, description, file, line, function)
{}

FrameworkException::~FrameworkException() = default;
