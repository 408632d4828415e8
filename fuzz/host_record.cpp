#include "host_record.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "abi/device_record.h"

namespace tarnix::fuzz {

namespace {

enum class Kind { kDouble, kInt32, kInt16, kUint16 };

struct Field {
  std::size_t offset;  // first entry for tables
  Kind kind;
  std::size_t entryBytes;  // 0: a single field
  int entries;
};

#define FIELD(name, kind) \
  { TARNIX_RECORD(name), kind, 0, 1 }
#define ENTRY(table, Type, field, kind, count) \
  { TARNIX_RECORD(table) + TARNIX_OFFSET(Type, field), kind, sizeof(Type), count }

constexpr Field kFields[] = {
    FIELD(structVersion, Kind::kInt16),
    FIELD(errorCode, Kind::kInt32),
    FIELD(sampleRate, Kind::kDouble),
    FIELD(minSampleRate, Kind::kDouble),
    FIELD(maxSampleRate, Kind::kDouble),
    FIELD(bufferSize, Kind::kInt32),
    FIELD(blockSize, Kind::kInt32),
    FIELD(adChannelMask, Kind::kUint16),
    FIELD(adChannelCount, Kind::kInt16),
    FIELD(daChannelCount, Kind::kInt16),
    FIELD(portCountA, Kind::kInt16),
    FIELD(portCountB, Kind::kInt16),
    FIELD(counterCount, Kind::kInt16),
    FIELD(factorA, Kind::kInt32),
    FIELD(factorB, Kind::kInt32),
    FIELD(factorC, Kind::kInt32),
    FIELD(descCode, Kind::kInt32),
    FIELD(initWord, Kind::kInt16),
    {TARNIX_RECORD(unsupportedSettings), Kind::kInt32, sizeof(int32_t), 3},
    {TARNIX_RECORD(otherSelections), Kind::kInt32, sizeof(int32_t), 4},
    ENTRY(adChannels, ChannelEntry, maxValue, Kind::kDouble, kAdChannelCapacity),
    ENTRY(adChannels, ChannelEntry, minValue, Kind::kDouble, kAdChannelCapacity),
    ENTRY(adChannels, ChannelEntry, fullScaleCode, Kind::kInt32, kAdChannelCapacity),
    ENTRY(daChannels, ChannelEntry, maxValue, Kind::kDouble, kDaChannelCapacity),
    ENTRY(daChannels, ChannelEntry, minValue, Kind::kDouble, kDaChannelCapacity),
    ENTRY(adChannelExtras, AdChannelExtra, extraWord, Kind::kInt16, kAdChannelExtrasUsed),
};

#undef FIELD
#undef ENTRY

double PickDouble(uint8_t choice, uint64_t raw) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  switch (choice % 12) {
    case 0: {
      double v;
      std::memcpy(&v, &raw, sizeof v);
      return v;
    }
    case 1:
      return std::numeric_limits<double>::quiet_NaN();
    case 2:
      return kInf;
    case 3:
      return -kInf;
    case 4:
      return 1e300;
    case 5:
      return -1e300;
    case 6:
      return 0.0;
    case 7:
      return -0.0;
    case 8:
      return std::numeric_limits<double>::denorm_min();
    case 9:
      return 4294967296.0 * 4.0;  // beyond every 32-bit integer
    case 10:
      return static_cast<double>(static_cast<int16_t>(raw));
    default:
      return static_cast<double>(static_cast<int32_t>(raw)) / 1000.0;
  }
}

int64_t PickInteger(uint8_t choice, uint64_t raw) {
  switch (choice % 10) {
    case 0:
      return static_cast<int64_t>(raw);
    case 1:
      return std::numeric_limits<int32_t>::min();
    case 2:
      return std::numeric_limits<int32_t>::max();
    case 3:
      return -1;
    case 4:
      return 0;
    case 5:
      return 1;
    case 6:
      return std::numeric_limits<int16_t>::min();
    case 7:
      return std::numeric_limits<int16_t>::max();
    case 8:
      return static_cast<int64_t>(raw & 0xFFFF);  // any 16-bit count
    default:
      return static_cast<int8_t>(raw);  // small, either sign
  }
}

}  // namespace

void WriteRecordField(uint8_t* record, FuzzInput& in) {
  const Field& field = kFields[in.U8() % std::size(kFields)];
  const int entry = field.entries > 1 ? in.U16() % field.entries : 0;
  const uint8_t choice = in.U8();
  const uint64_t raw = in.U64();
  uint8_t* at = record + field.offset + static_cast<std::size_t>(entry) * field.entryBytes;
  switch (field.kind) {
    case Kind::kDouble: {
      const double v = PickDouble(choice, raw);
      std::memcpy(at, &v, sizeof v);
      break;
    }
    case Kind::kInt32: {
      // Low 32 bits: wraps the same way a host's 32-bit store would.
      const uint32_t v = static_cast<uint32_t>(PickInteger(choice, raw));
      std::memcpy(at, &v, sizeof v);
      break;
    }
    case Kind::kInt16:
    case Kind::kUint16: {
      const uint16_t v = static_cast<uint16_t>(PickInteger(choice, raw));
      std::memcpy(at, &v, sizeof v);
      break;
    }
  }
}

void WriteRecordBytes(uint8_t* record, FuzzInput& in) {
  const std::size_t length = in.U8() % 33;
  const std::size_t offset = in.U16() % (kHostRecordBytes - length + 1);
  in.Bytes(record + offset, length);
}

}  // namespace tarnix::fuzz
