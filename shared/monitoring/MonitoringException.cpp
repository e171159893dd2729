#include "shared/monitoring/MonitoringException.h"

MonitoringException::MonitoringException(int id, const std::wstring& description,
                                         const wchar_t* file, int line, const wchar_t* function)
    : Exception(MonitoringKind, id, description, file, line, function)
{}

MonitoringException::~MonitoringException() = default;
