#include "global_memory_watch.h"

#include <cstring>
#include <mutex>

namespace devicewine {

namespace {

using GlobalAllocFn = HGLOBAL(WINAPI*)(UINT, SIZE_T);
using GlobalFreeFn = HGLOBAL(WINAPI*)(HGLOBAL);

std::mutex g_mutex;
GlobalAllocFn g_realAlloc = nullptr;
GlobalFreeFn g_realFree = nullptr;
std::vector<AllocationSeen> g_allocations;
std::vector<HGLOBAL> g_frees;
int g_refuseAfter = -1;  // < 0: refuse nothing

HGLOBAL WINAPI RecordingGlobalAlloc(UINT flags, SIZE_T bytes) {
  bool refuse = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_refuseAfter == 0) refuse = true;
    if (g_refuseAfter >= 0) --g_refuseAfter;
  }
  HGLOBAL handle = refuse ? nullptr : g_realAlloc(flags, bytes);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_allocations.push_back(AllocationSeen{flags, bytes, handle});
  return handle;
}

HGLOBAL WINAPI RecordingGlobalFree(HGLOBAL handle) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_frees.push_back(handle);
  }
  return g_realFree(handle);
}

// The import address slot of `function` from `dll` in `module`, or nullptr.
void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
  for (; import->Name != 0; ++import) {
    if (_stricmp(reinterpret_cast<char*>(base + import->Name), dll) != 0) continue;
    DWORD namesRva =
        import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

void* Redirect(void** slot, void* replacement) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  void* original = *slot;
  *slot = replacement;
  VirtualProtect(slot, sizeof *slot, old, &old);
  return original;
}

}  // namespace

bool WatchGlobalMemory(HMODULE module) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_realAlloc != nullptr) return true;
  void** allocSlot = FindImportSlot(module, "kernel32.dll", "GlobalAlloc");
  void** freeSlot = FindImportSlot(module, "kernel32.dll", "GlobalFree");
  if (allocSlot == nullptr || freeSlot == nullptr) return false;
  g_realAlloc = reinterpret_cast<GlobalAllocFn>(
      Redirect(allocSlot, reinterpret_cast<void*>(&RecordingGlobalAlloc)));
  g_realFree = reinterpret_cast<GlobalFreeFn>(
      Redirect(freeSlot, reinterpret_cast<void*>(&RecordingGlobalFree)));
  return true;
}

std::vector<AllocationSeen> TakeAllocations() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<AllocationSeen> out;
  out.swap(g_allocations);
  return out;
}

std::vector<HGLOBAL> TakeFrees() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<HGLOBAL> out;
  out.swap(g_frees);
  return out;
}

void RefuseAllocationAfter(int skip) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_refuseAfter = skip;
}

}  // namespace devicewine
