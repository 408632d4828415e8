// The description a TARNIX recording carries in its "tnxr" chunk
// (abi/recording_format.h): what the replay needs to turn the recorded codes
// back into the microvolts the board delivered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velqsim {

struct RecordingDescription {
  std::vector<int32_t> channels;     // the board's input number of each file channel
  std::vector<double> voltsPerCode;  // per file channel
  std::vector<double> offsetVolts;   // per file channel: volts of code 0
  double scanRate = 0;               // scans per second, exact
};

// Reads the chunk's text for a file of `fileChannels` channels; false with
// the reason in *why when a key the replay needs is missing or wrong, or the
// text is of another format version.
bool ParseRecordingDescription(const std::string& text, int32_t fileChannels,
                               RecordingDescription* out, std::string* why);

// The microvolts that stand for `code` on a scale of `voltsPerCode` from
// `offsetVolts`: the middle of the span of readings the module turns into
// that code, so the code comes back unchanged when the module converts the
// sample again on the same range.
int32_t CodeMicrovolts(int32_t code, double voltsPerCode, double offsetVolts);

}  // namespace velqsim
