// Single-point I/O: one value written to or read from the board in serialNo,
// straight through the board library. These entries trace nothing and do
// not check for a selected board: the library's answer for serial 0 decides.
#include "io/single_point.h"

#include "abi/analog_output_code.h"
#include "abi/board_api.h"
#include "core/driver_state.h"

namespace tarnix {
namespace {

// The library's failure status as the record's error code (status - 200),
// wrapped in 32 bits so that even INT32_MIN cannot overflow.
int32_t LibraryErrorCode(int32_t status) {
  return static_cast<int32_t>(static_cast<uint32_t>(status) +
                              static_cast<uint32_t>(velq::kStatusToErrorCode));
}

// A write that the host learns about: 1 on success; on failure the library's
// code goes into the record and the host gets 0.
int32_t ReportWrite(int32_t status) {
  if (status < 0) {
    SetErrorCode(LibraryErrorCode(status));
    return 0;
  }
  return 1;
}

// A read: the value the library stored, or 0 with the code in the record.
int32_t ReportRead(int32_t status, int32_t value) {
  if (status < 0) {
    SetErrorCode(LibraryErrorCode(status));
    return 0;
  }
  return value;
}

}  // namespace

int32_t CodeToMicrovolts(int32_t code) {
  // Offset-binary 16-bit code to microvolts: 305 uV per step, 32768 = 0 V
  // (305 * 32768 = 9994240 uV below zero at code 0). Computed in unsigned 32
  // bits so codes outside 0..65535 wrap as the board's 32-bit arithmetic
  // does instead of overflowing.
  constexpr uint32_t kPerCode = abi::kAnalogOutputMicrovoltsPerCode;
  constexpr uint32_t kBelowZero = kPerCode * abi::kAnalogOutputZeroVoltsCode;
  static_assert(kBelowZero == 9994240u);
  uint32_t microvolts = kPerCode * static_cast<uint32_t>(code) - kBelowZero;
  return static_cast<int32_t>(microvolts);
}

int32_t WriteAnalogOutput(int32_t channel, int32_t code) {
  // The analog write has no failure the host could act on; its status is
  // deliberately dropped.
  VELQ_DAWrite(g_state.serialNo, channel, CodeToMicrovolts(code));
  return 1;
}

int32_t WriteDigitalOutput(int32_t port, int32_t value) {
  return ReportWrite(VELQ_DioWrite(g_state.serialNo, port, value));
}

int32_t WriteCounterOutput(int32_t counter, int32_t value) {
  return ReportWrite(VELQ_CTWrite(g_state.serialNo, counter, value));
}

int32_t ReadDigitalInput(int32_t port) {
  // Starts at 0 so a library that reports success without storing a value
  // hands the host 0, not stack garbage.
  int32_t value = 0;
  int32_t status = VELQ_DioRead(g_state.serialNo, port, &value);
  return ReportRead(status, value);
}

int32_t ReadCounterInput(int32_t counter) {
  int32_t value = 0;
  int32_t status = VELQ_CTRead(g_state.serialNo, counter, &value);
  return ReportRead(status, value);
}

const char* ExplainGainCode() {
  // The host asks for a text per gain code; this module has none to give.
  static constexpr char kNoExplanation[] = " ? ? ? ";
  return kNoExplanation;
}

}  // namespace tarnix
