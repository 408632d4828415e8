// The module's 35 entry points as the host calls them, resolved by name from
// the loaded library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os.h"
#include "platform/calling.h"

namespace host {

using IntFn = int32_t(TARNIX_WINAPI*)();
using IntFn1 = int32_t(TARNIX_WINAPI*)(int32_t);
using IntFn2 = int32_t(TARNIX_WINAPI*)(int32_t, int32_t);
using IntFn3 = int32_t(TARNIX_WINAPI*)(int32_t, int32_t, int32_t);
using RecordFn = int32_t(TARNIX_WINAPI*)(void*);
using NameFn = int32_t(TARNIX_WINAPI*)(const char*);
using BlockFn = int16_t*(TARNIX_WINAPI*)();
using InfoFn = void*(TARNIX_WINAPI*)();
using TextFn = const char*(TARNIX_WINAPI*)(int32_t, int32_t);

struct DriverApi {
  RecordFn InitDevice = nullptr;
  IntFn KillDevice = nullptr;
  IntFn ShowError = nullptr;
  IntFn TestStruct = nullptr;
  IntFn StartMeas = nullptr;
  IntFn StopMeas = nullptr;
  IntFn1 SetInputBufferSize = nullptr;
  IntFn GetInputBufStatus = nullptr;
  BlockFn GetInputBuf = nullptr;
  IntFn AdvanceInputBuf = nullptr;
  InfoFn GetMeasInfoEx = nullptr;
  IntFn2 WriteAnalogOutput = nullptr;
  IntFn2 WriteDigitalOutput = nullptr;
  IntFn2 WriteCounterOutput = nullptr;
  IntFn1 ReadDigitalInput = nullptr;
  IntFn1 ReadCounterInput = nullptr;
  TextFn ExplainGainCode = nullptr;
  IntFn3 SetScanList = nullptr;
  IntFn3 SetAnalogOutputBufferMode = nullptr;
  IntFn3 SetCounterOutputBufferMode = nullptr;
  IntFn3 SetDigitalOutputBufferMode = nullptr;
  IntFn AdvanceAnalogOutputBuf = nullptr;
  IntFn AdvanceCounterOutputBuf = nullptr;
  IntFn AdvanceDigitalOutputBuf = nullptr;
  IntFn GetAnalogOutputStatus = nullptr;
  IntFn GetAnalogOutputBuf = nullptr;
  IntFn GetCounterOutputBuf = nullptr;
  IntFn GetCounterOutputStatus = nullptr;
  IntFn GetDigitalOutputBuf = nullptr;
  IntFn GetDigitalOutputStatus = nullptr;
  IntFn GetHardwareDescription = nullptr;
  IntFn2 ShowDialog = nullptr;
  IntFn NewWorksheet = nullptr;
  NameFn LoadWorksheet = nullptr;
  NameFn SaveWorksheet = nullptr;
};

inline constexpr int kEntryPointCount = 35;

// Resolves every entry point; answers the names the library lacks (empty
// when all 35 are there). Entries that are missing stay nullptr.
std::vector<std::string> ResolveDriverApi(const LoadedLibrary& library, DriverApi* api);

}  // namespace host
