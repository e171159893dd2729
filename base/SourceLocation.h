#pragma once
// Every exception and event records where it was raised. TC_AT(function)
// expands to the file, line and qualified function arguments that the
// Exception and Event constructors take:
//
//   throw CommsException(1050601, L"Unsupported Message Version",
//                        TC_AT(L"Msg::fromByteArray"));
//
// TC_HERE(function) makes the same as one SourceLocation value, which a
// helper that raises or traces on its caller's behalf takes as a parameter,
// so that what it raises names the caller's line rather than its own:
//
//   void traceFailure(uint32_t id, const SourceLocation& at) {
//       Logger::Trace(Event(id, L"...", at));
//   }
//   traceFailure(1051301, TC_HERE(L"ComponentInstaller::installComponent"));
//
// The build maps the source root away, so files read "base/Msg.cpp".

#define TC_WIDEN_IMPL(x) L##x
#define TC_WIDEN(x) TC_WIDEN_IMPL(x)
#define TC_SOURCE_FILE TC_WIDEN(__FILE__)
#define TC_AT(function) TC_SOURCE_FILE, __LINE__, function
#define TC_HERE(function) (SourceLocation{TC_SOURCE_FILE, __LINE__, function})

// A place in the source: static texts, so the value is cheap to pass on.
struct SourceLocation {
    const wchar_t* file;
    int line;
    const wchar_t* function;
};
