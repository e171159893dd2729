#include "base/ExceptionPlatform.h"

// Natively there is no structured exception to translate: the mode is read
// so that callers see the configured value, and no handler is installed.

void exceptionplatform::watchCallingThread(bool) {}

void exceptionplatform::addRecordParameters(Exception&, _EXCEPTION_POINTERS*) {}
