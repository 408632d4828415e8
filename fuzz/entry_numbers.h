// The fuzz target's numbering of the module's entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "abi/driver_exports.h"

namespace tarnix::fuzz {

// The entry points by the number a fuzz input calls them by (the numbers
// fuzz/make_seeds.py writes, and what the committed corpus means): every row
// of the export table has exactly one, and its own case in CallEntryPoint, or
// the build stops. A new row takes the next number.
enum class Entry : uint8_t {
#define TARNIX_FUZZ_ENTRY(name, ...) name,
  TARNIX_DRIVER_ENTRIES(TARNIX_FUZZ_ENTRY, TARNIX_FUZZ_ENTRY)
#undef TARNIX_FUZZ_ENTRY
};
constexpr Entry kEntryByNumber[] = {
    Entry::InitDevice,                  // 0
    Entry::KillDevice,                  // 1
    Entry::ShowError,                   // 2
    Entry::TestStruct,                  // 3
    Entry::StartMeas,                   // 4
    Entry::StopMeas,                    // 5
    Entry::SetInputBufferSize,          // 6
    Entry::GetInputBufStatus,           // 7
    Entry::GetInputBuf,                 // 8
    Entry::AdvanceInputBuf,             // 9
    Entry::GetMeasInfoEx,               // 10
    Entry::WriteAnalogOutput,           // 11
    Entry::WriteDigitalOutput,          // 12
    Entry::WriteCounterOutput,          // 13
    Entry::ReadDigitalInput,            // 14
    Entry::ReadCounterInput,            // 15
    Entry::ExplainGainCode,             // 16
    Entry::SetScanList,                 // 17
    Entry::SetAnalogOutputBufferMode,   // 18
    Entry::SetCounterOutputBufferMode,  // 19
    Entry::SetDigitalOutputBufferMode,  // 20
    Entry::AdvanceAnalogOutputBuf,      // 21
    Entry::AdvanceCounterOutputBuf,     // 22
    Entry::AdvanceDigitalOutputBuf,     // 23
    Entry::GetAnalogOutputStatus,       // 24
    Entry::GetAnalogOutputBuf,          // 25
    Entry::GetCounterOutputBuf,         // 26
    Entry::GetCounterOutputStatus,      // 27
    Entry::GetDigitalOutputBuf,         // 28
    Entry::GetDigitalOutputStatus,      // 29
    Entry::GetHardwareDescription,      // 30
    Entry::ShowDialog,                  // 31
    Entry::NewWorksheet,                // 32
    Entry::LoadWorksheet,               // 33
    Entry::SaveWorksheet,               // 34
};
constexpr bool NumbersEveryEntryOnce() {
  if (std::size(kEntryByNumber) != std::size(tarnix::abi::kDriverEntryNames)) return false;
  bool numbered[std::size(kEntryByNumber)] = {};
  for (Entry entry : kEntryByNumber) {
    bool& seen = numbered[static_cast<std::size_t>(entry)];
    if (seen) return false;
    seen = true;
  }
  return true;
}
static_assert(NumbersEveryEntryOnce(), "each row of the export table needs one number here");

// The entry a fuzz input's call step names: its number modulo the entries.
constexpr Entry EntryNumbered(uint8_t which) {
  return kEntryByNumber[which % tarnix::abi::kDriverEntryCount];
}

}  // namespace tarnix::fuzz
