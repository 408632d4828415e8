// The calling convention and export attribute on Windows (the build puts
// this folder on the path of Windows builds only; see abi/calling.h).
#pragma once

#define TARNIX_WINAPI __stdcall
// Windows exports come from the .def files the build writes from the entry
// tables; aliases are made there too.
#define TARNIX_EXPORT
#define TARNIX_EXPORT_ALIAS(type, name, params, target)
