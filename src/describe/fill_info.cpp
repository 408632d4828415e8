// Board description: the record's picture of the selected board, rewritten in
// place from serialNo, range and gain whenever the selection changes.
#include "describe/fill_info.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "abi/board_api.h"
#include "core/driver_state.h"
#include "core/trace.h"
#include "describe/record_tables.h"
#include "ui/resources.h"

namespace tarnix {

namespace {

constexpr int32_t kCapabilitiesNoBoard = 0x2000;
constexpr int32_t kCapabilitiesBoard = 0x203C;
constexpr int32_t kDescCode = 7;
constexpr int16_t kDescWord = 1000;
constexpr int16_t kAuxCount = 8;
constexpr int kHelpFileLimit = 20;  // the field's width, terminator included
constexpr int kIndexListLength = 10;
// One local text buffer serves the board name (the library writes up to 40
// bytes), the Max/Min trace line and the two version texts.
constexpr int kTextBufferBytes = 100;
static_assert(kTextBufferBytes >= velq::kBoardNameBytes);

int32_t Ask(int32_t serial, int32_t code, int32_t param = 0) {
  return VELQ_Query(serial, code, param);
}

// The board's name, bounded to the record's 20-byte field. The buffer starts
// zeroed and its last byte is forced to a terminator, so a library that
// writes nothing or forgets the terminator still leaves a bounded text.
void CopyBoardName(RecordRef record, int32_t serial, char (&text)[kTextBufferBytes]) {
  std::memset(text, 0, sizeof text);
  VELQ_StrBoardName(serial, text);
  text[kTextBufferBytes - 1] = '\0';
  record.setText(TARNIX_RECORD(boardName), sizeof(DeviceRecord::boardName), text);
}

// "%d.%d.%d" from three answers asked build first, then minor, then major.
void CopyVersionText(RecordRef record, std::size_t offset, std::size_t width, int32_t serial,
                     int32_t majorCode, int32_t minorCode, int32_t buildCode,
                     char (&text)[kTextBufferBytes]) {
  int32_t build = Ask(serial, buildCode);
  int32_t minor = Ask(serial, minorCode);
  int32_t major = Ask(serial, majorCode);
  std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int>(major), static_cast<int>(minor),
                static_cast<int>(build));
  record.setText(offset, width, text);
}

// Input-range rule: range 1 uses the selected gain's span (millivolts, twice
// the limit) in whole volts, truncated toward zero; every other range is
// +-10 V.
struct InputLimits {
  double maxValue;
  double minValue;
};

InputLimits InputRangeLimits(int32_t range, int32_t spanMillivolts) {
  if (range != 1) return {10.0, -10.0};
  int32_t half = spanMillivolts / 2;  // cannot overflow: |x / 2| < 2^30
  int32_t volts = half / 1000;
  // Negated as an integer: a zero limit gives 0.0, never -0.0.
  return {static_cast<double>(volts), static_cast<double>(-volts)};
}

void SetRates(RecordRef record, double minRate, double maxRate, double minRate2, double maxRate2) {
  record.set<double>(TARNIX_RECORD(minSampleRate), minRate);
  record.set<double>(TARNIX_RECORD(maxSampleRate), maxRate);
  record.set<double>(TARNIX_RECORD(minSampleRate2), minRate2);
  record.set<double>(TARNIX_RECORD(maxSampleRate2), maxRate2);
}

}  // namespace

void FillInfoStruct() {
  Trace("TARNIX - FillInfoStruct\n");
  if (g_state.serialNo != 0) {
    FillInfoBoard();
  } else {
    FillInfoNone();
  }
}

void FillInfoNone() {
  Trace("TARNIX - FillInfoNone\n");
  RecordRef record = Record();
  // Without a record there is nothing to describe into.
  if (!record.valid()) return;

  char text[kTextBufferBytes];
  record.set<int32_t>(TARNIX_RECORD(capabilities), kCapabilitiesNoBoard);
  CopyBoardName(record, g_state.serialNo, text);
  record.set<int32_t>(TARNIX_RECORD(descCode), kDescCode);
  SetRates(record, 0.0, 0.0, 0.0, 0.0);
  record.set<int16_t>(TARNIX_RECORD(adChannelCount), 0);
  record.set<int16_t>(TARNIX_RECORD(daChannelCount), 0);
  record.set<int16_t>(TARNIX_RECORD(portCountA), 0);
  record.set<int16_t>(TARNIX_RECORD(portCountB), 0);
  record.set<int16_t>(TARNIX_RECORD(counterCount), 0);
  record.set<int16_t>(TARNIX_RECORD(auxCount), 0);
  ClearDescriptionTables(record);
}

void FillInfoBoard() {
  Trace("TARNIX - FillInfoBoard\n");
  RecordRef record = Record();
  if (!record.valid()) return;

  const DriverState& s = g_state;
  const int32_t serial = s.serialNo;
  char text[kTextBufferBytes];

  CopyBoardName(record, serial, text);
  // Asked whatever the range; only range 1 uses the span.
  const InputLimits limits = InputRangeLimits(s.range, Ask(serial, velq::kGainSpan, s.gain));

  record.set<int32_t>(TARNIX_RECORD(capabilities), kCapabilitiesBoard);
  record.set<int32_t>(TARNIX_RECORD(descCode), kDescCode);
  const double maxRate = static_cast<double>(Ask(serial, velq::kMaxAdRate));
  const double maxRate2 = static_cast<double>(Ask(serial, velq::kMaxAdRate));
  SetRates(record, 1.0, maxRate, 1.0, maxRate2);

  const uint16_t adCount = s.range == 1 ? 4 : 8;
  const uint16_t daCount = StoreTableCount(record, TARNIX_RECORD(daChannelCount),
                                           Ask(serial, velq::kAnalogOutputs), kDaChannelCapacity);
  const uint16_t portCountA = StoreTableCount(record, TARNIX_RECORD(portCountA),
                                              Ask(serial, velq::kDigitalPorts), kPortCapacity);
  const uint16_t portCountB = StoreTableCount(record, TARNIX_RECORD(portCountB),
                                              Ask(serial, velq::kDigitalPorts), kPortCapacity);
  // No counter entries are ever written, so the counter count is kept as
  // the board gave it (low 16 bits).
  record.set<int16_t>(TARNIX_RECORD(counterCount),
                      static_cast<int16_t>(static_cast<uint16_t>(Ask(serial, velq::kCounters))));
  record.set<int16_t>(TARNIX_RECORD(adChannelCount), static_cast<int16_t>(adCount));
  record.set<int16_t>(TARNIX_RECORD(auxCount), kAuxCount);

  ClearDescriptionTables(record);
  record.set<int16_t>(TARNIX_RECORD(descFlag), 1);
  FillAnalogOutputs(record, daCount);

  std::snprintf(text, sizeof text, "TARNIX - FillInfoBoard - Max = %2.2f, Min = %2.2f",
                limits.maxValue, limits.minValue);
  Trace(text);

  FillAnalogInputs(record, adCount, limits.maxValue, limits.minValue);
  FillPortsA(record, portCountA);
  FillPortsB(record, portCountB);
  for (int i = 0; i < kIndexListLength; ++i) {
    record.set<int16_t>(TARNIX_RECORD(indexList) + i * sizeof(int16_t), static_cast<int16_t>(i));
  }
  ClearAdChannelExtraWords(record, adCount);

  CopyVersionText(record, TARNIX_RECORD(apiVersionText), sizeof(DeviceRecord::apiVersionText),
                  velq::kLibrarySerial, velq::kVersionMajor, velq::kVersionMinor,
                  velq::kVersionBuild, text);
  CopyVersionText(record, TARNIX_RECORD(boardVersionText), sizeof(DeviceRecord::boardVersionText),
                  serial, velq::kBoardVersionMajor, velq::kBoardVersionMinor,
                  velq::kBoardVersionBuild, text);

  // Straight into the record: bytes after the terminator stay as they were.
  static_assert(sizeof(DeviceRecord::helpFileName) == kHelpFileLimit);
  platform::LoadText(s.moduleHandle, IDS_HELP_FILE,
                     reinterpret_cast<char*>(record.at(TARNIX_RECORD(helpFileName))),
                     kHelpFileLimit);
  record.set<int16_t>(TARNIX_RECORD(descWord), kDescWord);
}

}  // namespace tarnix
