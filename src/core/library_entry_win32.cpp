// The DLL's entry routine: the system calls it with the module's instance and
// a reason code on process and thread attach and detach. Part of tarnix.dll
// only (library_entry_portable.cpp does the same for libtarnix.so).
#include <cstdint>

#include "abi/calling.h"
#include "core/process_entry.h"

// BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID), spelled without the system's
// headers, which the module's own code does not include.
extern "C" int TARNIX_WINAPI DllMain(void* instance, unsigned long reason, void*) {
  return tarnix::ProcessEntry(instance, static_cast<uint32_t>(reason));
}
