// Calling conventions and export attributes shared by the module, the board
// library stand-in and the host exerciser.
//
// The host and the board library are 32-bit Windows code: every entry point
// crossing either boundary uses the standard Windows convention (the callee
// removes its arguments). On the native build the attribute is meaningless and
// expands to nothing.
#pragma once

#if defined(_WIN32)
#define TARNIX_WINAPI __stdcall
#define TARNIX_EXPORT
// Windows exports come from the .def files; aliases are made there too.
#define TARNIX_EXPORT_ALIAS(type, name, params, target)
#else
#define TARNIX_WINAPI
#define TARNIX_EXPORT __attribute__((visibility("default")))
// A second export name for an existing routine: one address, several names,
// just as the .def file does it for the DLL.
#define TARNIX_EXPORT_ALIAS(type, name, params, target) \
  extern "C" TARNIX_EXPORT type name params __attribute__((alias(#target)));
#endif
