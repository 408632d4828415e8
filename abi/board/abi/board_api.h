// The board access library (VLQAPI.dll / libvlqapi.so): what the module
// calls and the simulated library implements.
//
// Every function answers a signed 32-bit value: VELQ_Query its answer, the
// others a status where negative means failure. A board is named by its serial
// number; kLibrarySerial names the library itself. Where the module keeps a
// failure it stores status - 200 in the record's errorCode.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "abi/board_entries.h"
#include "abi/calling.h"

extern "C" {

#define TARNIX_DECLARE_VELQ(name, params, bytes) \
  TARNIX_EXPORT int32_t TARNIX_WINAPI VELQ_##name params;
TARNIX_BOARD_FUNCTIONS(TARNIX_DECLARE_VELQ)
#undef TARNIX_DECLARE_VELQ

}  // extern "C"

namespace tarnix::abi {

#define TARNIX_CHECK_VELQ(name, params, bytes) \
  static_assert(kStackArgumentBytes<int32_t params> == bytes, "argument bytes of VELQ_" #name);
TARNIX_BOARD_FUNCTIONS(TARNIX_CHECK_VELQ)
#undef TARNIX_CHECK_VELQ

// Every function name, in table order.
inline constexpr std::string_view kBoardFunctionNames[] = {
#define TARNIX_NAME_VELQ(name, params, bytes) "VELQ_" #name,
    TARNIX_BOARD_FUNCTIONS(TARNIX_NAME_VELQ)
#undef TARNIX_NAME_VELQ
};
inline constexpr int kBoardFunctionCount = static_cast<int>(std::size(kBoardFunctionNames));

}  // namespace tarnix::abi

namespace tarnix::velq {

inline constexpr int32_t kLibrarySerial = 1000000000;  // the library itself
inline constexpr int kBoardNameBytes = 40;             // VELQ_StrBoardName buffer
inline constexpr int kErrorTextBytes = 80;             // VELQ_StrError buffer
inline constexpr int32_t kStatusToErrorCode = -200;    // errorCode = status - 200

// Query codes; parameter 0 unless stated.
enum Query : int32_t {
  kVersionMajor = 1,        // library
  kVersionMinor = 2,        // library
  kVersionBuild = 3,        // library
  kOperatingSystem = 4,     // library: 1 = Windows 95/98, other = NT
  kBoardCount = 5,          // library
  kBoardType = 10,          // board
  kRevision = 11,           // board
  kDatePart12 = 12,         // board: manufacturing date, first part shown last
  kDatePart13 = 13,         // board
  kDatePart14 = 14,         // board: shown first
  kBoardSerial = 15,        // library, parameter i: serial of board i
  kBoardVersionMajor = 20,  // board
  kBoardVersionMinor = 21,  // board
  kBoardVersionBuild = 22,  // board
  kMaxAdRate = 102,         // board: Hz
  kAdState = 103,           // board: 1 = running
  kOverrunA = 105,          // board: nonzero = overrun
  kOverrunB = 107,          // board: nonzero = overrun (asked first)
  kSamplesWaiting = 109,    // board
  kGainCount = 144,         // board
  kGainSpan = 145,          // board, parameter i: span of gain i in mV
  kRangeCount = 146,        // board
  kRangeKind = 147,         // board, parameter i: kind of range i (0..3)
  kAnalogOutputs = 200,     // board
  kCounters = 300,          // board
  kDigitalPorts = 400,      // board
};

inline constexpr int32_t kAdRunning = 1;  // answer of kAdState while scanning

}  // namespace tarnix::velq
