#include "board_script.h"

#include <cstdio>
#include <string>
#include <vector>

#include "abi/board_api.h"
#include "abi/portable_control.h"
#include "abi/velqsim.h"
#include "acquire/convert.h"
#include "core/driver_state.h"
#include "platform/platform.h"
#include "ui/resources.h"

namespace tarnix::fuzz {

namespace {

// The library itself, the two boards of the default world, the board the
// module uses right now, and nonsense.
int32_t PickSerial(FuzzInput& in) {
  switch (in.U8() % 6) {
    case 0:
      return velq::kLibrarySerial;
    case 1:
      return 20130017;
    case 2:
      return 20140342;
    case 3:
      return g_state.serialNo;
    case 4:
      return 0;
    default:
      return -1;
  }
}

constexpr int32_t kQueryCodes[] = {
    velq::kVersionMajor,      velq::kVersionMinor,      velq::kVersionBuild,
    velq::kOperatingSystem,   velq::kBoardCount,        velq::kBoardType,
    velq::kRevision,          velq::kDatePart12,        velq::kDatePart13,
    velq::kDatePart14,        velq::kBoardSerial,       velq::kBoardVersionMajor,
    velq::kBoardVersionMinor, velq::kBoardVersionBuild, velq::kMaxAdRate,
    velq::kAdState,           velq::kOverrunA,          velq::kOverrunB,
    velq::kSamplesWaiting,    velq::kGainCount,         velq::kGainSpan,
    velq::kRangeCount,        velq::kRangeKind,         velq::kAnalogOutputs,
    velq::kCounters,          velq::kDigitalPorts};

int32_t PickQueryCode(FuzzInput& in) {
  const uint8_t pick = in.U8();
  if (pick < 240) return kQueryCodes[pick % std::size(kQueryCodes)];
  return in.I32();
}

// Answers chosen among what breaks arithmetic and indexing.
int32_t PickAnswer(FuzzInput& in) {
  const uint8_t pick = in.U8();
  const int32_t raw = in.I32();
  switch (pick % 8) {
    case 0:
      return INT32_MIN;
    case 1:
      return INT32_MAX;
    case 2:
      return -1;
    case 3:
      return 0;
    case 4:
      return static_cast<int8_t>(raw);  // small counts and indices
    case 5:
      return raw & 0x3F;  // just past every table
    default:
      return raw;
  }
}

constexpr const char* kLibraryFunctions[] = {"VELQ_Query",     "VELQ_StrBoardName", "VELQ_StrError",
                                             "VELQ_ADConfig",  "VELQ_ADStart",      "VELQ_ADStop",
                                             "VELQ_ADGetData", "VELQ_DAWrite",      "VELQ_DioWrite",
                                             "VELQ_CTWrite",   "VELQ_DioRead",      "VELQ_CTRead"};

constexpr const char* kSystemOperations[] = {
    "GlobalAllocate", "RegOpen", "RegCreate", "RegQuery", "RegSet", "ValueBuffer", "RunDialog"};

// Samples the next VELQ_ADGetData stores, and what it claims to have
// delivered (more or fewer than asked, or negative).
void Feed(FuzzInput& in) {
  const int32_t count = in.U16() % 4097;
  const uint8_t pattern = in.U8();
  const int32_t value = in.I32();
  const int32_t delivered = in.U8() % 4 == 0 ? in.I32() : count;
  std::vector<int32_t> samples(static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    switch (pattern % 4) {
      case 0:
        samples[i] = value;
        break;
      case 1:
        samples[i] = (i & 1) ? INT32_MAX : INT32_MIN;
        break;
      case 2:
        samples[i] = static_cast<int32_t>(static_cast<uint32_t>(value) * static_cast<uint32_t>(i));
        break;
      default:
        samples[i] = static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
        break;
    }
  }
  VELQSIM_FeedSamples(samples.data(), count, delivered);
}

// Queues a few actions of the user for the next dialog.
void ScriptUser(FuzzInput& in) {
  static constexpr int kTemplates[] = {0, IDD_SETUP, IDD_ABOUT, IDD_SPLASH};
  static constexpr int kControls[] = {
      IDC_BOARD_LIST, IDC_CLOCK_LIST, IDC_RANGE_LIST, IDC_GAIN_LIST, IDC_MODE_LIST, 1, 2};
  const int templateId = kTemplates[in.U8() % std::size(kTemplates)];
  const int actions = in.U8() % 6 + 1;
  std::string script;
  for (int i = 0; i < actions; ++i) {
    const uint8_t kind = in.U8();
    const int control = kControls[in.U8() % std::size(kControls)];
    const int32_t value = in.I32();
    char action[64];
    switch (kind % 7) {
      case 0:
        std::snprintf(action, sizeof action, "pick %d %d;", control, value % 40);
        break;
      case 1:
        std::snprintf(action, sizeof action, "select %d %d;", control, value);
        break;
      case 2:
        std::snprintf(action, sizeof action, "ok;");
        break;
      case 3:
        std::snprintf(action, sizeof action, "cancel;");
        break;
      case 4:
        std::snprintf(action, sizeof action, "command %u;", static_cast<uint32_t>(value));
        break;
      case 5:
        std::snprintf(
            action, sizeof action, "command %u;",
            (1u << 16) * (static_cast<uint32_t>(value) % 10) + static_cast<uint32_t>(control));
        break;
      default:
        std::snprintf(action, sizeof action, "wait %u;", static_cast<uint32_t>(value) % 5000);
        break;
    }
    script += action;
  }
  TarnixPortable_ScriptDialog(templateId, script.c_str());
}

// Another tool stores a value of any type and length under the worksheet
// the seeds use, as a user editing the registry might.
void ForeignRegistryValue(FuzzInput& in) {
  static constexpr const char* kNames[] = {"Serialno", "SerialNo", "ClockSource", "Gain",
                                           "Range",    "Mode",     "Other"};
  const char* name = kNames[in.U8() % std::size(kNames)];
  const uint8_t typePick = in.U8();
  const uint32_t type = typePick < 200 ? typePick % 12 : in.U32();
  uint8_t data[8];
  const uint32_t length = in.U8() % (sizeof data + 1);
  in.Bytes(data, length);
  platform::RegistryKey key = nullptr;
  if (platform::RegCreate("Software\\Morvane\\VELQ\\Sorvik\\Default", platform::kKeyAllAccess,
                          &key) != platform::kRegOk) {
    return;
  }
  platform::RegSet(key, name, type, data, length);
  platform::RegClose(key);
}

}  // namespace

void RunBoardScriptStep(uint8_t op, FuzzInput& in, bool& registryUsed) {
  switch (op % 16) {
    case 0: {
      const int32_t serial = PickSerial(in);
      const int32_t code = PickQueryCode(in);
      const int32_t param = in.U8() % 4 == 0 ? -1 : static_cast<int32_t>(in.U8() % 40);
      VELQSIM_SetAnswer(serial, code, param, PickAnswer(in));
      break;
    }
    case 1: {
      const char* function = kLibraryFunctions[in.U8() % std::size(kLibraryFunctions)];
      const int32_t status = in.U8() % 2 == 0 ? -static_cast<int32_t>(in.U8()) - 1 : in.I32();
      VELQSIM_FailCall(function, status, in.I8());
      break;
    }
    case 2:
      Feed(in);
      break;
    case 3: {
      const int32_t serial = PickSerial(in);
      const int32_t which = in.U8() % 2 == 0 ? velq::kOverrunA : velq::kOverrunB;
      VELQSIM_ForceOverrun(serial, which, in.I32());
      break;
    }
    case 4:
      VELQSIM_SetClock(in.U8() % 2 == 0 ? kVelqSimVirtual : kVelqSimUnthrottled);
      break;
    case 5: {
      // Microseconds up to an hour, or anything (negative included).
      const uint8_t pick = in.U8();
      const int64_t us = pick % 4 == 0 ? static_cast<int64_t>(in.U64())
                                       : static_cast<int64_t>(in.U32() % 3600000000u);
      VELQSIM_AdvanceClock(us);
      break;
    }
    case 6: {
      const int32_t serial = PickSerial(in);
      VELQSIM_PulseExternalClock(serial, in.I32() % 100000);
      break;
    }
    case 7: {
      const int32_t serial = PickSerial(in);
      VELQSIM_SetFifoCapacity(serial, PickAnswer(in));
      break;
    }
    case 8: {
      const int32_t serial = PickSerial(in);
      const std::vector<char> name = in.Text();
      VELQSIM_SetBoardName(serial, name.data());
      break;
    }
    case 9: {
      const char* operation = kSystemOperations[in.U8() % std::size(kSystemOperations)];
      const int after = in.U8() % 8;
      TarnixPortable_FailOperation(operation, after, in.I8());
      break;
    }
    case 10:
      ScriptUser(in);
      break;
    case 11:
      registryUsed = true;
      TarnixPortable_SetRegistryReadOnly(in.U8() & 1);
      break;
    case 12: {
      const int32_t serial = PickSerial(in);
      const int32_t channel = in.U8() % 40;
      const int32_t kind = in.U8() % 6;
      const int32_t amplitude = in.I32(), offset = in.I32();
      VELQSIM_SetSignal(serial, channel, kind, amplitude, offset, in.I32());
      break;
    }
    case 13: {
      // Every conversion path the processor has, not only the fastest
      // (the legacy and the VEX-encoded SSE2 kernel both); one it lacks
      // leaves the choice as it was.
      const auto& paths = tarnix::kConversionPaths;
      tarnix::ForceConversionPath(paths[in.U8() % std::size(paths)]);
      break;
    }
    case 14:
      registryUsed = true;
      ForeignRegistryValue(in);
      break;
    default: {
      // A broken profile makes the library refuse every call.
      const std::vector<char> json = in.Text();
      VELQSIM_LoadProfileText(json.data());
      break;
    }
  }
}

}  // namespace tarnix::fuzz
