#include "driver_api.h"

#include <cstring>

namespace host {
namespace {

// One row per export: its name and where its address goes. memcpy keeps the
// object-to-function pointer conversion well defined on both platforms.
struct EntryRow {
  const char* name;
  void* slot;
  size_t size;
};

#define TARNIX_ENTRY(field) \
  EntryRow { "DRV_" #field, &api->field, sizeof api->field }

}  // namespace

std::vector<std::string> ResolveDriverApi(const LoadedLibrary& library, DriverApi* api) {
  const EntryRow rows[] = {
      TARNIX_ENTRY(AdvanceAnalogOutputBuf),
      TARNIX_ENTRY(AdvanceCounterOutputBuf),
      TARNIX_ENTRY(AdvanceDigitalOutputBuf),
      TARNIX_ENTRY(AdvanceInputBuf),
      TARNIX_ENTRY(ExplainGainCode),
      TARNIX_ENTRY(GetAnalogOutputBuf),
      TARNIX_ENTRY(GetAnalogOutputStatus),
      TARNIX_ENTRY(GetCounterOutputBuf),
      TARNIX_ENTRY(GetCounterOutputStatus),
      TARNIX_ENTRY(GetDigitalOutputBuf),
      TARNIX_ENTRY(GetDigitalOutputStatus),
      TARNIX_ENTRY(GetHardwareDescription),
      TARNIX_ENTRY(GetInputBuf),
      TARNIX_ENTRY(GetInputBufStatus),
      TARNIX_ENTRY(GetMeasInfoEx),
      TARNIX_ENTRY(InitDevice),
      TARNIX_ENTRY(KillDevice),
      TARNIX_ENTRY(LoadWorksheet),
      TARNIX_ENTRY(NewWorksheet),
      TARNIX_ENTRY(ReadCounterInput),
      TARNIX_ENTRY(ReadDigitalInput),
      TARNIX_ENTRY(SaveWorksheet),
      TARNIX_ENTRY(SetAnalogOutputBufferMode),
      TARNIX_ENTRY(SetCounterOutputBufferMode),
      TARNIX_ENTRY(SetDigitalOutputBufferMode),
      TARNIX_ENTRY(SetInputBufferSize),
      TARNIX_ENTRY(SetScanList),
      TARNIX_ENTRY(ShowDialog),
      TARNIX_ENTRY(ShowError),
      TARNIX_ENTRY(StartMeas),
      TARNIX_ENTRY(StopMeas),
      TARNIX_ENTRY(TestStruct),
      TARNIX_ENTRY(WriteAnalogOutput),
      TARNIX_ENTRY(WriteCounterOutput),
      TARNIX_ENTRY(WriteDigitalOutput),
  };
  static_assert(sizeof rows / sizeof rows[0] == kEntryPointCount);
  std::vector<std::string> missing;
  for (const EntryRow& row : rows) {
    void* address = library.Symbol(row.name);
    if (address == nullptr) {
      missing.emplace_back(row.name);
      continue;
    }
    std::memcpy(row.slot, &address, row.size);
  }
  return missing;
}

#undef TARNIX_ENTRY

}  // namespace host
