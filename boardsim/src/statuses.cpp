#include "statuses.h"

#include <cstdio>
#include <cstring>

namespace velqsim {

namespace {

struct StatusEntry {
  int32_t status;
  const char* text;
};

// Each text fits in 80 bytes with its terminator (checked by the tests).
constexpr StatusEntry kStatusTexts[] = {
    {kOk, "No error"},
    {kUnknownSerial, "Unknown board serial number"},
    {kUnknownQuery, "Unknown query code"},
    {kNullPointer, "Required address is null"},
    {kBadParameter, "Parameter out of range"},
    {kWrongTarget, "Query code not available for this serial number"},
    {kBadChannel, "Analog input channel not on this board"},
    {kBadChannelCount, "Channel count must be 1 to 16"},
    {kBadRate, "Sampling rate out of range for this board"},
    {kBadClockSource, "Unknown clock source"},
    {kBadMode, "Unknown acquisition mode"},
    {kBadGainCode, "Gain code not in this board's range and gain tables"},
    {kBadReserved, "Reserved argument must be 0"},
    {kNotConfigured, "Analog input not configured"},
    {kAdRunning, "Analog input is running"},
    {kBadCount, "Sample count must not be negative"},
    {kBadOutputChannel, "Analog output channel not on this board"},
    {kOutputValueRange, "Analog output value beyond +/-10 V"},
    {kBadPort, "Digital port not on this board"},
    {kBadCounter, "Counter not on this board"},
    {kNotReady, "Board library not ready: board profile is invalid"},
};

}  // namespace

const char* StatusText(int32_t status) {
  for (const StatusEntry& entry : kStatusTexts) {
    if (entry.status == status) return entry.text;
  }
  return nullptr;
}

void FormatStatusText(int32_t status, char* text) {
  const char* known = StatusText(status);
  if (known != nullptr) {
    CopyTerminated(text, kErrorTextBytes, known);
    return;
  }
  std::snprintf(text, kErrorTextBytes, "Unknown board library status %ld",
                static_cast<long>(status));
}

void CopyTerminated(char* target, int bytes, const char* source) {
  if (bytes <= 0) return;
  const size_t limit = static_cast<size_t>(bytes) - 1;
  size_t length = source == nullptr ? 0 : std::strlen(source);
  if (length > limit) length = limit;
  if (length > 0) std::memcpy(target, source, length);
  target[length] = '\0';
}

}  // namespace velqsim
