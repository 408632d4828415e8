// What the module says the selected board has, read back from the record
// it filled at initialisation (or after the setup dialog or a worksheet).
#pragma once

#include "abi/device_record.h"

namespace host {

struct BoardCounts {
  int inputs = 0;       // entries of the analog-input table
  int outputs = 0;      // analog outputs
  int outputPorts = 0;  // digital ports of the first port table
  int inputPorts = 0;   // digital ports of the second port table
  int counters = 0;     // counters (no table: the count alone)
};

// The counts are 16-bit and the tables have fixed capacities: a count is
// read as unsigned and never exceeds its table, so walking the tables with
// these counts stays inside the record.
BoardCounts ReadBoardCounts(tarnix::RecordRef record);

// The first analog input's range, volts: every input of a scan shares it.
double InputRangeMin(tarnix::RecordRef record);
double InputRangeMax(tarnix::RecordRef record);

}  // namespace host
