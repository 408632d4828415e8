// The module's exported entry points, as the host declares them. Every one
// uses the standard Windows calling convention; names that share one routine
// are aliases (the .def file for the DLL, alias attributes natively).
#pragma once

#include <cstdint>

#include "platform/calling.h"

extern "C" {

// Device lifecycle and errors.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_InitDevice(void* record);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_KillDevice();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_ShowError();
// Measurement check, start and stop.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_TestStruct();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_StartMeas();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_StopMeas();
// Sample buffers and block transfer.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SetInputBufferSize(int32_t size);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetInputBufStatus();
TARNIX_EXPORT int16_t* TARNIX_WINAPI DRV_GetInputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_AdvanceInputBuf();
TARNIX_EXPORT void* TARNIX_WINAPI DRV_GetMeasInfoEx();
// Single-point I/O.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_WriteAnalogOutput(int32_t channel, int32_t code);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_WriteDigitalOutput(int32_t port, int32_t value);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_WriteCounterOutput(int32_t counter, int32_t value);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_ReadDigitalInput(int32_t port);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_ReadCounterInput(int32_t counter);
TARNIX_EXPORT const char* TARNIX_WINAPI DRV_ExplainGainCode(int32_t a, int32_t b);
// Inert entries: one routine per group.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SetScanList(int32_t a, int32_t b, int32_t c);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SetAnalogOutputBufferMode(int32_t a, int32_t b, int32_t c);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SetCounterOutputBufferMode(int32_t a, int32_t b, int32_t c);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SetDigitalOutputBufferMode(int32_t a, int32_t b, int32_t c);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_AdvanceAnalogOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_AdvanceCounterOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_AdvanceDigitalOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetAnalogOutputStatus();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetAnalogOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetCounterOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetCounterOutputStatus();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetDigitalOutputBuf();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetDigitalOutputStatus();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_GetHardwareDescription();
// Setup user interface.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_ShowDialog(int32_t selector, int32_t ignored);
// Worksheet settings.
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_NewWorksheet();
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_LoadWorksheet(const char* name);
TARNIX_EXPORT int32_t TARNIX_WINAPI DRV_SaveWorksheet(const char* name);

}  // extern "C"
