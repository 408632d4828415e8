// The board access library (VLQAPI.dll / libvlqapi.so) as the module sees it.
//
// Every function answers a signed 32-bit value: VELQ_Query its answer, the
// others a status where negative means failure. A board is named by its serial
// number; kLibrarySerial names the library itself. Where the module keeps a
// failure it stores status - 200 in the record's errorCode.
#pragma once

#include <cstdint>

#include "platform/calling.h"

extern "C" {

// Answer to one query code (table below) for a board or the library.
int32_t TARNIX_WINAPI VELQ_Query(int32_t serial, int32_t code, int32_t param);
// Board name as a terminated text into a buffer of kBoardNameBytes bytes.
int32_t TARNIX_WINAPI VELQ_StrBoardName(int32_t serial, char* text);
// Message text for a library status into a buffer of kErrorTextBytes bytes.
int32_t TARNIX_WINAPI VELQ_StrError(int32_t status, char* text);
// Configures the analog-input scan. reserved is always 0.
int32_t TARNIX_WINAPI VELQ_ADConfig(int32_t serial, int32_t* rate, int32_t clockSource,
                                    int32_t mode, int32_t reserved, int32_t* channelList,
                                    int32_t* gainCodes, int32_t channelCount);
int32_t TARNIX_WINAPI VELQ_ADStart(int32_t serial);
int32_t TARNIX_WINAPI VELQ_ADStop(int32_t serial);
// Stores up to *count signed 32-bit microvolt samples at buffer and may store
// the number delivered in *count. count may be unaligned (it points into the
// packed host record); the library must access it bytewise.
int32_t TARNIX_WINAPI VELQ_ADGetData(int32_t serial, int32_t* buffer, int32_t* count);
int32_t TARNIX_WINAPI VELQ_DAWrite(int32_t serial, int32_t channel, int32_t microvolts);
int32_t TARNIX_WINAPI VELQ_DioWrite(int32_t serial, int32_t port, int32_t value);
int32_t TARNIX_WINAPI VELQ_CTWrite(int32_t serial, int32_t counter, int32_t value);
int32_t TARNIX_WINAPI VELQ_DioRead(int32_t serial, int32_t port, int32_t* value);
int32_t TARNIX_WINAPI VELQ_CTRead(int32_t serial, int32_t counter, int32_t* value);

}  // extern "C"

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
