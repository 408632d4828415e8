// Worksheet settings: the board selection and the four acquisition settings
// stored per worksheet in the registry, one key per worksheet name below the
// module's base key in the local-machine hive. A user without the right to
// write that hive gets the same keys in the current user's hive instead, and
// values found there are loaded first.
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

enum class ReadOutcome { kRead, kNoKey, kNoValue };

// Reads value `valueName` of `keyPath` in `hive` as a number: the first four
// bytes of its data, least significant first, whatever its type. *target is
// written only when the outcome is kRead; *openStatus gets the system's code
// when the key cannot be opened.
ReadOutcome ReadNumberIn(platform::Hive hive, const char* keyPath, const char* valueName,
                         int32_t* target, long* openStatus) {
  platform::RegistryKey key = nullptr;
  *openStatus = platform::RegOpen(keyPath, platform::kKeyQueryValue, &key, hive);
  if (*openStatus != platform::kRegOk) return ReadOutcome::kNoKey;

  uint32_t type = 0;
  uint32_t size = 0;
  long status = platform::RegQuery(key, valueName, &type, nullptr, &size);
  // Data shorter than a number is no number: it counts as a failed read and
  // nothing beyond the data is looked at.
  if (status != platform::kRegOk || size < 4) {
    platform::RegClose(key);
    return ReadOutcome::kNoValue;
  }

  // The value's whole data is fetched (a shorter buffer would leave it
  // undefined), whatever its type; the number is its first four bytes.
  auto* data = static_cast<uint8_t*>(platform::AllocateValueBuffer(size));
  uint32_t fetched = size;
  if (data != nullptr) status = platform::RegQuery(key, valueName, &type, data, &fetched);
  // No buffer, or a value that changed or vanished between the two queries:
  // the buffer holds no trustworthy data, so the field stays as it was.
  if (data == nullptr || status != platform::kRegOk || fetched < 4) {
    platform::ReleaseValueBuffer(data);
    platform::RegClose(key);
    return ReadOutcome::kNoValue;
  }

  uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                  static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  platform::ReleaseValueBuffer(data);
  platform::RegClose(key);
  *target = static_cast<int32_t>(bits);
  return ReadOutcome::kRead;
}

enum class WriteOutcome { kWritten, kNoKey, kNotWritten };

// Writes `value` as a REG_DWORD into `keyPath` of `hive`: the key created
// where missing (`create`), else only an existing key.
WriteOutcome WriteNumberIn(platform::Hive hive, const char* keyPath, const char* valueName,
                           int32_t value, bool create) {
  platform::RegistryKey key = nullptr;
  long status = create ? platform::RegCreate(keyPath, platform::kKeyAllAccess, &key, hive)
                       : platform::RegOpen(keyPath, platform::kKeySetValue, &key, hive);
  if (status != platform::kRegOk) return WriteOutcome::kNoKey;

  // REG_DWORD: four bytes, least significant first; -1 is 0xFFFFFFFF.
  uint32_t bits = static_cast<uint32_t>(value);
  uint8_t data[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                     static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  status = platform::RegSet(key, valueName, platform::kRegDword, data, sizeof data);
  platform::RegClose(key);
  return status == platform::kRegOk ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
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
  // What the current user stored, because the machine's hive could not be
  // written, is newer than the machine's value and comes first; where the
  // user has none, nothing is said and the machine's hive answers.
  long status = platform::kRegOk;
  if (ReadNumberIn(platform::Hive::kCurrentUser, keyPath, valueName, target, &status) ==
      ReadOutcome::kRead) {
    Trace("TARNIX:RegReadNumber - Read from the current user\n");
    return true;
  }
  switch (ReadNumberIn(platform::Hive::kLocalMachine, keyPath, valueName, target, &status)) {
    case ReadOutcome::kRead:
      return true;
    case ReadOutcome::kNoKey:
      TraceF<100>("TARNIX:RegReadNumber - Failed to create/open key (%ld)\n", status);
      return false;
    case ReadOutcome::kNoValue:
      break;
  }
  Trace("TARNIX:RegReadNumber - Failed to read key\n");
  return false;
}

bool RegWriteNumber(const char* keyPath, const char* valueName, int32_t value) {
  Trace("TARNIX:RegWriteNumber\n");
  switch (WriteNumberIn(platform::Hive::kLocalMachine, keyPath, valueName, value, true)) {
    case WriteOutcome::kWritten:
      // A copy the current user keeps from a save that could not reach the
      // machine's hive would hide this value on the next load: it follows.
      if (WriteNumberIn(platform::Hive::kCurrentUser, keyPath, valueName, value, false) ==
          WriteOutcome::kWritten) {
        Trace("TARNIX:RegWriteNumber - Also stored for the current user\n");
      }
      return true;
    case WriteOutcome::kNoKey:
      Trace("TARNIX:RegWriteNumber - Failed to create/open key\n");
      break;
    case WriteOutcome::kNotWritten:
      Trace("TARNIX:RegWriteNumber - Failed to write data to key\n");
      break;
  }
  // Without the right to write the machine's hive (a user who is no
  // administrator) the value is kept for the current user, where a load
  // looks first, instead of being lost.
  if (WriteNumberIn(platform::Hive::kCurrentUser, keyPath, valueName, value, true) !=
      WriteOutcome::kWritten) {
    return false;
  }
  Trace("TARNIX:RegWriteNumber - Stored for the current user\n");
  return true;
}

}  // namespace tarnix
