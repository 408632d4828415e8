// Worksheet settings: the board selection and the four acquisition settings
// stored per worksheet in the registry, one key per worksheet name below the
// module's base key in the local-machine hive.
//
// Registry failures never reach the host: every export answers 1 and only the
// trace tells what went wrong.
#include "settings/worksheet.h"

#include <cstdio>
#include <cstring>

#include "core/driver_state.h"
#include "core/trace.h"
#include "describe/fill_info.h"
#include "platform/platform.h"

namespace tarnix {
namespace {

constexpr char kBaseKey[] = "Software\\Morvane\\VELQ\\Sorvik";
constexpr std::size_t kKeyBufferBytes = 256;  // key path and "Path" trace

// Composes "<base>\<name>" into `key`. A name that would not fit whole is
// refused rather than cut: a shortened key could be another worksheet's, and
// loading or saving it would mix two worksheets' settings. A missing name is
// refused too.
bool ComposeWorksheetKey(const char* name, char (&key)[kKeyBufferBytes]) {
  if (name == nullptr) {
    std::snprintf(key, sizeof key, "%s\\", kBaseKey);
    return false;
  }
  int length = std::snprintf(key, sizeof key, "%s\\%s", kBaseKey, name);
  return length >= 0 && static_cast<std::size_t>(length) < sizeof key;
}

// The five settings in their stored order. The serial number is read as
// "Serialno" and written as "SerialNo"; value names compare without regard
// to case, so both address one value.
struct Setting {
  const char* readName;
  const char* writeName;
  int32_t DriverState::*field;
};
constexpr Setting kSettings[] = {
    {"Serialno", "SerialNo", &DriverState::serialNo},
    {"ClockSource", "ClockSource", &DriverState::clockSource},
    {"Gain", "Gain", &DriverState::gain},
    {"Range", "Range", &DriverState::range},
    {"Mode", "Mode", &DriverState::mode},
};

// "%ld" wants a long, whose width differs between the two builds.
void TraceSettings(const char* prefix) {
  char line[kKeyBufferBytes];
  std::snprintf(line, sizeof line,
                "%s - SerialNo = %ld, ClkSrc = %ld, Gain = %ld, Range = %ld, Mode = %ld", prefix,
                static_cast<long>(g_state.serialNo), static_cast<long>(g_state.clockSource),
                static_cast<long>(g_state.gain), static_cast<long>(g_state.range),
                static_cast<long>(g_state.mode));
  Trace(line);
}

void TraceRefused(const char* prefix) {
  char line[100];
  std::snprintf(line, sizeof line, "%s - Name refused, registry not used\n", prefix);
  Trace(line);
}

}  // namespace

int32_t NewWorksheet() {
  Trace("TARNIX:DRV_NewWorksheet\n");
  return 1;
}

int32_t LoadWorksheet(const char* name) {
  static constexpr char kPrefix[] = "TARNIX:DRV_LoadWorksheet";
  char key[kKeyBufferBytes];
  bool usable = ComposeWorksheetKey(name, key);
  TraceF<kKeyBufferBytes>("TARNIX:DRV_LoadWorksheet - Path = %s", key);

  if (usable) {
    for (const Setting& setting : kSettings) {
      // Each read stands alone: a failure keeps that field as it was.
      RegReadNumber(key, setting.readName, &(g_state.*setting.field));
    }
  } else {
    // Such a worksheet can never have been saved: it loads as one that was
    // not, keeping the settings as they are.
    TraceRefused(kPrefix);
  }
  TraceSettings(kPrefix);

  // The description is rebuilt from the loaded board, 0 included, but only
  // into a record the host has handed over.
  if (Record().valid()) FillInfoBoard();
  return 1;
}

int32_t SaveWorksheet(const char* name) {
  static constexpr char kPrefix[] = "TARNIX:DRV_SaveWorksheet";
  char key[kKeyBufferBytes];
  bool usable = ComposeWorksheetKey(name, key);
  TraceF<kKeyBufferBytes>("TARNIX:DRV_SaveWorksheet - Path = %s", key);

  if (usable) {
    for (const Setting& setting : kSettings) {
      RegWriteNumber(key, setting.writeName, g_state.*setting.field);
    }
  } else {
    TraceRefused(kPrefix);
  }
  TraceSettings(kPrefix);
  return 1;
}

bool RegReadNumber(const char* keyPath, const char* valueName, int32_t* target) {
  platform::RegistryKey key = nullptr;
  long status = platform::RegOpen(keyPath, platform::kKeyQueryValue, &key);
  if (status != platform::kRegOk) {
    TraceF<100>("TARNIX:RegReadNumber - Failed to create/open key (%ld)\n", status);
    return false;
  }

  uint32_t type = 0;
  uint32_t size = 0;
  status = platform::RegQuery(key, valueName, &type, nullptr, &size);
  // Data shorter than a number is no number: it counts as a failed read and
  // nothing beyond the data is looked at.
  if (status != platform::kRegOk || size < 4) {
    Trace("TARNIX:RegReadNumber - Failed to read key\n");
    platform::RegClose(key);
    return false;
  }

  // The value's whole data is fetched (a shorter buffer would leave it
  // undefined), whatever its type; the number is its first four bytes.
  auto* data = static_cast<uint8_t*>(platform::AllocateValueBuffer(size));
  uint32_t fetched = size;
  if (data != nullptr) {
    status = platform::RegQuery(key, valueName, &type, data, &fetched);
  }
  // No buffer, or a value that changed or vanished between the two queries:
  // the buffer holds no trustworthy data, so the field stays as it was.
  if (data == nullptr || status != platform::kRegOk || fetched < 4) {
    Trace("TARNIX:RegReadNumber - Failed to read key\n");
    platform::ReleaseValueBuffer(data);
    platform::RegClose(key);
    return false;
  }

  uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                  static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  platform::ReleaseValueBuffer(data);
  platform::RegClose(key);
  *target = static_cast<int32_t>(bits);
  return true;
}

bool RegWriteNumber(const char* keyPath, const char* valueName, int32_t value) {
  Trace("TARNIX:RegWriteNumber\n");
  platform::RegistryKey key = nullptr;
  long status = platform::RegCreate(keyPath, platform::kKeyAllAccess, &key);
  if (status != platform::kRegOk) {
    Trace("TARNIX:RegWriteNumber - Failed to create/open key\n");
    return false;
  }

  // REG_DWORD: four bytes, least significant first; -1 is 0xFFFFFFFF.
  uint32_t bits = static_cast<uint32_t>(value);
  uint8_t data[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                     static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  status = platform::RegSet(key, valueName, platform::kRegDword, data, sizeof data);
  platform::RegClose(key);
  if (status != platform::kRegOk) {
    Trace("TARNIX:RegWriteNumber - Failed to write data to key\n");
    return false;
  }
  return true;
}

}  // namespace tarnix
