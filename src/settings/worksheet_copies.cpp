// Reading and writing the copies of a worksheet's settings, and the user's
// record of the machine's copy (worksheet_copies.h).
#include "settings/worksheet_copies.h"

#include <cstring>

namespace tarnix::settings {
namespace {

// The one value the user's copy holds beyond the five: REG_BINARY, a mask
// with bit i set where setting i was read from the machine's copy, then the
// five numbers (0 where none), each four bytes, least significant first. An
// empty value marks a save under way.
constexpr char kRecordName[] = "MachineCopyAtSave";
constexpr uint32_t kRecordBytes = 4 + 4 * kSettingCount;
constexpr uint32_t kRecordMask = (1u << kSettingCount) - 1;

void PutNumber(uint8_t* at, uint32_t bits) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint32_t GetNumber(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void Encode(const CopyReading& machine, uint8_t (&record)[kRecordBytes]) {
  uint32_t mask = 0;
  for (int i = 0; i < kSettingCount; ++i) {
    bool read = machine.outcome[i] == ReadOutcome::kRead;
    if (read) mask |= 1u << i;
    PutNumber(record + 4 + 4 * i, read ? static_cast<uint32_t>(machine.value[i]) : 0);
  }
  PutNumber(record, mask);
}

// Reads value `valueName` of an open key as a number: the first four bytes
// of its data, least significant first, whatever its type.
ReadOutcome ReadNumber(platform::RegistryKey key, const char* valueName, int32_t* target) {
  uint32_t type = 0;
  uint32_t size = 0;
  long status = platform::RegQuery(key, valueName, &type, nullptr, &size);
  // Data shorter than a number is no number: it counts as a failed read and
  // nothing beyond the data is looked at.
  if (status != platform::kRegOk || size < 4) return ReadOutcome::kNoValue;

  // The value's whole data is fetched (a shorter buffer would leave it
  // undefined), whatever its type; the number is its first four bytes.
  auto* data = static_cast<uint8_t*>(platform::AllocateValueBuffer(size));
  uint32_t fetched = size;
  if (data != nullptr) status = platform::RegQuery(key, valueName, &type, data, &fetched);
  // No buffer, or a value that changed or vanished between the two queries:
  // the buffer holds no trustworthy data.
  if (data == nullptr || status != platform::kRegOk || fetched < 4) {
    platform::ReleaseValueBuffer(data);
    return ReadOutcome::kNoValue;
  }
  *target = static_cast<int32_t>(GetNumber(data));
  platform::ReleaseValueBuffer(data);
  return ReadOutcome::kRead;
}

// Sets one value of `keyPath` in `hive`: the key created where missing
// (`create`), else only an existing key.
WriteOutcome WriteValueIn(platform::Hive hive, const char* keyPath, const char* valueName,
                          uint32_t type, const void* data, uint32_t size, bool create) {
  platform::RegistryKey key = nullptr;
  long status = create ? platform::RegCreate(keyPath, platform::kKeyAllAccess, &key, hive)
                       : platform::RegOpen(keyPath, platform::kKeySetValue, &key, hive);
  if (status != platform::kRegOk) return WriteOutcome::kNoKey;
  status = platform::RegSet(key, valueName, type, data, size);
  platform::RegClose(key);
  return status == platform::kRegOk ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
}

}  // namespace

bool CopyReading::IsCopy() const {
  for (ReadOutcome one : outcome) {
    if (one == ReadOutcome::kRead) return true;
  }
  return false;
}

CopyReading ReadCopy(platform::Hive hive, const char* keyPath) {
  CopyReading copy{};
  platform::RegistryKey key = nullptr;
  copy.openStatus = platform::RegOpen(keyPath, platform::kKeyQueryValue, &key, hive);
  for (int i = 0; i < kSettingCount; ++i) {
    copy.outcome[i] = copy.openStatus != platform::kRegOk
                          ? ReadOutcome::kNoKey
                          : ReadNumber(key, kSettings[i].readName, &copy.value[i]);
  }
  if (copy.openStatus == platform::kRegOk) platform::RegClose(key);
  return copy;
}

RecordState CompareRecord(const char* keyPath, const CopyReading& machine) {
  platform::RegistryKey key = nullptr;
  if (platform::RegOpen(keyPath, platform::kKeyQueryValue, &key, platform::Hive::kCurrentUser) !=
      platform::kRegOk) {
    return RecordState::kUnfinished;
  }
  uint8_t stored[kRecordBytes] = {};
  uint32_t type = 0;
  uint32_t size = sizeof stored;
  long status = platform::RegQuery(key, kRecordName, &type, stored, &size);
  platform::RegClose(key);
  if (status == platform::kRegNotFound) return RecordState::kAbsent;
  // Anything but a whole record (the empty mark of a save under way, a value
  // too long or of another type, a failed query) cannot say that the user
  // saved last.
  if (status != platform::kRegOk || type != platform::kRegBinary || size != kRecordBytes ||
      (GetNumber(stored) & ~kRecordMask) != 0) {
    return RecordState::kUnfinished;
  }
  uint8_t now[kRecordBytes];
  Encode(machine, now);
  return std::memcmp(stored, now, kRecordBytes) == 0 ? RecordState::kMatches
                                                     : RecordState::kDiffers;
}

WriteOutcome WriteNumberIn(platform::Hive hive, const char* keyPath, const char* valueName,
                           int32_t value, bool create) {
  // REG_DWORD: four bytes, least significant first; -1 is 0xFFFFFFFF.
  uint8_t data[4];
  PutNumber(data, static_cast<uint32_t>(value));
  return WriteValueIn(hive, keyPath, valueName, platform::kRegDword, data, sizeof data, create);
}

bool MarkUserSaveUnfinished(const char* keyPath, bool create) {
  static constexpr uint8_t kNothing = 0;  // empty data, from a valid address all the same
  return WriteValueIn(platform::Hive::kCurrentUser, keyPath, kRecordName, platform::kRegBinary,
                      &kNothing, 0, create) == WriteOutcome::kWritten;
}

bool RecordMachineCopy(const char* keyPath, const CopyReading& machine) {
  uint8_t record[kRecordBytes];
  Encode(machine, record);
  return WriteValueIn(platform::Hive::kCurrentUser, keyPath, kRecordName, platform::kRegBinary,
                      record, sizeof record, false) == WriteOutcome::kWritten;
}

}  // namespace tarnix::settings
