// The module's export table: every DRV_ entry point the host calls, one row
// each. Everything else is expanded from here: the declarations
// (abi/driver_exports.h), the native aliases, tarnix.def with its ordinals and
// 32-bit @N decorations (written by the build), and the host exerciser's
// resolver and entry count.
//
// A row: OWN(name, result, arguments, argument bytes, routine) for an entry
// with a routine of its own (the routine is then the entry itself), or
// SHARED(...) for a further name of another entry's routine. Names are
// written without their DRV_ prefix. Argument bytes are those the callee
// removes from the 32-bit stack (the N of Name@N); abi/driver_exports.h checks
// them against the arguments. Rows stay in alphabetical order of the names,
// which is the order of the ordinals 1, 2, ...
//
// Plain preprocessor text: the build expands it to write the .def file.
#pragma once

// clang-format off
#define TARNIX_DRIVER_ENTRIES(OWN, SHARED)                                                     \
  OWN(AdvanceAnalogOutputBuf, int32_t, (), 0, AdvanceAnalogOutputBuf)                          \
  SHARED(AdvanceCounterOutputBuf, int32_t, (), 0, AdvanceAnalogOutputBuf)                      \
  SHARED(AdvanceDigitalOutputBuf, int32_t, (), 0, AdvanceAnalogOutputBuf)                      \
  OWN(AdvanceInputBuf, int32_t, (), 0, AdvanceInputBuf)                                        \
  OWN(ExplainGainCode, const char*, (int32_t a, int32_t b), 8, ExplainGainCode)                \
  OWN(GetAnalogOutputBuf, int32_t, (), 0, GetAnalogOutputBuf)                                  \
  SHARED(GetAnalogOutputStatus, int32_t, (), 0, AdvanceAnalogOutputBuf)                        \
  SHARED(GetCounterOutputBuf, int32_t, (), 0, GetAnalogOutputBuf)                              \
  SHARED(GetCounterOutputStatus, int32_t, (), 0, GetAnalogOutputBuf)                           \
  SHARED(GetDigitalOutputBuf, int32_t, (), 0, GetAnalogOutputBuf)                              \
  SHARED(GetDigitalOutputStatus, int32_t, (), 0, GetAnalogOutputBuf)                           \
  SHARED(GetHardwareDescription, int32_t, (), 0, GetAnalogOutputBuf)                           \
  OWN(GetInputBuf, int16_t*, (), 0, GetInputBuf)                                               \
  OWN(GetInputBufStatus, int32_t, (), 0, GetInputBufStatus)                                    \
  OWN(GetMeasInfoEx, void*, (), 0, GetMeasInfoEx)                                              \
  OWN(InitDevice, int32_t, (void* record), 4, InitDevice)                                      \
  OWN(KillDevice, int32_t, (), 0, KillDevice)                                                  \
  OWN(LoadWorksheet, int32_t, (const char* name), 4, LoadWorksheet)                            \
  OWN(NewWorksheet, int32_t, (), 0, NewWorksheet)                                              \
  OWN(ReadCounterInput, int32_t, (int32_t counter), 4, ReadCounterInput)                       \
  OWN(ReadDigitalInput, int32_t, (int32_t port), 4, ReadDigitalInput)                          \
  OWN(SaveWorksheet, int32_t, (const char* name), 4, SaveWorksheet)                            \
  SHARED(SetAnalogOutputBufferMode, int32_t, (int32_t a, int32_t b, int32_t c), 12, SetScanList)  \
  SHARED(SetCounterOutputBufferMode, int32_t, (int32_t a, int32_t b, int32_t c), 12, SetScanList) \
  SHARED(SetDigitalOutputBufferMode, int32_t, (int32_t a, int32_t b, int32_t c), 12, SetScanList) \
  OWN(SetInputBufferSize, int32_t, (int32_t size), 4, SetInputBufferSize)                      \
  OWN(SetScanList, int32_t, (int32_t a, int32_t b, int32_t c), 12, SetScanList)                \
  OWN(ShowDialog, int32_t, (int32_t selector, int32_t ignored), 8, ShowDialog)                 \
  OWN(ShowError, int32_t, (), 0, ShowError)                                                    \
  OWN(StartMeas, int32_t, (), 0, StartMeas)                                                    \
  OWN(StopMeas, int32_t, (), 0, StopMeas)                                                      \
  OWN(TestStruct, int32_t, (), 0, TestStruct)                                                  \
  OWN(WriteAnalogOutput, int32_t, (int32_t channel, int32_t code), 8, WriteAnalogOutput)       \
  OWN(WriteCounterOutput, int32_t, (int32_t counter, int32_t value), 8, WriteCounterOutput)    \
  OWN(WriteDigitalOutput, int32_t, (int32_t port, int32_t value), 8, WriteDigitalOutput)
// clang-format on
