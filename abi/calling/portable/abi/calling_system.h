// The calling convention and export attribute of the native (portable)
// build (the build puts this folder on the path of native builds only; see
// abi/calling.h). There is one calling convention, so the attribute is
// empty; exports are the symbols of default visibility.
#pragma once

#define TARNIX_WINAPI
#define TARNIX_EXPORT __attribute__((visibility("default")))
// A second export name for an existing routine: one address, several names,
// just as the .def file does it for the DLL.
#define TARNIX_EXPORT_ALIAS(type, name, params, target) \
  extern "C" TARNIX_EXPORT type name params __attribute__((alias(#target)));
