// Coverage-guided fuzz target over the whole module: every input is a script
// of host calls (any of the 35 entry points, any arguments, any order),
// scribbles on the host's record, answers and faults of the board library,
// and failures of the system underneath. Each input starts from a freshly
// loaded module, so a crash reproduces from its input file alone.
//
// Sanitizers report every out-of-bounds access, leak and undefined
// operation; the checks below add what the host would notice: a buffer
// address it cannot read a block from, an unterminated text, global memory
// the module lost track of.
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
#include "fuzz_input.h"
#include "host_record.h"
#include "platform/platform.h"

// Large blocks fail as they would in the host's 32-bit address space, so a
// host-chosen size is refused by the allocator instead of exhausting the
// machine.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=32:detect_leaks=1";
}

namespace {

using tarnix::fuzz::FuzzInput;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "tarnix_fuzz: %s\n", what);
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
  if (text == nullptr) Fail("null text");
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
    std::fprintf(stderr, "tarnix_fuzz: block of %d samples in a buffer of %u\n", count, capacity);
    Fail("host buffer smaller than the block the record announces");
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
      std::fprintf(stderr, "tarnix_fuzz: code %d of %d is %d, the plain loop gives %d (%s)\n", i,
                   count, block[i], expected[i], tarnix::ConversionPathName());
      Fail("vector conversion differs from the plain loop");
    }
  }
}

void CallEntryPoint(uint8_t which, FuzzInput& in, Run& run) {
  switch (which % 35) {
    case 0:
      DRV_InitDevice(in.U8() % 8 == 0 ? nullptr : run.record.data());
      break;
    case 1:
      DRV_KillDevice();
      break;
    case 2:
      DRV_ShowError();
      break;
    case 3:
      DRV_TestStruct();
      break;
    case 4:
      DRV_StartMeas();
      break;
    case 5:
      DRV_StopMeas();
      break;
    case 6:
      DRV_SetInputBufferSize(in.I32());
      break;
    case 7:
      DRV_GetInputBufStatus();
      break;
    case 8:
      HostReadsBlock(DRV_GetInputBuf(), run);
      break;
    case 9:
      DRV_AdvanceInputBuf();
      break;
    case 10: {
      auto* info = static_cast<const uint8_t*>(DRV_GetMeasInfoEx());
      if (info == nullptr) Fail("no status record");
      volatile uint8_t sum = 0;
      for (std::size_t i = 0; i < sizeof(tarnix::MeasInfoEx); ++i) sum = sum + info[i];
      break;
    }
    case 11: {
      const int32_t c = in.I32();
      DRV_WriteAnalogOutput(c, in.I32());
      break;
    }
    case 12: {
      const int32_t p = in.I32();
      DRV_WriteDigitalOutput(p, in.I32());
      break;
    }
    case 13: {
      const int32_t c = in.I32();
      DRV_WriteCounterOutput(c, in.I32());
      break;
    }
    case 14:
      DRV_ReadDigitalInput(in.I32());
      break;
    case 15:
      DRV_ReadCounterInput(in.I32());
      break;
    case 16: {
      const int32_t a = in.I32();
      const char* text = DRV_ExplainGainCode(a, in.I32());
      if (text != nullptr) CheckText(text, nullptr);
      break;
    }
    case 17: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetScanList(a, b, in.I32());
      break;
    }
    case 18: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetAnalogOutputBufferMode(a, b, in.I32());
      break;
    }
    case 19: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetCounterOutputBufferMode(a, b, in.I32());
      break;
    }
    case 20: {
      const int32_t a = in.I32(), b = in.I32();
      DRV_SetDigitalOutputBufferMode(a, b, in.I32());
      break;
    }
    case 21:
      DRV_AdvanceAnalogOutputBuf();
      break;
    case 22:
      DRV_AdvanceCounterOutputBuf();
      break;
    case 23:
      DRV_AdvanceDigitalOutputBuf();
      break;
    case 24:
      DRV_GetAnalogOutputStatus();
      break;
    case 25:
      DRV_GetAnalogOutputBuf();
      break;
    case 26:
      DRV_GetCounterOutputBuf();
      break;
    case 27:
      DRV_GetCounterOutputStatus();
      break;
    case 28:
      DRV_GetDigitalOutputBuf();
      break;
    case 29:
      DRV_GetDigitalOutputStatus();
      break;
    case 30:
      DRV_GetHardwareDescription();
      break;
    case 31: {
      // Mostly the two dialogs the module has; sometimes anything.
      const uint8_t pick = in.U8();
      const int32_t selector = pick % 4 == 0 ? 1 : pick % 4 == 1 ? 99 : in.I32();
      DRV_ShowDialog(selector, in.I32());
      break;
    }
    case 32:
      run.registryUsed = true;
      DRV_NewWorksheet();
      break;
    case 33: {
      run.registryUsed = true;
      const std::vector<char> name = in.Text();
      DRV_LoadWorksheet(in.U8() % 16 == 0 ? nullptr : name.data());
      break;
    }
    default: {
      run.registryUsed = true;
      const std::vector<char> name = in.Text();
      DRV_SaveWorksheet(in.U8() % 16 == 0 ? nullptr : name.data());
      break;
    }
  }
}

// Back to a freshly loaded module with an untouched board library and
// system, keeping only the module's instance handle.
void ResetWorld(Run& run) {
  tarnix::DriverState& s = tarnix::g_state;
  tarnix::platform::GlobalRelease(s.hostBuffer);
  tarnix::platform::GlobalRelease(s.localBuffer);
  const int live = TarnixPortable_LiveBlocks();
  if (live != 0) {
    std::fprintf(stderr, "tarnix_fuzz: %d global blocks left behind\n", live);
    Fail("global memory lost");
  }
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
  // TARNIX_FUZZ_TRACE=1 shows the module's trace and boxes (to follow a
  // crashing input); otherwise they are only checked.
  const char* trace = std::getenv("TARNIX_FUZZ_TRACE");
  const int toStderr = trace != nullptr && *trace == '1' ? 1 : 0;
  TarnixPortable_SetTraceToStderr(toStderr);
  TarnixPortable_SetMessageBoxToStderr(toStderr);
  TarnixPortable_SetTraceHook(&CheckText, nullptr);
  TarnixPortable_SetMessageBoxHook(&CheckBox, nullptr);
  TarnixPortable_SetVirtualClock(1);
  // The registry lives in memory-backed storage: every save is synced.
  // scripts/fuzz.sh names a folder it removes afterwards.
  if (const char* dir = std::getenv("TARNIX_FUZZ_WORKDIR"); dir != nullptr && *dir != '\0') {
    g_registryDir = dir;
  } else {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    g_registryDir = std::string(base) + "/tarnix-fuzz-" + std::to_string(getpid());
  }
  mkdir(g_registryDir.c_str(), 0700);
  g_registryPath = g_registryDir + "/registry.sqlite3";
  unlink(g_registryPath.c_str());  // whatever an earlier run left
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
  for (int step = 0; step < 96 && !in.empty(); ++step) {
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
  previous.registryUsed = run.registryUsed;
  return 0;
}
