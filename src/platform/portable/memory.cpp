// Portable global memory: fixed, zero-filled blocks from the C++ heap that can
// be found again from their address, as the Windows global heap allows.
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "abi/portable_control.h"
#include "platform/platform.h"
#include "platform/portable/faults.h"

namespace {

std::mutex g_mutex;
std::unordered_map<const void*, uint32_t>& Blocks() {
  static std::unordered_map<const void*, uint32_t> blocks;
  return blocks;
}

}  // namespace

namespace tarnix::platform {

void* GlobalAllocate(uint32_t bytes) {
  if (portable::ShouldFail(kTarnixFaultGlobalAllocate)) return nullptr;
  void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (block == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  Blocks()[block] = bytes;
  return block;
}

bool GlobalRelease(void* address) {
  if (address == nullptr) return false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Blocks().erase(address) == 0) return false;
  }
  std::free(address);
  return true;
}

uint32_t GlobalBlockSize(const void* address) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = Blocks().find(address);
  return it == Blocks().end() ? 0 : it->second;
}

}  // namespace tarnix::platform

extern "C" int TarnixPortable_LiveBlocks() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return static_cast<int>(Blocks().size());
}
