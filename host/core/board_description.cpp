#include "board_description.h"

namespace host {
namespace {

using tarnix::ChannelEntry;
using tarnix::DeviceRecord;

int Bounded(tarnix::RecordRef r, std::size_t offset, int capacity) {
  int n = static_cast<uint16_t>(r.get<int16_t>(offset));
  return n > capacity ? capacity : n;
}

}  // namespace

BoardCounts ReadBoardCounts(tarnix::RecordRef r) {
  BoardCounts counts;
  counts.inputs = Bounded(r, TARNIX_RECORD(adChannelCount), tarnix::kAdChannelCapacity);
  counts.outputs = Bounded(r, TARNIX_RECORD(daChannelCount), tarnix::kDaChannelCapacity);
  counts.outputPorts = Bounded(r, TARNIX_RECORD(portCountA), tarnix::kPortCapacity);
  counts.inputPorts = Bounded(r, TARNIX_RECORD(portCountB), tarnix::kPortCapacity);
  counts.counters = static_cast<uint16_t>(r.get<int16_t>(TARNIX_RECORD(counterCount)));
  return counts;
}

double InputRangeMin(tarnix::RecordRef r) {
  return r.get<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, minValue));
}

double InputRangeMax(tarnix::RecordRef r) {
  return r.get<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, maxValue));
}

}  // namespace host
