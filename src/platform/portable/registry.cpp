// Portable registry: the platform's registry calls on the persistent store of
// registry_store.h, with the access rights of each open key and the fault
// injection points of the portable backend.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "abi/portable_control.h"
#include "platform/platform.h"
#include "platform/portable/faults.h"
#include "platform/portable/registry_store.h"

namespace {

namespace store = tarnix::platform::portable::registry;

using tarnix::platform::Hive;

// Rights that change a key: setting values (part of KEY_ALL_ACCESS) and
// creating sub-keys.
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;

struct OpenKey {
  store::KeyId id;
  uint32_t access;
  Hive hive;
};

store::KeyId RootOf(Hive hive) {
  return hive == Hive::kCurrentUser ? store::kUserRoot : store::kMachineRoot;
}

// A user without administrator rights: every change to the machine's hive
// is refused, while its keys can still be read.
bool MachineWriteRefused(Hive hive) {
  return hive == Hive::kLocalMachine &&
         tarnix::platform::portable::ShouldFail(kTarnixFaultMachineWrite);
}

}  // namespace

namespace tarnix::platform {

long RegOpen(const char* path, uint32_t access, RegistryKey* key, Hive hive) {
  *key = nullptr;
  if (portable::ShouldFail(kTarnixFaultRegOpen)) return kRegAccessDenied;
  if ((access & (kKeySetValue | kKeyCreateSubKey)) != 0 && MachineWriteRefused(hive)) {
    return kRegAccessDenied;
  }
  store::KeyId id = 0;
  long status = store::FindKey(RootOf(hive), path, &id);
  if (status != kRegOk) return status;
  *key = new OpenKey{id, access, hive};
  return kRegOk;
}

long RegCreate(const char* path, uint32_t access, RegistryKey* key, Hive hive) {
  *key = nullptr;
  if (portable::ShouldFail(kTarnixFaultRegCreate)) return kRegAccessDenied;
  if (MachineWriteRefused(hive)) return kRegAccessDenied;
  store::KeyId id = 0;
  long status = store::CreateKey(RootOf(hive), path, &id);
  if (status != kRegOk) return status;
  *key = new OpenKey{id, access, hive};
  return kRegOk;
}

long RegQuery(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size) {
  if (portable::ShouldFail(kTarnixFaultRegQuery)) return kRegAccessDenied;
  if (key == nullptr) return 6;  // ERROR_INVALID_HANDLE
  uint32_t storedType = 0;
  std::vector<uint8_t> bytes;
  long status = store::ReadValue(static_cast<OpenKey*>(key)->id, name, &storedType, &bytes);
  if (status != kRegOk) return status;
  if (type != nullptr) *type = storedType;
  auto count = static_cast<uint32_t>(bytes.size());
  if (data != nullptr) {
    // The caller's buffer holds *size bytes; too small a buffer gets nothing
    // and learns the size needed.
    uint32_t capacity = size != nullptr ? *size : 0;
    if (capacity < count) {
      if (size != nullptr) *size = count;
      return store::kRegMoreData;
    }
    if (count > 0) std::memcpy(data, bytes.data(), count);
  }
  if (size != nullptr) *size = count;
  return kRegOk;
}

long RegSet(RegistryKey key, const char* name, uint32_t type, const void* data, uint32_t size) {
  if (portable::ShouldFail(kTarnixFaultRegSet)) return kRegAccessDenied;
  if (key == nullptr) return 6;  // ERROR_INVALID_HANDLE
  auto* open = static_cast<OpenKey*>(key);
  if ((open->access & kKeySetValue) == 0) return kRegAccessDenied;
  if (MachineWriteRefused(open->hive)) return kRegAccessDenied;
  return store::WriteValue(open->id, name, type, data, size);
}

void RegClose(RegistryKey key) { delete static_cast<OpenKey*>(key); }

void RegGroupBegin(RegGroupKind kind) { store::GroupBegin(kind == RegGroupKind::kWrite); }

long RegGroupEnd() { return store::GroupEnd(); }

void* AllocateValueBuffer(uint32_t bytes) {
  if (portable::ShouldFail(kTarnixFaultValueBuffer)) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void ReleaseValueBuffer(void* buffer) { std::free(buffer); }

}  // namespace tarnix::platform

extern "C" void TarnixPortable_SetRegistryPath(const char* path) {
  tarnix::platform::portable::registry::UsePath(path);
}

extern "C" void TarnixPortable_SetRegistryReadOnly(int readOnly) {
  tarnix::platform::portable::registry::ForceReadOnly(readOnly != 0);
}

extern "C" void TarnixPortable_SetRegistryScratch(int scratch) {
  tarnix::platform::portable::registry::UseScratch(scratch != 0);
}
