#include "describe/record_tables.h"

#include <algorithm>

namespace tarnix {

namespace {

constexpr int32_t kAdFullScale = 4095;
constexpr int32_t kDaFullScale = 65535;
constexpr int16_t kEntryTypeAnalogInput = 1;
constexpr int16_t kEntryTypeAnalogOutput = 6;
constexpr double kDaMax = 10.0;
constexpr double kDaMin = -10.0;
constexpr int16_t kPortKind = 2;
constexpr int16_t kPortMask = 255;
constexpr int16_t kPortWidth = 8;

uint16_t Bounded(uint16_t count, int capacity) {
  return static_cast<uint16_t>(std::min<int>(count, capacity));
}

std::size_t AdEntry(std::size_t i, std::size_t field) {
  return EntryOffset(TARNIX_RECORD(adChannels), sizeof(ChannelEntry), i, field);
}
std::size_t DaEntry(std::size_t i, std::size_t field) {
  return EntryOffset(TARNIX_RECORD(daChannels), sizeof(ChannelEntry), i, field);
}
std::size_t PortAEntry(std::size_t i, std::size_t field) {
  return EntryOffset(TARNIX_RECORD(portsA), sizeof(PortEntryA), i, field);
}
std::size_t PortBEntry(std::size_t i, std::size_t field) {
  return EntryOffset(TARNIX_RECORD(portsB), sizeof(PortEntryB), i, field);
}

}  // namespace

void ClearDescriptionTables(RecordRef record) {
  record.clear(TARNIX_RECORD(adChannels), sizeof(DeviceRecord::adChannels));
  record.clear(TARNIX_RECORD(portsA), sizeof(DeviceRecord::portsA));
  record.clear(TARNIX_RECORD(counterArea), sizeof(DeviceRecord::counterArea));
  record.clear(TARNIX_RECORD(daChannels), sizeof(DeviceRecord::daChannels));
  record.clear(TARNIX_RECORD(portsB), sizeof(DeviceRecord::portsB));
}

uint16_t StoreTableCount(RecordRef record, std::size_t countOffset, int32_t answer, int capacity) {
  const uint16_t count = Bounded(static_cast<uint16_t>(answer), capacity);
  record.set<int16_t>(countOffset, static_cast<int16_t>(count));
  return count;
}

void FillAnalogInputs(RecordRef record, uint16_t count, double maxValue, double minValue) {
  const uint16_t n = Bounded(count, kAdChannelCapacity);
  for (std::size_t i = 0; i < n; ++i) {
    record.set<double>(AdEntry(i, TARNIX_OFFSET(ChannelEntry, maxValue)), maxValue);
    record.set<double>(AdEntry(i, TARNIX_OFFSET(ChannelEntry, minValue)), minValue);
    record.set<int32_t>(AdEntry(i, TARNIX_OFFSET(ChannelEntry, fullScaleCode)), kAdFullScale);
    record.set<int16_t>(AdEntry(i, TARNIX_OFFSET(ChannelEntry, entryType)), kEntryTypeAnalogInput);
  }
}

void FillAnalogOutputs(RecordRef record, uint16_t count) {
  const uint16_t n = Bounded(count, kDaChannelCapacity);
  for (std::size_t i = 0; i < n; ++i) {
    record.set<double>(DaEntry(i, TARNIX_OFFSET(ChannelEntry, maxValue)), kDaMax);
    record.set<double>(DaEntry(i, TARNIX_OFFSET(ChannelEntry, minValue)), kDaMin);
    record.set<int32_t>(DaEntry(i, TARNIX_OFFSET(ChannelEntry, fullScaleCode)), kDaFullScale);
    record.set<int16_t>(DaEntry(i, TARNIX_OFFSET(ChannelEntry, entryFlags)), 0);
    record.set<int16_t>(DaEntry(i, TARNIX_OFFSET(ChannelEntry, entryType)), kEntryTypeAnalogOutput);
    record.clear(DaEntry(i, TARNIX_OFFSET(ChannelEntry, extraWords)),
                 sizeof(ChannelEntry::extraWords));
  }
}

void FillPortsA(RecordRef record, uint16_t count) {
  const uint16_t n = Bounded(count, kPortCapacity);
  for (std::size_t i = 0; i < n; ++i) {
    record.set<int16_t>(PortAEntry(i, TARNIX_OFFSET(PortEntryA, portKind)), kPortKind);
    record.set<int16_t>(PortAEntry(i, TARNIX_OFFSET(PortEntryA, portMask)), kPortMask);
    record.set<int16_t>(PortAEntry(i, TARNIX_OFFSET(PortEntryA, portNumber)),
                        static_cast<int16_t>(i));
    record.set<int16_t>(PortAEntry(i, TARNIX_OFFSET(PortEntryA, portWidth)), kPortWidth);
    record.clear(PortAEntry(i, TARNIX_OFFSET(PortEntryA, portExtra)),
                 sizeof(PortEntryA::portExtra));
  }
}

void FillPortsB(RecordRef record, uint16_t count) {
  const uint16_t n = Bounded(count, kPortCapacity);
  for (std::size_t i = 0; i < n; ++i) {
    record.set<int16_t>(PortBEntry(i, TARNIX_OFFSET(PortEntryB, portKind)), kPortKind);
    record.set<int16_t>(PortBEntry(i, TARNIX_OFFSET(PortEntryB, portMask)), kPortMask);
    record.set<int16_t>(PortBEntry(i, TARNIX_OFFSET(PortEntryB, portNumber)),
                        static_cast<int16_t>(i));
    record.clear(PortBEntry(i, TARNIX_OFFSET(PortEntryB, portExtra)),
                 sizeof(PortEntryB::portExtra));
  }
}

void ClearAdChannelExtraWords(RecordRef record, uint16_t count) {
  const uint16_t n = Bounded(count, kAdChannelExtrasUsed);
  for (std::size_t i = 0; i < n; ++i) {
    record.set<int16_t>(EntryOffset(TARNIX_RECORD(adChannelExtras), sizeof(AdChannelExtra), i,
                                    TARNIX_OFFSET(AdChannelExtra, extraWord)),
                        0);
  }
}

}  // namespace tarnix
