// Watches tarnix.dll's global-memory calls from inside the process: its
// import entries for GlobalAlloc and GlobalFree are pointed at recorders that
// call the real functions, so a test sees every block the module asks for
// (flags, byte count, handle) and can make the system refuse one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace devicewine {

struct AllocationSeen {
  UINT flags;
  SIZE_T bytes;
  HGLOBAL handle;  // nullptr when refused
};

// Redirects the module's imports (once per process). False when the module
// does not import both functions from kernel32.
bool WatchGlobalMemory(HMODULE module);

// Calls recorded since the last take, oldest first.
std::vector<AllocationSeen> TakeAllocations();
std::vector<HGLOBAL> TakeFrees();

// Lets `skip` allocations through, then refuses the next one (GlobalAlloc
// answers nullptr without allocating).
void RefuseAllocationAfter(int skip);

}  // namespace devicewine
