#include "base/Exception.h"

// Natively there is no structured exception to translate: the mode is read
// so that callers see the configured value, and no handler is installed.

void Exception::watchCallingThread(bool) {}

void Exception::addRecordParameters(Exception&, _EXCEPTION_POINTERS*) {}
