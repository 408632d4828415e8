// Recorded signals for "replay" inputs: a CSV written by tarnix-host
// (`acquire --csv`: a header of column names, then one row per scan, volts)
// or a WAV file. Read whole when the profile is loaded, so a file that cannot
// serve is refused then, with the reason.
#pragma once

#include <memory>
#include <string>

#include "board_model.h"

namespace velqsim {

struct ReplayRequest {
  std::string path;
  std::string columnName;      // CSV: a header name; empty = use columnIndex
  int32_t columnIndex = -1;    // CSV: 0-based column; WAV: 0-based channel
  double fullScaleVolts = 10;  // WAV: volts of a full-scale sample
};

// The samples and time step of the file, or nullptr with the reason in *why.
std::shared_ptr<const ReplaySource> LoadReplay(const ReplayRequest& request, std::string* why);

// WAV reading, one implementation per build (wav/): answers false with the
// reason in *why.
bool ReadWavChannel(const ReplayRequest& request, ReplaySource* out, std::string* why);

// Volts to microvolts, rounded, saturated to the int32 range.
int32_t MicrovoltsOf(double volts);

}  // namespace velqsim
