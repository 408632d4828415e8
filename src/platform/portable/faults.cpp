// Fault injection for the portable backend: one named operation at a time can
// be made to fail, so tests reach the module's recovery paths.
#include "platform/portable/faults.h"

#include <cstring>
#include <iterator>
#include <mutex>

namespace tarnix::platform::portable {
namespace {

struct Fault {
  int skip;   // successful calls left before failing
  int count;  // failures left; negative = forever
};

constexpr const char* kFaultNames[] = {
#define TARNIX_FAULT_NAME(name) #name,
    TARNIX_PORTABLE_FAULTS(TARNIX_FAULT_NAME)
#undef TARNIX_FAULT_NAME
};
static_assert(std::size(kFaultNames) == kTarnixFaultCount);

std::mutex g_mutex;
Fault g_faults[kTarnixFaultCount];  // all {0, 0}: nothing fails

}  // namespace

bool ShouldFail(TarnixFault fault) {
  if (fault < 0 || fault >= kTarnixFaultCount) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  Fault& f = g_faults[fault];
  if (f.skip > 0) {
    --f.skip;
    return false;
  }
  if (f.count == 0) return false;
  if (f.count > 0) --f.count;
  return true;
}

}  // namespace tarnix::platform::portable

// The control entries stand outside every namespace: a definition inside one
// would not take the export visibility that abi/portable_control.h declares.
extern "C" int TarnixPortable_FailOperation(const char* operation, int after, int count) {
  using namespace tarnix::platform::portable;
  if (operation == nullptr) return 0;
  for (int fault = 0; fault < kTarnixFaultCount; ++fault) {
    if (std::strcmp(kFaultNames[fault], operation) != 0) continue;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_faults[fault] = {after < 0 ? 0 : after, count};
    return 1;
  }
  return 0;
}

extern "C" void TarnixPortable_ClearFaults() {
  using namespace tarnix::platform::portable;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& fault : g_faults) fault = {0, 0};
}
