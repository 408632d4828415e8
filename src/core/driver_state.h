// The module's process-wide state: one object, zero when the library loads.
//
// The module serves one host and one board at a time; every routine works on
// this one object. Nothing in it is allocated at load time.
#pragma once

#include <cstdint>

#include "abi/device_record.h"
#include "platform/platform.h"

namespace tarnix {

inline constexpr int kMaxScanChannels = 32;

struct DriverState {
  // The library's own instance, for string and dialog resources; set once by
  // process attach.
  platform::ModuleHandle moduleHandle;
  // The host's record, kept from DRV_InitDevice on; never freed by the module
  // and still held after DRV_KillDevice.
  void* deviceRecord;
  // Nonzero once DRV_InitDevice has succeeded; never reset.
  int16_t initialized;
  // Serial number of the board in use; 0 = no board.
  int32_t serialNo;
  // Number of boards reported by the board library.
  int32_t boardCount;
  // Position of the selected board in the setup dialog's board list.
  int32_t boardIndex;
  // Board type number of the selected board.
  int32_t boardType;
  // Clock-source index: 0 internal, 1 external.
  int32_t clockSource;
  // Input-range index: position in the board's range list.
  int32_t range;
  // Gain index: position in the board's gain list.
  int32_t gain;
  // Acquisition mode index: 0 normal, 1 burst.
  int32_t mode;
  // Nonzero while a measurement runs.
  int32_t busy;
  // 0x10000 while a measurement runs, else 0; reported in MeasInfoEx.
  int32_t stateWord;
  // The record's bufferSize as found when the buffers were last allocated.
  int32_t savedBufferSize;
  // The host buffer (16-bit codes) and its capacity in samples.
  int16_t* hostBuffer;
  uint32_t hostCapacity;
  // The raw buffer the board library fills (32-bit microvolts) and its
  // capacity in samples.
  int32_t* localBuffer;
  uint32_t localCapacity;
  // Scan configuration handed to the board library: the set bits of the
  // channel mask, how many there are, the list and one gain code per entry,
  // and the rate passed by address.
  int32_t channelNumbers[kMaxScanChannels];
  int32_t channelCount;
  int32_t channelList[kMaxScanChannels];
  int32_t gainCodes[kMaxScanChannels];
  int32_t rateArgument;
  // Message buffers of ShowMessage and DRV_ShowError.
  char loadBuffer[80];
  char captionBuffer[128];
  char textBuffer[128];
};

// The one instance.
extern DriverState g_state;

// The host's record, or an invalid reference before DRV_InitDevice stored one.
inline RecordRef Record() { return RecordRef(g_state.deviceRecord); }

// Stores an error code in the record, when there is one.
void SetErrorCode(int32_t code);

}  // namespace tarnix
