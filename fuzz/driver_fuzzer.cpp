// Coverage-guided fuzz target over the whole module: every input is a script
// of host calls (any entry point, any arguments, any order),
// scribbles on the host's record, answers and faults of the board library,
// and failures of the system underneath. Each input starts from a freshly
// loaded module, so a crash reproduces from its input file alone.
//
// Sanitizers report every out-of-bounds access, leak and undefined
// operation; the checks below add what the host would notice: a buffer
// address it cannot read a block from, an unterminated text, global memory
// the module lost track of, and after every input the module's own account
// of its buffers (fuzz/harness.h says how a finding is reported).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "abi/device_record.h"
#include "abi/driver_exports.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "acquire/convert.h"
#include "acquire/transfer.h"
#include "board_script.h"
#include "core/driver_state.h"
#include "core/process_entry.h"
#include "entry_numbers.h"
#include "fuzz_input.h"
#include "harness.h"
#include "host_record.h"
#include "platform/platform.h"

// Large blocks fail as they would in the host's 32-bit address space, so a
// host-chosen size is refused by the allocator instead of exhausting the
// machine.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=32:detect_leaks=1";
}

namespace {

using tarnix::fuzz::Entry;
using tarnix::fuzz::FuzzInput;

bool g_collect = false;
std::vector<std::string> g_findings;
// Set by a finding: the rest of the input is not run.
bool g_stopInput = false;
// Global blocks alive when the input started: none, unless an earlier input
// ended at a finding and left some behind (the replay goes on after it).
int g_liveAtStart = 0;

// Reports a finding. The fuzz target does not come back; the replay does,
// and the caller then leaves what it checked untouched.
void Fail(const std::string& what) {
  if (g_collect) {
    g_findings.push_back(what);
    g_stopInput = true;
    return;
  }
  std::fprintf(stderr, "tarnix_fuzz: %s\n", what.c_str());
  std::abort();
}

struct Run {
  std::vector<uint8_t> record = std::vector<uint8_t>(tarnix::fuzz::kHostRecordBytes, 0);
  bool registryUsed = false;
};

std::string g_registryDir;
std::string g_registryPath;

// Every trace line and message box text must be a terminated string.
void CheckText(const char* text, void*) {
  if (text == nullptr) return Fail("null text");
  volatile std::size_t length = std::strlen(text);
  (void)length;
}
void CheckBox(const char* text, const char* caption, uint32_t, void*) {
  CheckText(text, nullptr);
  CheckText(caption, nullptr);
}

template <typename T>
T RecordValue(const Run& run, std::size_t offset) {
  T value;
  std::memcpy(&value, run.record.data() + offset, sizeof value);
  return value;
}

// What the host does with a block address: reads blockSize samples from it.
// When a block was just converted, its codes must also be exactly what the
// plain per-sample loop makes of the raw samples, whichever vector code the
// processor chose.
void HostReadsBlock(const int16_t* block, const Run& run) {
  if (block == nullptr) return;
  const int32_t count = RecordValue<int32_t>(run, TARNIX_RECORD(blockSize));
  if (count <= 0) return;
  const uint32_t capacity = tarnix::platform::GlobalBlockSize(block) / sizeof(int16_t);
  if (static_cast<uint32_t>(count) > capacity) {
    return Fail("block of " + std::to_string(count) + " samples in a buffer of " +
                std::to_string(capacity) +
                ": host buffer smaller than the block the record announces");
  }
  volatile int32_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum = sum + block[i];

  const tarnix::DriverState& s = tarnix::g_state;
  if (s.localBuffer == nullptr || static_cast<uint32_t>(count) > s.localCapacity) return;
  const std::size_t entry0 = TARNIX_RECORD(adChannels);
  const tarnix::BlockScale scale = tarnix::ScaleForRange(
      RecordValue<double>(run, entry0 + TARNIX_OFFSET(ChannelEntry, minValue)),
      RecordValue<double>(run, entry0 + TARNIX_OFFSET(ChannelEntry, maxValue)));
  std::vector<int16_t> expected(static_cast<std::size_t>(count));
  tarnix::ConvertSamplesReference(s.localBuffer, expected.data(), static_cast<uint32_t>(count),
                                  scale);
  for (int32_t i = 0; i < count; ++i) {
    if (block[i] != expected[i]) {
      return Fail("code " + std::to_string(i) + " of " + std::to_string(count) + " is " +
                  std::to_string(block[i]) + ", the plain loop gives " +
                  std::to_string(expected[i]) + " (" + tarnix::ConversionPathName() +
                  "): vector conversion differs from the plain loop");
    }
  }
}

// A case missing for an entry stops the build.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
void CallEntryPoint(uint8_t which, FuzzInput& in, Run& run) {
  switch (tarnix::fuzz::EntryNumbered(which)) {
    case Entry::InitDevice:
      DRV_InitDevice(in.U8() % 8 == 0 ? nullptr : run.record.data());
      break;
    case Entry::KillDevice:
      DRV_KillDevice();
      break;
    case Entry::ShowError:
      DRV_ShowError();
      break;
    case Entry::TestStruct:
      DRV_TestStruct();
      break;
    case Entry::StartMeas:
      DRV_StartMeas();
      break;
    case Entry::StopMeas:
      DRV_StopMeas();
      break;
    case Entry::SetInputBufferSize:
      DRV_SetInputBufferSize(in.I32());
      break;
    case Entry::GetInputBufStatus:
      DRV_GetInputBufStatus();
      break;
    case Entry::GetInputBuf:
      HostReadsBlock(DRV_GetInputBuf(), run);
      break;
    case Entry::AdvanceInputBuf:
      DRV_AdvanceInputBuf();
      break;
    case Entry::GetMeasInfoEx: {
      auto* info = static_cast<const uint8_t*>(DRV_GetMeasInfoEx());
      if (info == nullptr) return Fail("no status record");
      volatile uint8_t sum = 0;
      for (std::size_t i = 0; i < sizeof(tarnix::MeasInfoEx); ++i) sum = sum + info[i];
      break;
    }
    case Entry::WriteAnalogOutput: {
      const int32_t c = in.I32();
      DRV_WriteAnalogOutput(c, in.I32());
      break;
    }
    case Entry::WriteDigitalOutput: {
      const int32_t p = in.I32();
      DRV_WriteDigitalOutput(p, in.I32());
      break;
    }
    case Entry::WriteCounterOutput: {
      const int32_t c = in.I32();
      DRV_WriteCounterOutput(c, in.I32());
      break;
    }
    case Entry::ReadDigitalInput:
      DRV_ReadDigitalInput(in.I32());
      break;
    case Entry::ReadCounterInput:
      DRV_ReadCounterInput(in.I32());
      break;
    case Entry::ExplainGainCode: {
      const int32_t a = in.I32();
      const char* text = DRV_ExplainGainCode(a, in.I32());
      if (text != nullptr) CheckText(text, nullptr);
      break;
    }
    case Entry::SetScanList: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetScanList(a, b, in.I32());
      break;
    }
    case Entry::SetAnalogOutputBufferMode: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetAnalogOutputBufferMode(a, b, in.I32());
      break;
    }
    case Entry::SetCounterOutputBufferMode: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetCounterOutputBufferMode(a, b, in.I32());
      break;
    }
    case Entry::SetDigitalOutputBufferMode: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetDigitalOutputBufferMode(a, b, in.I32());
      break;
    }
    case Entry::AdvanceAnalogOutputBuf:
      DRV_AdvanceAnalogOutputBuf();
      break;
    case Entry::AdvanceCounterOutputBuf:
      DRV_AdvanceCounterOutputBuf();
      break;
    case Entry::AdvanceDigitalOutputBuf:
      DRV_AdvanceDigitalOutputBuf();
      break;
    case Entry::GetAnalogOutputStatus:
      DRV_GetAnalogOutputStatus();
      break;
    case Entry::GetAnalogOutputBuf:
      DRV_GetAnalogOutputBuf();
      break;
    case Entry::GetCounterOutputBuf:
      DRV_GetCounterOutputBuf();
      break;
    case Entry::GetCounterOutputStatus:
      DRV_GetCounterOutputStatus();
      break;
    case Entry::GetDigitalOutputBuf:
      DRV_GetDigitalOutputBuf();
      break;
    case Entry::GetDigitalOutputStatus:
      DRV_GetDigitalOutputStatus();
      break;
    case Entry::GetHardwareDescription:
      DRV_GetHardwareDescription();
      break;
    case Entry::ShowDialog: {
      // Mostly the two dialogs the module has; sometimes anything.
      const uint8_t pick = in.U8();
      const int32_t selector = pick % 4 == 0 ? 1 : pick % 4 == 1 ? 99 : in.I32();
      DRV_ShowDialog(selector, in.I32());
      break;
    }
    case Entry::NewWorksheet:
      run.registryUsed = true;
      DRV_NewWorksheet();
      break;
    case Entry::LoadWorksheet: {
      run.registryUsed = true;
      const std::vector<char> name = in.Text();
      DRV_LoadWorksheet(in.U8() % 16 == 0 ? nullptr : name.data());
      break;
    }
    case Entry::SaveWorksheet: {
      run.registryUsed = true;
      const std::vector<char> name = in.Text();
      DRV_SaveWorksheet(in.U8() % 16 == 0 ? nullptr : name.data());
      break;
    }
  }
}
#pragma GCC diagnostic pop

// One buffer as the module accounts for it: null with no capacity, or a
// live global block of exactly the capacity it will fill.
void CheckBuffer(const char* name, const void* buffer, uint32_t capacity, uint32_t sampleBytes) {
  const std::string what = name;
  if (buffer == nullptr) {
    if (capacity != 0) Fail(what + " is gone but still counted " + std::to_string(capacity));
    return;
  }
  const uint32_t bytes = tarnix::platform::GlobalBlockSize(buffer);
  if (bytes == 0) return Fail(what + " is no live global block");
  if (static_cast<uint64_t>(capacity) * sampleBytes != bytes) {
    Fail(what + " counted " + std::to_string(capacity) + " samples in a block of " +
         std::to_string(bytes) + " bytes");
  }
}

// What must hold after every input, whatever it did: each buffer is what
// the module thinks it is, no other global memory is alive, and the only
// record the module may hold is the host's.
void CheckInvariants(const Run& run) {
  const tarnix::DriverState& s = tarnix::g_state;
  CheckBuffer("host buffer", s.hostBuffer, s.hostCapacity, sizeof(int16_t));
  CheckBuffer("local buffer", s.localBuffer, s.localCapacity, sizeof(int32_t));
  const int expected = (s.hostBuffer != nullptr ? 1 : 0) + (s.localBuffer != nullptr ? 1 : 0);
  const int live = TarnixPortable_LiveBlocks() - g_liveAtStart;
  if (live != expected) {
    Fail(std::to_string(live - expected) + " global blocks the module lost track of");
  }
  if (s.deviceRecord != nullptr && s.deviceRecord != run.record.data()) {
    Fail("the module holds a record the host never gave it");
  }
}

// Back to a freshly loaded module with an untouched board library and
// system, keeping only the module's instance handle.
void ResetWorld(Run& run) {
  tarnix::DriverState& s = tarnix::g_state;
  tarnix::platform::GlobalRelease(s.hostBuffer);
  tarnix::platform::GlobalRelease(s.localBuffer);
  g_liveAtStart = TarnixPortable_LiveBlocks();
  const tarnix::platform::ModuleHandle module = s.moduleHandle;
  s = tarnix::DriverState{};
  s.moduleHandle = module;

  VELQSIM_Reset();
  VELQSIM_SetClock(kVelqSimVirtual);
  tarnix::ForceConversionPath(nullptr);
  TarnixPortable_ClearFaults();
  TarnixPortable_ClearDialogScript();
  TarnixPortable_SetRegistryReadOnly(0);
  if (run.registryUsed) {
    // A store left by the previous input would make this one depend on it.
    TarnixPortable_SetRegistryPath(nullptr);
    unlink(g_registryPath.c_str());
    TarnixPortable_SetRegistryPath(g_registryPath.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The load hook of the shared object is not part of the static driver:
  // attach as the system would.
  static int instance;
  tarnix::ProcessEntry(&instance, tarnix::kProcessAttach);
  // Every reset of the simulated board starts on its virtual clock: a run
  // from a fixed seed must not depend on the wall clock.
  setenv("VELQSIM_CLOCK", "virtual", 1);
  // TARNIX_FUZZ_TRACE=1 shows the module's trace and boxes (to follow a
  // crashing input); otherwise they are only checked.
  const char* trace = std::getenv("TARNIX_FUZZ_TRACE");
  const int toStderr = trace != nullptr && *trace == '1' ? 1 : 0;
  TarnixPortable_SetTraceToStderr(toStderr);
  TarnixPortable_SetMessageBoxToStderr(toStderr);
  TarnixPortable_SetTraceHook(&CheckText, nullptr);
  TarnixPortable_SetMessageBoxHook(&CheckBox, nullptr);
  TarnixPortable_SetVirtualClock(1);
  // The registry store of every input lives in the build folder: the folder
  // scripts/fuzz.sh or the replay test names, else one beside the program.
  if (const char* dir = std::getenv("TARNIX_FUZZ_WORKDIR"); dir != nullptr && *dir != '\0') {
    g_registryDir = dir;
  } else {
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string bin(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    const std::size_t slash = bin.find_last_of('/');
    bin = slash == std::string::npos ? std::string(".") : bin.substr(0, slash);
    g_registryDir = bin + "/fuzz-work-" + std::to_string(getpid());
  }
  mkdir(g_registryDir.c_str(), 0700);
  g_registryPath = g_registryDir + "/registry.sqlite3";
  unlink(g_registryPath.c_str());  // whatever an earlier run left
  TarnixPortable_SetRegistryScratch(1);
  TarnixPortable_SetRegistryPath(g_registryPath.c_str());
  std::atexit([] {
    TarnixPortable_SetRegistryPath(nullptr);
    unlink(g_registryPath.c_str());
    rmdir(g_registryDir.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Run previous;  // what the last input left behind
  ResetWorld(previous);
  Run run;
  // The host fills in the version before anything else.
  const int16_t version = tarnix::kHostStructVersion;
  std::memcpy(run.record.data() + TARNIX_RECORD(structVersion), &version, sizeof version);

  FuzzInput in(data, size);
  g_stopInput = false;
  for (int step = 0; step < 96 && !in.empty() && !g_stopInput; ++step) {
    const uint8_t op = in.U8();
    if (op < 0x80) {
      CallEntryPoint(op, in, run);
    } else if (op < 0xA0) {
      tarnix::fuzz::WriteRecordField(run.record.data(), in);
    } else if (op < 0xA8) {
      tarnix::fuzz::WriteRecordBytes(run.record.data(), in);
    } else {
      tarnix::fuzz::RunBoardScriptStep(static_cast<uint8_t>(op - 0xA8), in, run.registryUsed);
    }
  }
  if (!g_stopInput) CheckInvariants(run);
  previous.registryUsed = run.registryUsed;
  return 0;
}

namespace tarnix::fuzz {

void CollectFindings(bool collect) { g_collect = collect; }

std::vector<std::string> TakeFindings() {
  std::vector<std::string> taken;
  taken.swap(g_findings);
  return taken;
}

}  // namespace tarnix::fuzz
