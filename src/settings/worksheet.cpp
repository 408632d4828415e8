// Worksheet settings: the board selection and the four acquisition settings
// stored per worksheet in the registry, one key per worksheet name below the
// module's base key in the local-machine hive. A user without the right to
// write that hive gets a copy of the same key in the current user's hive
// instead. With a copy in both hives a load takes the whole set from the one
// saved last, never some values from each (worksheet_copies.h says how the
// registry tells which).
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
#include "settings/worksheet_copies.h"

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

using settings::CopyReading;
using settings::kSettingCount;
using settings::kSettings;
using settings::ReadOutcome;
using settings::RecordState;
using settings::WriteOutcome;

constexpr char kReadFromUser[] = "TARNIX:RegReadNumber - Read from the current user\n";
constexpr char kReadFromChangedMachine[] =
    "TARNIX:RegReadNumber - Read from the machine, changed since the current user saved\n";
constexpr char kReadFromMachineUserUnfinished[] =
    "TARNIX:RegReadNumber - Read from the machine, the current user's save is unfinished\n";
constexpr char kStoredForUser[] = "TARNIX:RegWriteNumber - Stored for the current user\n";
constexpr char kAlsoStoredForUser[] = "TARNIX:RegWriteNumber - Also stored for the current user\n";
constexpr char kEarlierAlsoStoredForUser[] =
    "TARNIX:RegWriteNumber - Earlier values also stored for the current user\n";
constexpr char kUserCopyUnfinished[] =
    "TARNIX:DRV_SaveWorksheet - Current user's copy left unfinished\n";

// The copy a load takes, and the line each value read from it traces
// (nullptr: none, as for the machine's copy alone).
struct Choice {
  const CopyReading* copy;
  const char* readLine;
};

Choice ChooseCopy(const CopyReading& user, const CopyReading& machine, RecordState record) {
  if (!user.IsCopy()) return {&machine, nullptr};
  if (!machine.IsCopy()) return {&user, kReadFromUser};
  switch (record) {
    case RecordState::kAbsent:  // no record to go by: the user's copy, as it always was
    case RecordState::kMatches:
      return {&user, kReadFromUser};
    case RecordState::kDiffers:
      return {&machine, kReadFromChangedMachine};
    case RecordState::kUnfinished:
      break;
  }
  return {&machine, kReadFromMachineUserUnfinished};
}

// Stores setting `index` of the chosen copy into its field, or traces why it
// cannot: a failure keeps that field as it was, and is never made good from
// the other copy.
bool RegReadNumber(const Choice& choice, int index) {
  const CopyReading& copy = *choice.copy;
  switch (copy.outcome[index]) {
    case ReadOutcome::kRead:
      g_state.*kSettings[index].field = copy.value[index];
      if (choice.readLine != nullptr) Trace(choice.readLine);
      return true;
    case ReadOutcome::kNoKey:
      TraceF<100>("TARNIX:RegReadNumber - Failed to create/open key (%ld)\n", copy.openStatus);
      return false;
    case ReadOutcome::kNoValue:
      break;
  }
  Trace("TARNIX:RegReadNumber - Failed to read key\n");
  return false;
}

void LoadSettings(const char* key) {
  // Both copies and the record as they stand at one moment, where the store
  // can give that.
  platform::RegGroupBegin(platform::RegGroupKind::kRead);
  CopyReading user = settings::ReadCopy(platform::Hive::kCurrentUser, key);
  CopyReading machine = settings::ReadCopy(platform::Hive::kLocalMachine, key);
  RecordState record = user.IsCopy() && machine.IsCopy() ? settings::CompareRecord(key, machine)
                                                         : RecordState::kAbsent;
  platform::RegGroupEnd();  // a read loses nothing when its end fails
  Choice choice = ChooseCopy(user, machine, record);
  for (int i = 0; i < kSettingCount; ++i) RegReadNumber(choice, i);
}

// One save's share in the current user's hive. Its first write marks the
// copy as being saved, so that a save cut short never makes it the newer
// copy; the record of the machine's copy, written once all five values are
// in, completes it.
class UserSave {
 public:
  explicit UserSave(const char* key) : key_(key) {}

  bool Write(int index, bool create) {
    if (!started_) started_ = settings::MarkUserSaveUnfinished(key_, create);
    if (!started_) return false;
    has_[index] =
        settings::WriteNumberIn(platform::Hive::kCurrentUser, key_, kSettings[index].writeName,
                                g_state.*kSettings[index].field, create) == WriteOutcome::kWritten;
    return has_[index];
  }
  bool has(int index) const { return has_[index]; }

  // Completes the copy when the save put all five values into it.
  void Finish() {
    if (!started_) return;
    bool whole = true;
    for (bool one : has_) whole = whole && one;
    if (!whole || !settings::RecordMachineCopy(
                      key_, settings::ReadCopy(platform::Hive::kLocalMachine, key_))) {
      Trace(kUserCopyUnfinished);
    }
  }

 private:
  const char* key_;
  bool started_ = false;
  bool has_[kSettingCount] = {};
};

// Writes setting `index` into the machine's copy.
WriteOutcome RegWriteNumber(const char* key, int index) {
  Trace("TARNIX:RegWriteNumber\n");
  WriteOutcome outcome =
      settings::WriteNumberIn(platform::Hive::kLocalMachine, key, kSettings[index].writeName,
                              g_state.*kSettings[index].field, true);
  if (outcome == WriteOutcome::kNoKey) {
    Trace("TARNIX:RegWriteNumber - Failed to create/open key\n");
  } else if (outcome == WriteOutcome::kNotWritten) {
    Trace("TARNIX:RegWriteNumber - Failed to write data to key\n");
  }
  return outcome;
}

void SaveSettings(const char* key) {
  platform::RegGroupBegin(platform::RegGroupKind::kWrite);
  // A copy the current user keeps from a save that could not reach the
  // machine's hive follows this save, so that it cannot hide it.
  const bool userFollows = settings::ReadCopy(platform::Hive::kCurrentUser, key).IsCopy();
  UserSave user(key);
  bool machineWhole = true;  // the machine's copy took every value so far
  for (int i = 0; i < kSettingCount; ++i) {
    WriteOutcome machine = RegWriteNumber(key, i);
    if (machine == WriteOutcome::kWritten && machineWhole) {
      if (userFollows && user.Write(i, false)) Trace(kAlsoStoredForUser);
      continue;
    }
    if (machineWhole) {
      // Without the right to write the machine's hive (a user who is no
      // administrator) the save is kept for the current user instead, and
      // whole: the values the machine's copy took before this one as well.
      machineWhole = false;
      bool earlier = false;
      for (int j = 0; j < i; ++j) {
        if (!user.has(j) && user.Write(j, true)) earlier = true;
      }
      if (earlier) Trace(kEarlierAlsoStoredForUser);
    }
    if (user.Write(i, true)) {
      Trace(machine == WriteOutcome::kWritten ? kAlsoStoredForUser : kStoredForUser);
    }
  }
  user.Finish();
  long status = platform::RegGroupEnd();
  if (status != platform::kRegOk) {
    TraceF<100>("TARNIX:DRV_SaveWorksheet - Failed to commit the save (%ld)\n", status);
  }
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
    LoadSettings(key);
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
    SaveSettings(key);
  } else {
    TraceRefused(kPrefix);
  }
  TraceSettings(kPrefix);
  return 1;
}

}  // namespace tarnix
