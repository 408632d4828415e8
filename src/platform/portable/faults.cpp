// Fault injection for the portable backend: one named operation at a time can
// be made to fail, so tests reach the module's recovery paths.
#include <map>
#include <mutex>
#include <string>

#include "platform/portable/portable_control.h"

namespace tarnix::platform::portable {
namespace {

struct Fault {
  int skip;   // successful calls left before failing
  int count;  // failures left; negative = forever
};

std::mutex g_mutex;
std::map<std::string, Fault>& Faults() {
  static std::map<std::string, Fault> faults;
  return faults;
}

}  // namespace

bool ShouldFail(const char* operation) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = Faults().find(operation);
  if (it == Faults().end()) return false;
  Fault& f = it->second;
  if (f.skip > 0) {
    --f.skip;
    return false;
  }
  if (f.count == 0) return false;
  if (f.count > 0) --f.count;
  return true;
}

}  // namespace tarnix::platform::portable

extern "C" void TarnixPortable_FailOperation(const char* operation, int after, int count) {
  if (operation == nullptr) return;
  std::lock_guard<std::mutex> lock(tarnix::platform::portable::g_mutex);
  tarnix::platform::portable::Faults()[operation] = {after < 0 ? 0 : after, count};
}

extern "C" void TarnixPortable_ClearFaults() {
  std::lock_guard<std::mutex> lock(tarnix::platform::portable::g_mutex);
  tarnix::platform::portable::Faults().clear();
}
