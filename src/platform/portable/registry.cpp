// Portable registry: keys below HKEY_LOCAL_MACHINE with typed values, names
// compared without regard to case. Minimal in-memory form; it lives for the
// process only.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/portable/portable_control.h"

namespace {

struct Value {
  uint32_t type;
  std::vector<uint8_t> data;
};
struct Key {
  std::map<std::string, Value> values;  // by lower-cased name
};
std::map<std::string, Key>& Keys() {  // by lower-cased path
  static std::map<std::string, Key> keys;
  return keys;
}

std::string Fold(const char* text) {
  std::string s = text == nullptr ? "" : text;
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

struct OpenKey {
  std::string path;
};

}  // namespace

namespace tarnix::platform {

long RegOpen(const char* path, uint32_t, RegistryKey* key) {
  *key = nullptr;
  if (portable::ShouldFail("RegOpen")) return kRegAccessDenied;
  std::string folded = Fold(path);
  if (Keys().find(folded) == Keys().end()) return kRegNotFound;
  *key = new OpenKey{folded};
  return kRegOk;
}

long RegCreate(const char* path, uint32_t, RegistryKey* key) {
  *key = nullptr;
  if (portable::ShouldFail("RegCreate")) return kRegAccessDenied;
  std::string folded = Fold(path);
  // Every key on the way exists afterwards.
  for (size_t pos = folded.find('\\'); pos != std::string::npos;
       pos = folded.find('\\', pos + 1)) {
    Keys()[folded.substr(0, pos)];
  }
  Keys()[folded];
  *key = new OpenKey{folded};
  return kRegOk;
}

long RegQuery(RegistryKey key, const char* name, uint32_t* type, void* data, uint32_t* size) {
  if (portable::ShouldFail("RegQuery")) return kRegAccessDenied;
  auto* open = static_cast<OpenKey*>(key);
  auto k = Keys().find(open->path);
  if (k == Keys().end()) return kRegNotFound;
  auto v = k->second.values.find(Fold(name));
  if (v == k->second.values.end()) return kRegNotFound;
  if (type != nullptr) *type = v->second.type;
  uint32_t bytes = static_cast<uint32_t>(v->second.data.size());
  if (data != nullptr && size != nullptr) {
    uint32_t n = std::min(*size, bytes);
    if (n > 0) std::memcpy(data, v->second.data.data(), n);
    if (*size < bytes) {
      *size = bytes;
      return 234;  // ERROR_MORE_DATA
    }
  }
  if (size != nullptr) *size = bytes;
  return kRegOk;
}

long RegSet(RegistryKey key, const char* name, uint32_t type, const void* data, uint32_t size) {
  if (portable::ShouldFail("RegSet")) return kRegAccessDenied;
  auto* open = static_cast<OpenKey*>(key);
  const auto* bytes = static_cast<const uint8_t*>(data);
  Keys()[open->path].values[Fold(name)] = Value{type, std::vector<uint8_t>(bytes, bytes + size)};
  return kRegOk;
}

void RegClose(RegistryKey key) { delete static_cast<OpenKey*>(key); }

}  // namespace tarnix::platform
