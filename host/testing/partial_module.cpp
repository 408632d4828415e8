// A module with only some of the host's entry points, so that tarnix-host's
// report of missing entries can be seen and tested. None of them does
// anything.
#include <cstdint>

#include "abi/calling.h"

#define PARTIAL_ENTRY extern "C" TARNIX_EXPORT int32_t TARNIX_WINAPI

PARTIAL_ENTRY DRV_InitDevice(void*) { return 0; }
PARTIAL_ENTRY DRV_KillDevice() { return 1; }
PARTIAL_ENTRY DRV_ShowError() { return 1; }
PARTIAL_ENTRY DRV_TestStruct() { return 0; }
PARTIAL_ENTRY DRV_StartMeas() { return 0; }
PARTIAL_ENTRY DRV_StopMeas() { return 1; }
