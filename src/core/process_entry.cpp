#include "core/process_entry.h"

#include "core/driver_state.h"
#include "core/trace.h"

namespace tarnix {

int ProcessEntry(platform::ModuleHandle instance, uint32_t reason) {
  Trace("TARNIX:DllMain\n");
  switch (reason) {
    case kProcessAttach:
      // A second attach would mean a second host in one process image.
      if (g_state.moduleHandle != nullptr) return 0;
      g_state.moduleHandle = instance;
      Trace("TARNIX:DllMain - Starting\n");
      return 1;
    case kProcessDetach:
      // Nothing is released: the host owns the record, and the buffers go
      // with the process.
      Trace("TARNIX:DllMain - Stopping\n");
      return 1;
    default:
      return 1;
  }
}

}  // namespace tarnix
