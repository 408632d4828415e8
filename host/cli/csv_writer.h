// The recording as a table: one row per scan, a time column, then one volts
// column per channel.
#pragma once

#include <string>

#include "signal_stats.h"

namespace host {

// Writes `recording` to `path`; answers false (reason in *error) when the
// file cannot be written. An incomplete last scan is left out.
bool WriteCsv(const std::string& path, const Recording& recording, std::string* error);

}  // namespace host
