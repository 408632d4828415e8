// The copies a worksheet's settings can have in the registry: the machine's,
// shared by every user of the computer, and the current user's own, made
// where the machine's hive cannot be written. A copy is a worksheet key that
// holds at least one of the five values; a key that is only the parent of a
// nested worksheet name holds none and is no copy.
//
// Which copy was saved last is kept in the registry itself, so that every
// process and account sees the same answer: the user's copy records the five
// numbers the machine's copy held when the user saved. A machine copy that no
// longer matches that record has been changed since, and is the newer one. A
// key's last-write time would not do: creating a nested name below a key
// moves it, and some registries leave it alone when a value is rewritten with
// the data it already holds.
#pragma once

#include <cstdint>

#include "core/driver_state.h"
#include "platform/platform.h"

namespace tarnix::settings {

// The five settings in their stored order. The serial number is read as
// "Serialno" and written as "SerialNo"; value names compare without regard
// to case, so both address one value.
struct Setting {
  const char* readName;
  const char* writeName;
  int32_t DriverState::*field;
};
inline constexpr int kSettingCount = 5;
inline constexpr Setting kSettings[kSettingCount] = {
    {"Serialno", "SerialNo", &DriverState::serialNo},
    {"ClockSource", "ClockSource", &DriverState::clockSource},
    {"Gain", "Gain", &DriverState::gain},
    {"Range", "Range", &DriverState::range},
    {"Mode", "Mode", &DriverState::mode},
};

enum class ReadOutcome { kRead, kNoKey, kNoValue };

// What one hive holds for a worksheet key: each setting as read.
struct CopyReading {
  ReadOutcome outcome[kSettingCount];
  int32_t value[kSettingCount];  // meaningful where the outcome is kRead
  long openStatus;               // the system's code when the key could not be opened
  bool IsCopy() const;
};
CopyReading ReadCopy(platform::Hive hive, const char* keyPath);

// The user's record of the machine's copy, compared with what the machine's
// copy holds now.
enum class RecordState {
  kAbsent,      // none: a copy from before records were kept, or another tool's
  kMatches,     // the machine's copy is as it was when the user saved
  kDiffers,     // the machine's copy has been changed since
  kUnfinished,  // the user's last save did not complete (or the record is unreadable)
};
RecordState CompareRecord(const char* keyPath, const CopyReading& machine);

enum class WriteOutcome { kWritten, kNoKey, kNotWritten };

// Writes `value` as a REG_DWORD into `keyPath` of `hive`: the key created
// where missing (`create`), else only an existing key.
WriteOutcome WriteNumberIn(platform::Hive hive, const char* keyPath, const char* valueName,
                           int32_t value, bool create);

// Marks the user's copy as being saved (its record becomes one that matches
// nothing), or completes the save by recording what the machine's copy holds.
bool MarkUserSaveUnfinished(const char* keyPath, bool create);
bool RecordMachineCopy(const char* keyPath, const CopyReading& machine);

}  // namespace tarnix::settings
