// The host's DeviceRecord: its byte layout, declared once, and the one way
// the module (and the host exerciser, standing in for the host) read and
// write it.
//
// The host owns the record; the module keeps its address. The layout is the
// host's, packed and little-endian, with doubles and 32-bit fields at
// unaligned offsets, so every access goes through RecordRef, which copies
// bytes instead of dereferencing typed pointers into the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tarnix {

#pragma pack(push, 1)

// One analog input or output (40 bytes).
struct ChannelEntry {
  double maxValue;        // upper end of the range, volts
  double minValue;        // lower end of the range, volts
  int32_t fullScaleCode;  // 4095 for inputs, 65535 for outputs
  int16_t entryFlags;     // 0
  int16_t entryType;      // 1 analog input, 6 analog output
  uint8_t unused24[8];    // only ever cleared
  int16_t extraWords[4];  // 0
};

// One digital port in the first port table (12 bytes).
struct PortEntryA {
  int16_t portKind;      // 2
  int16_t portMask;      // 255
  int16_t portNumber;    // the entry's index
  int16_t portWidth;     // 8
  int16_t portExtra[2];  // 0
};

// One digital port in the second port table (10 bytes).
struct PortEntryB {
  int16_t portKind;      // 2
  int16_t portMask;      // 255
  int16_t portNumber;    // the entry's index
  int16_t portExtra[2];  // 0
};

// Per analog input, after the request fields (14 bytes; only the first word
// is the module's).
struct AdChannelExtra {
  int16_t extraWord;      // 0
  uint8_t hostBytes[12];  // the host's; never touched
};

inline constexpr int kAdChannelCapacity = 512;
inline constexpr int kDaChannelCapacity = 32;
inline constexpr int kPortCapacity = 32;
inline constexpr int kCounterAreaBytes = 256;
inline constexpr int kAdChannelExtrasUsed = 8;  // the module uses at most 8

struct DeviceRecord {
  int16_t structVersion;  // 0: must be 17
  uint8_t gap2[2];
  int32_t errorCode;     // 4: last failure of an export
  char driverName[60];   // 8: string 1
  char boardName[20];    // 68
  int32_t capabilities;  // 88: 0x2000 / 0x203C
  uint8_t gap92[2];
  int16_t initWord;           // 94: 2 after initialisation
  char apiVersionText[40];    // 96: "%d.%d.%d"
  char boardVersionText[40];  // 136: "%d.%d.%d"
  uint8_t gap176[20];
  char helpFileName[20];  // 196: string 5
  int16_t descWord;       // 216: 1000 with a board
  double minSampleRate;   // 218
  double maxSampleRate;   // 226
  double minSampleRate2;  // 234
  double maxSampleRate2;  // 242
  uint8_t gap250[64];
  int16_t adChannelCount;  // 314
  int16_t portCountA;      // 316
  int16_t counterCount;    // 318
  int16_t daChannelCount;  // 320
  int16_t portCountB;      // 322
  uint8_t gap324[2];
  int16_t auxCount;       // 326
  int16_t indexList[10];  // 328
  uint8_t gap348[44];
  ChannelEntry adChannels[kAdChannelCapacity];  // 392
  PortEntryA portsA[kPortCapacity];             // 20872
  uint8_t counterArea[kCounterAreaBytes];       // 21256
  ChannelEntry daChannels[kDaChannelCapacity];  // 21512
  PortEntryB portsB[kPortCapacity];             // 22792
  uint8_t gap23112[1164];
  int16_t descFlag;  // 24276
  int32_t descCode;  // 24278: always 7
  uint8_t gap24282[4];
  double sampleRate;  // 24286: requested rate, Hz
  uint32_t factorA;   // 24294
  uint8_t gap24298[4];
  uint32_t factorB;  // 24302
  uint32_t factorC;  // 24306
  uint8_t gap24310[4];
  uint16_t adChannelMask;  // 24314: bit i = input i
  uint8_t gap24316[66];
  int32_t unsupportedSettings[3];  // 24382: each must be 0
  uint8_t gap24394[132];
  int32_t otherSelections[4];  // 24526
  uint8_t gap24542[8];
  int32_t bufferSize;  // 24550: host buffer, samples
  int32_t blockSize;   // 24554: samples per block
  uint8_t gap24558[20];
  AdChannelExtra adChannelExtras[kAdChannelExtrasUsed];  // 24578
};

#pragma pack(pop)

// The layout is the host's: every offset is checked here.
static_assert(sizeof(ChannelEntry) == 40);
static_assert(offsetof(ChannelEntry, minValue) == 8);
static_assert(offsetof(ChannelEntry, fullScaleCode) == 16);
static_assert(offsetof(ChannelEntry, entryFlags) == 20);
static_assert(offsetof(ChannelEntry, entryType) == 22);
static_assert(offsetof(ChannelEntry, extraWords) == 32);
static_assert(sizeof(PortEntryA) == 12);
static_assert(offsetof(PortEntryA, portMask) == 2);
static_assert(offsetof(PortEntryA, portNumber) == 4);
static_assert(offsetof(PortEntryA, portWidth) == 6);
static_assert(offsetof(PortEntryA, portExtra) == 8);
static_assert(sizeof(PortEntryB) == 10);
static_assert(offsetof(PortEntryB, portMask) == 2);
static_assert(offsetof(PortEntryB, portNumber) == 4);
static_assert(offsetof(PortEntryB, portExtra) == 6);
static_assert(sizeof(AdChannelExtra) == 14);

static_assert(offsetof(DeviceRecord, structVersion) == 0);
static_assert(offsetof(DeviceRecord, errorCode) == 4);
static_assert(offsetof(DeviceRecord, driverName) == 8);
static_assert(offsetof(DeviceRecord, boardName) == 68);
static_assert(offsetof(DeviceRecord, capabilities) == 88);
static_assert(offsetof(DeviceRecord, initWord) == 94);
static_assert(offsetof(DeviceRecord, apiVersionText) == 96);
static_assert(offsetof(DeviceRecord, boardVersionText) == 136);
static_assert(offsetof(DeviceRecord, helpFileName) == 196);
static_assert(offsetof(DeviceRecord, descWord) == 216);
static_assert(offsetof(DeviceRecord, minSampleRate) == 218);
static_assert(offsetof(DeviceRecord, maxSampleRate) == 226);
static_assert(offsetof(DeviceRecord, minSampleRate2) == 234);
static_assert(offsetof(DeviceRecord, maxSampleRate2) == 242);
static_assert(offsetof(DeviceRecord, adChannelCount) == 314);
static_assert(offsetof(DeviceRecord, portCountA) == 316);
static_assert(offsetof(DeviceRecord, counterCount) == 318);
static_assert(offsetof(DeviceRecord, daChannelCount) == 320);
static_assert(offsetof(DeviceRecord, portCountB) == 322);
static_assert(offsetof(DeviceRecord, auxCount) == 326);
static_assert(offsetof(DeviceRecord, indexList) == 328);
static_assert(offsetof(DeviceRecord, adChannels) == 392);
static_assert(offsetof(DeviceRecord, portsA) == 20872);
static_assert(offsetof(DeviceRecord, counterArea) == 21256);
static_assert(offsetof(DeviceRecord, daChannels) == 21512);
static_assert(offsetof(DeviceRecord, portsB) == 22792);
static_assert(offsetof(DeviceRecord, descFlag) == 24276);
static_assert(offsetof(DeviceRecord, descCode) == 24278);
static_assert(offsetof(DeviceRecord, sampleRate) == 24286);
static_assert(offsetof(DeviceRecord, factorA) == 24294);
static_assert(offsetof(DeviceRecord, factorB) == 24302);
static_assert(offsetof(DeviceRecord, factorC) == 24306);
static_assert(offsetof(DeviceRecord, adChannelMask) == 24314);
static_assert(offsetof(DeviceRecord, unsupportedSettings) == 24382);
static_assert(offsetof(DeviceRecord, otherSelections) == 24526);
static_assert(offsetof(DeviceRecord, bufferSize) == 24550);
static_assert(offsetof(DeviceRecord, blockSize) == 24554);
static_assert(offsetof(DeviceRecord, adChannelExtras) == 24578);
// With 8 analog inputs the last byte the module touches is 24677.
static_assert(offsetof(DeviceRecord, adChannelExtras) + 7 * sizeof(AdChannelExtra) +
                  sizeof(int16_t) - 1 ==
              24677);
static_assert(std::is_trivially_copyable_v<DeviceRecord>);

inline constexpr int16_t kHostStructVersion = 17;
// The bytes the module may touch; a host's record is at least this long.
inline constexpr std::size_t kRecordBytesUsed = sizeof(DeviceRecord);

// Byte offset of a field of DeviceRecord (or of an entry type).
#define TARNIX_OFFSET(Type, field) (offsetof(::tarnix::Type, field))
#define TARNIX_RECORD(field) TARNIX_OFFSET(DeviceRecord, field)

// Reads and writes the host's record by byte offset, whatever the alignment.
// Holds the address only; it is as valid as the host keeps the record.
class RecordRef {
 public:
  explicit RecordRef(void* base) : base_(static_cast<uint8_t*>(base)) {}

  bool valid() const { return base_ != nullptr; }
  uint8_t* at(std::size_t offset) const { return base_ + offset; }

  template <typename T>
  T get(std::size_t offset) const {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, base_ + offset, sizeof value);
    return value;
  }

  template <typename T>
  void set(std::size_t offset, T value) const {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(base_ + offset, &value, sizeof value);
  }

  void clear(std::size_t offset, std::size_t bytes) const { std::memset(base_ + offset, 0, bytes); }

  // Bounded text copy of exactly `width` bytes: the text up to its
  // terminator, the rest zero-filled; a text of `width` characters or more
  // fills the field and is not terminated.
  void setText(std::size_t offset, std::size_t width, const char* text) const {
    std::size_t i = 0;
    if (text != nullptr) {
      for (; i < width && text[i] != '\0'; ++i) base_[offset + i] = static_cast<uint8_t>(text[i]);
    }
    for (; i < width; ++i) base_[offset + i] = 0;
  }

 private:
  uint8_t* base_;
};

// Offset of entry `index` of a table of `Entry` at `tableOffset`, plus
// `fieldOffset` within the entry.
constexpr std::size_t EntryOffset(std::size_t tableOffset, std::size_t entryBytes,
                                  std::size_t index, std::size_t fieldOffset) {
  return tableOffset + index * entryBytes + fieldOffset;
}

}  // namespace tarnix
