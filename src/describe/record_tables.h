// The record's description tables: clearing them and filling their entries.
//
// Every walk is bounded by the table's capacity, whatever count the board
// answered, so no fill reaches past a table into the next field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/device_record.h"

namespace tarnix {

// Zeroes adChannels, portsA, counterArea, daChannels and portsB.
void ClearDescriptionTables(RecordRef record);

// Stores a board's count for a table of `capacity` entries and answers the
// number of entries to fill. The answer is read as unsigned 16 bits (a
// negative answer becomes a large count) and clipped to the capacity; the
// stored count is the clipped one, so the record never promises entries the
// table cannot hold.
uint16_t StoreTableCount(RecordRef record, std::size_t countOffset, int32_t answer, int capacity);

// Fill the first `count` entries (at most the table's capacity).
void FillAnalogInputs(RecordRef record, uint16_t count, double maxValue, double minValue);
void FillAnalogOutputs(RecordRef record, uint16_t count);
void FillPortsA(RecordRef record, uint16_t count);
void FillPortsB(RecordRef record, uint16_t count);
// Sets extraWord of the first `count` AdChannelExtra entries (at most 8) to 0
// and leaves the host's other 12 bytes of each entry alone.
void ClearAdChannelExtraWords(RecordRef record, uint16_t count);

}  // namespace tarnix
