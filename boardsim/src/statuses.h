// Statuses the simulated board library answers, and their texts.
//
// Every failure has its own number so a caller (and a test) can tell exactly
// which argument was refused. 0 is success; VELQ_ADGetData answers the number
// of samples stored, so its successes are 0 or above as well.
#pragma once

#include <cstdint>

#include "abi/board_api.h"

namespace velqsim {

enum Status : int32_t {
  kOk = 0,
  kUnknownSerial = -1,      // no board (or library) with that serial number
  kUnknownQuery = -2,       // query code not known at all
  kNullPointer = -3,        // a required address is null
  kBadParameter = -4,       // query parameter / index out of range
  kWrongTarget = -5,        // library query asked of a board, or the reverse
  kBadChannel = -6,         // analog-input channel number not on the board
  kBadChannelCount = -7,    // channel count outside 1..16
  kBadRate = -8,            // rate outside 1..maximum
  kBadClockSource = -9,     // clock source other than 0 or 1
  kBadMode = -10,           // mode other than 0 (normal) or 1 (burst)
  kBadGainCode = -11,       // (range << 8) | gain outside the board's tables
  kBadReserved = -12,       // reserved argument of VELQ_ADConfig not 0
  kNotConfigured = -13,     // VELQ_ADStart before a good VELQ_ADConfig
  kAdRunning = -14,         // configure or start while the scan runs
  kBadCount = -15,          // negative sample count asked of VELQ_ADGetData
  kBadOutputChannel = -16,  // analog-output channel not on the board
  kOutputValueRange = -17,  // analog-output value beyond +-10 V
  kBadPort = -18,           // digital port not on the board
  kBadCounter = -19,        // counter not on the board
  kNotReady = -20,          // board profile invalid: library refuses to serve
};

// Text buffers the callers hand in (VELQ_StrError, VELQ_StrBoardName).
using tarnix::velq::kBoardNameBytes;
using tarnix::velq::kErrorTextBytes;

// The text of a status, or nullptr when the library never answers it.
const char* StatusText(int32_t status);

// Writes the text of any status (a generic one naming the number for
// statuses the library does not know) terminated within kErrorTextBytes.
void FormatStatusText(int32_t status, char* text);

// Bounded, always terminated copy of `source` into `bytes` bytes (bytes > 0).
void CopyTerminated(char* target, int bytes, const char* source);

}  // namespace velqsim
