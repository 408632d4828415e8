// The export table's routines: thin entry points that hand each call to the
// subsystem that owns it. Names that share a routine are made from the table
// (abi/driver_entries.h): natively as aliases here, for the DLL in the .def
// file the build writes.
#include "abi/driver_exports.h"
#include "acquire/buffers.h"
#include "acquire/measure.h"
#include "acquire/transfer.h"
#include "core/lifecycle.h"
#include "io/single_point.h"
#include "settings/worksheet.h"
#include "ui/dialogs.h"

extern "C" {

int32_t TARNIX_WINAPI DRV_InitDevice(void* record) { return tarnix::InitDevice(record); }
int32_t TARNIX_WINAPI DRV_KillDevice() { return tarnix::KillDevice(); }
int32_t TARNIX_WINAPI DRV_ShowError() { return tarnix::ShowError(); }

int32_t TARNIX_WINAPI DRV_TestStruct() { return tarnix::TestStruct(); }
int32_t TARNIX_WINAPI DRV_StartMeas() { return tarnix::StartMeas(); }
int32_t TARNIX_WINAPI DRV_StopMeas() { return tarnix::StopMeas(); }

int32_t TARNIX_WINAPI DRV_SetInputBufferSize(int32_t size) {
  return tarnix::SetInputBufferSize(size);
}
int32_t TARNIX_WINAPI DRV_GetInputBufStatus() { return tarnix::GetInputBufStatus(); }
int16_t* TARNIX_WINAPI DRV_GetInputBuf() { return tarnix::GetInputBuf(); }
int32_t TARNIX_WINAPI DRV_AdvanceInputBuf() { return tarnix::AdvanceInputBuf(); }
void* TARNIX_WINAPI DRV_GetMeasInfoEx() { return tarnix::GetMeasInfoEx(); }

int32_t TARNIX_WINAPI DRV_WriteAnalogOutput(int32_t channel, int32_t code) {
  return tarnix::WriteAnalogOutput(channel, code);
}
int32_t TARNIX_WINAPI DRV_WriteDigitalOutput(int32_t port, int32_t value) {
  return tarnix::WriteDigitalOutput(port, value);
}
int32_t TARNIX_WINAPI DRV_WriteCounterOutput(int32_t counter, int32_t value) {
  return tarnix::WriteCounterOutput(counter, value);
}
int32_t TARNIX_WINAPI DRV_ReadDigitalInput(int32_t port) { return tarnix::ReadDigitalInput(port); }
int32_t TARNIX_WINAPI DRV_ReadCounterInput(int32_t counter) {
  return tarnix::ReadCounterInput(counter);
}
const char* TARNIX_WINAPI DRV_ExplainGainCode(int32_t, int32_t) {
  return tarnix::ExplainGainCode();
}

// The host's output-stream, scan-list and hardware-description entries: the
// module accepts them and answers fixed values.
int32_t TARNIX_WINAPI DRV_SetScanList(int32_t, int32_t, int32_t) { return 0; }
int32_t TARNIX_WINAPI DRV_AdvanceAnalogOutputBuf() { return 1; }
int32_t TARNIX_WINAPI DRV_GetAnalogOutputBuf() { return 0; }

int32_t TARNIX_WINAPI DRV_ShowDialog(int32_t selector, int32_t) {
  return tarnix::ShowDialog(selector);
}

int32_t TARNIX_WINAPI DRV_NewWorksheet() { return tarnix::NewWorksheet(); }
int32_t TARNIX_WINAPI DRV_LoadWorksheet(const char* name) { return tarnix::LoadWorksheet(name); }
int32_t TARNIX_WINAPI DRV_SaveWorksheet(const char* name) { return tarnix::SaveWorksheet(name); }

}  // extern "C"

#define TARNIX_NO_ALIAS(...)
#define TARNIX_ALIAS(name, result, params, bytes, routine) \
  TARNIX_EXPORT_ALIAS(result, DRV_##name, params, DRV_##routine)
TARNIX_DRIVER_ENTRIES(TARNIX_NO_ALIAS, TARNIX_ALIAS)
#undef TARNIX_NO_ALIAS
#undef TARNIX_ALIAS
