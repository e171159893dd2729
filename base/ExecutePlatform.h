#pragma once
// The operating-system side of Execute.
#include <string>

namespace executeplatform {

// Starts program with the argument text, hidden, and waits up to
// waitMilliseconds: 1 ended in time, 0 still running, -1 not started.
int startAndWait(const std::wstring& program, const std::wstring& arguments, unsigned long waitMilliseconds);

} // namespace executeplatform
