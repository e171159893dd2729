#pragma once
// Every exception and event records where it was raised. TC_AT(function)
// expands to the file, line and qualified function arguments that the
// Exception and Event constructors take:
//
//   throw CommsException(1050601, L"Unsupported Message Version",
//                        TC_AT(L"Msg::fromByteArray"));
//
// The build maps the source root away, so files read "base/Msg.cpp".

#define TC_WIDEN_IMPL(x) L##x
#define TC_WIDEN(x) TC_WIDEN_IMPL(x)
#define TC_SOURCE_FILE TC_WIDEN(__FILE__)
#define TC_AT(function) TC_SOURCE_FILE, __LINE__, function
