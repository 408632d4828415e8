// Loading tarnix.dll as a host does, and the host record.
#include <mutex>

#include "wine/support/harness.h"

namespace winetest {

std::string TarnixPath() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string exe(path, length);
  std::size_t slash = exe.find_last_of("\\/");
  std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  return dir + "\\tarnix.dll";
}

HMODULE Tarnix() {
  static std::mutex guard;
  static HMODULE module = nullptr;
  std::lock_guard<std::mutex> lock(guard);
  if (module == nullptr) {
    InstallDebugOutputHandler();
    std::string path = TarnixPath();
    module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
      throw std::runtime_error("LoadLibraryA(" + path + ") failed, error " +
                               std::to_string(GetLastError()));
    }
  }
  return module;
}

FARPROC GetExport(const char* name) {
  FARPROC address = GetProcAddress(Tarnix(), name);
  if (address == nullptr) {
    throw std::runtime_error(std::string("tarnix.dll does not export ") + name);
  }
  return address;
}

HostRecord::HostRecord() : bytes_(kBytes, 0) {
  Write<std::int16_t>(TARNIX_RECORD(structVersion), tarnix::kHostStructVersion);
}

std::string HostRecord::Text(std::size_t offset, std::size_t width) const {
  CheckRange(offset, width);
  const char* start = reinterpret_cast<const char*>(bytes_.data() + offset);
  std::size_t length = 0;
  while (length < width && start[length] != '\0') ++length;
  return std::string(start, length);
}

void HostRecord::CheckRange(std::size_t offset, std::size_t size) const {
  if (offset > bytes_.size() || size > bytes_.size() - offset) {
    throw std::out_of_range("host record access at " + std::to_string(offset) + "+" +
                            std::to_string(size) + " is outside its " +
                            std::to_string(bytes_.size()) + " bytes");
  }
}

}  // namespace winetest
