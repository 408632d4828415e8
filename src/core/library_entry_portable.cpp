// The shared object's load and unload run the module's entry routine, as the
// system calls DllMain for the DLL (library_entry_win32.cpp). Part of
// libtarnix.so only: the native tests link the driver without it and call
// ProcessEntry themselves.
#include <dlfcn.h>

#include "core/process_entry.h"

namespace {

// The instance handle natively is the shared object's load address.
void* OwnModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModule), &info) != 0) return info.dli_fbase;
  return reinterpret_cast<void*>(&OwnModule);
}

__attribute__((constructor)) void OnLoad() {
  tarnix::ProcessEntry(OwnModule(), tarnix::kProcessAttach);
}

__attribute__((destructor)) void OnUnload() {
  tarnix::ProcessEntry(OwnModule(), tarnix::kProcessDetach);
}

}  // namespace
